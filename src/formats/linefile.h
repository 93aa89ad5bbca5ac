// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A plain text file of any size, read in place: the viewer shows a few lines
// of it at a time, so nothing but those lines is ever read and decoded. The
// file is read by its raw path with pread() into small buffers, never mapped:
// a file that shrinks while shown gives short reads, not a fault on a page
// that is gone.
//
// Lines end at LF, CR LF or a lone CR. A line longer than `break_bytes` is
// shown in pieces, broken at multiples of `break_bytes` from the file's start
// (at the first such place at least `break_bytes` into the line), so every
// piece is at most twice that long and where a piece starts can be told from
// the bytes around any place, forward or backward, without the line's start.
// The pieces are the lines the viewer counts and shows.
//
// A thread builds an index of where every 16th line starts, in blocks of
// offsets of four bytes each, while the first screen is already shown; until
// it is done the lines are found by scanning from a known place.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>

#include "plaintext.h"

namespace talvence {

class LineFile {
public:
    // Where a long line is broken; a power of two.
    static constexpr qint64 break_bytes = 4096;
    // The first bytes that decide the encoding (all of a smaller file).
    static constexpr qint64 sample_bytes = qint64(1) << 20;
    // The index holds the start of every index_every-th line; the lines
    // between are found from there, a few reads of a few KiB.
    static constexpr qint64 index_every = 16;
    // Starts per block of the index.
    static constexpr qint64 index_block = 16384;

    struct Line {
        qint64 start = 0;
        // Where its text ends: the line end or the place of the break.
        qint64 end = 0;
        // Where the next line starts; equal to `start` past the end of file.
        qint64 next = 0;
        // The line goes on in the next one (broken, not ended).
        bool broken = false;
    };

    // Opens the regular file at `path`; empty with *error an errno value
    // (ENOENT, EISDIR, EINVAL for anything else but a regular file) on failure.
    static std::unique_ptr<LineFile> open(const QByteArray &path, int *error = nullptr);
    ~LineFile();
    LineFile(const LineFile &) = delete;
    LineFile &operator=(const LineFile &) = delete;

    // The size when the file was opened; nothing beyond it is read.
    qint64 size() const { return size_; }
    // The first bytes, up to sample_bytes and three more.
    const QByteArray &sample() const { return sample_; }
    PlainFormat format() const { return format_; }
    // Where the first line starts (after a byte order mark).
    qint64 first_line() const { return format_.bom; }
    // The start of the last line; first_line() for an empty file.
    qint64 last_line() const;

    // The line that starts at `start` (a line's start as found here).
    Line line_at(qint64 start) const;
    // The start of the line that holds the byte at `offset`; a line end
    // belongs to the line it ends.
    qint64 line_containing(qint64 offset) const;
    // The start of the line before the one at `start`; `start` for the first.
    qint64 previous_line(qint64 start) const;
    // A line's text, decoded; a character that a break cut in two goes whole
    // to the line before the break.
    QString text_of(const Line &line) const;

    // Starts the thread that builds the index; at most once.
    void start_index();
    bool index_done() const { return index_done_.load(std::memory_order_acquire); }
    // How far the index has come, in bytes of the file.
    qint64 indexed_bytes() const { return indexed_.load(std::memory_order_relaxed); }
    // From the index: the number of lines once it is done, the start of line
    // `n` and the number of the line that holds `offset`, as far as it goes
    // (empty where it does not reach yet).
    qint64 line_count() const;
    std::optional<qint64> line_start(qint64 n) const;
    std::optional<qint64> line_number(qint64 offset) const;

private:
    LineFile(int fd, qint64 size);
    // Reads up to `length` bytes at `offset`; fewer at the end of file.
    QByteArray read(qint64 offset, qint64 length) const;
    int unit() const;
    // Whether the unit at `at` in `buf` (which starts at file offset `base`)
    // ends a line: 1 for LF, 2 for CR, 0 for neither.
    int terminator(const QByteArray &buf, qint64 base, qint64 at) const;
    // Whether a line that starts at `start` is the continuation of a broken one.
    bool continues(qint64 start) const;
    void build_index();
    void publish(std::vector<quint32> &block, qint64 base, qint64 lines);

    int fd_;
    qint64 size_;
    QByteArray sample_;
    PlainFormat format_;

    mutable std::mutex index_mutex_;
    struct Block {
        qint64 base;
        std::vector<quint32> offsets; // from base, index_block of them but in the last
    };
    std::vector<Block> blocks_;
    // Lines the published blocks stand for.
    qint64 count_ = 0;
    std::atomic<qint64> indexed_{0};
    std::atomic<bool> index_done_{false};
    std::atomic<bool> stop_{false};
    std::thread indexer_;
};

} // namespace talvence
