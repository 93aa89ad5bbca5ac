// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A ZIP archive read from a buffer that holds the whole file: the package
// of Word 2007 and later (.docx). Its central directory (found from the end
// of the file, as the format says) names each entry; an entry is read
// stored or deflated, and checked against its CRC-32.
//
// Every offset and size is checked against the buffer. An entry declares
// its size before it is read, and no more than that is ever inflated, nor
// more than max_entry_size, nor more than deflate can make of the bytes it
// has: a small archive that would inflate to gigabytes fails at once,
// before any memory is taken. ZIP64, encryption, split archives and
// methods other than stored and deflated are not read.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

namespace talvence {

class ZipArchive {
public:
    // The largest entry read, as large as the largest file the text viewer
    // reads whole.
    static constexpr qint64 max_entry_size = qint64(256) << 20;
    // The most entries of the directory looked at: all a directory without
    // ZIP64 can count.
    static constexpr int max_entries = 0xFFFF;

    // Whether bytes start with an entry's local header, as every archive
    // that is not empty does.
    static bool is_zip(QByteArrayView bytes);

    // The archive in `bytes`, which must outlive it; empty when its end
    // record or central directory cannot be read.
    static std::optional<ZipArchive> open(QByteArrayView bytes);

    // The entry of that name (compared without regard to the case of ASCII
    // letters: a package's part names ignore it), uncompressed; empty when
    // there is none, or it is damaged, too large, or in a form not read here.
    // With `first` (not negative), no more than its first `first` bytes,
    // which the CRC, being of the whole, cannot check.
    std::optional<QByteArray> entry(QByteArrayView name, qint64 first = -1) const;
    bool has_entry(QByteArrayView name) const { return find(name) != nullptr; }

private:
    struct Entry {
        QByteArrayView name;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint32 compressed = 0;
        quint32 size = 0;
        quint32 local = 0; // the offset of its local header
    };

    explicit ZipArchive(QByteArrayView bytes) : bytes_(bytes) {}
    bool read_directory();
    const Entry *find(QByteArrayView name) const;
    quint16 u16(qsizetype at) const;
    quint32 u32(qsizetype at) const;
    // Whether `length` bytes from `at` lie inside the buffer.
    bool inside(qint64 at, qint64 length) const;

    QByteArrayView bytes_;
    std::vector<Entry> entries_;
};

} // namespace talvence
