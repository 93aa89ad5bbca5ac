// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The container of Word's binary documents (and of other Office files): a
// small file system inside one file, of sectors chained through a table
// (the FAT), with a directory of named streams, and small streams kept in
// sectors of 64 bytes inside one stream of their own (the mini stream).
//
// Read from a buffer that holds the whole file. Every sector number, chain
// and size is checked against the buffer: a chain that runs off the file,
// loops, or ends before its stream's size makes that stream unreadable,
// never a read out of bounds. The directory is walked with a stack of its
// own, so no entry can make the reader recurse.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace talvence {

class CompoundFile {
public:
    // Whether bytes start with the container's signature.
    static bool is_compound_file(QByteArrayView bytes);

    // The container in `bytes`, which must outlive it; empty when its header
    // or directory cannot be read.
    static std::optional<CompoundFile> open(QByteArrayView bytes);

    // The stream of that name directly in the root storage (names compare
    // without regard to case, as the container's own rule says); empty when
    // there is none or its sectors cannot be read whole. Streams of embedded
    // objects live in storages below the root and are never found here.
    // The stream may share the container's bytes, which must outlive it.
    std::optional<QByteArray> stream(QStringView name) const;
    bool has_entry(QStringView name) const;

private:
    struct Entry {
        QString name;
        int type = 0; // 1 storage, 2 stream, 5 root
        quint32 start = 0;
        quint64 size = 0;
    };

    explicit CompoundFile(QByteArrayView bytes) : bytes_(bytes) {}
    bool read_header();
    bool read_directory();
    // The chain from `start` in the FAT, as sector numbers; empty when it
    // leaves the file or loops before it has `count` sectors.
    std::optional<std::vector<quint32>> chain(const std::vector<quint32> &table, quint32 start,
                                              quint64 count) const;
    std::optional<QByteArray> read_sectors(quint32 start, quint64 size) const;
    std::optional<QByteArray> read_mini(quint32 start, quint64 size) const;
    const Entry *find(QStringView name) const;
    quint32 u32(qsizetype at) const;

    QByteArrayView bytes_;
    int sector_shift_ = 9;
    int mini_shift_ = 6;
    quint32 mini_cutoff_ = 4096;
    std::vector<quint32> fat_;
    std::vector<quint32> mini_fat_;
    QByteArray mini_stream_;
    // The entries directly in the root storage.
    std::vector<Entry> root_entries_;
};

} // namespace talvence
