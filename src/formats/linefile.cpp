// SPDX-License-Identifier: GPL-3.0-or-later
#include "linefile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rawfile.h"

namespace talvence {

namespace {

constexpr qint64 B = LineFile::break_bytes;

// The indexer's reads: large enough that a read costs little per byte,
// small enough to stay out of the window's memory.
constexpr qint64 scan_bytes = qint64(1) << 20;

// The first multiple of B at or above `x`.
constexpr qint64 align_up(qint64 x)
{
    return (x + B - 1) / B * B;
}

} // namespace

std::unique_ptr<LineFile> LineFile::open(const QByteArray &path, int *error)
{
    auto failed = [error](int value) {
        if (error)
            *error = value;
        return nullptr;
    };
    Result<RegularFile> opened = open_regular_file(path);
    if (!opened)
        return failed(opened.error());
    std::unique_ptr<LineFile> file(new LineFile(opened->fd.release(), opened->size));
    // Three bytes more, so that a character the sample's end cuts in two
    // can still be told from a byte that is not UTF-8.
    file->sample_ = file->read(0, sample_bytes + 3);
    // A file that shrank before its first read is as long as what was read.
    const bool whole = file->sample_.size() < sample_bytes + 3;
    if (whole)
        file->size_ = file->sample_.size();
    file->format_ = detect_plain_encoding(file->sample_, whole);
    if (error)
        *error = 0;
    return file;
}

LineFile::LineFile(int fd, qint64 size) : fd_(fd), size_(size) {}

LineFile::~LineFile()
{
    stop_.store(true);
    if (indexer_.joinable())
        indexer_.join();
    ::close(fd_);
}

QByteArray LineFile::read(qint64 offset, qint64 length) const
{
    length = std::clamp<qint64>(std::min(length, size_ - offset), 0, scan_bytes * 64);
    QByteArray buf(qsizetype(length), Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd_, buf.data() + got, std::size_t(length - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the end of a file that shrank, or one that cannot be read
        got += n;
    }
    buf.truncate(qsizetype(got));
    return buf;
}

int LineFile::unit() const
{
    return format_.encoding == PlainEncoding::utf16le || format_.encoding == PlainEncoding::utf16be
               ? 2
               : 1;
}

int LineFile::terminator(const QByteArray &buf, qint64 base, qint64 at) const
{
    const qint64 i = at - base;
    const int u = unit();
    if (i < 0 || i + u > buf.size())
        return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(buf.constData()) + i;
    unsigned c = p[0];
    if (u == 2) {
        if (format_.encoding == PlainEncoding::utf16le ? p[1] != 0 : p[0] != 0)
            return 0;
        c = format_.encoding == PlainEncoding::utf16le ? p[0] : p[1];
    }
    return c == '\n' ? 1 : c == '\r' ? 2 : 0;
}

bool LineFile::continues(qint64 start) const
{
    const int u = unit();
    if (start % B != 0 || start - u < first_line())
        return false;
    const QByteArray before = read(start - u, u);
    return before.size() == u && terminator(before, start - u, start - u) == 0;
}

LineFile::Line LineFile::line_at(qint64 start) const
{
    Line line{start, start, start, false};
    if (start >= size_)
        return line;
    const int u = unit();
    const qint64 brk = continues(start) ? start + B : align_up(start + B);
    // Most lines are short: a small read first, the whole piece only when
    // no line end comes in it.
    constexpr qint64 short_line = 512;
    QByteArray buf = read(start, std::min(short_line, brk - start + 2 * u));
    if (buf.size() == short_line) {
        bool ends = false;
        for (qint64 at = start; at + 2 * u <= start + short_line && !ends; at += u)
            ends = terminator(buf, start, at) != 0;
        if (!ends)
            buf = read(start, brk - start + 2 * u);
    }
    const qint64 end = start + buf.size() / u * u;
    for (qint64 at = start; at < end; at += u) {
        const int t = terminator(buf, start, at);
        if (t == 0 && at == brk) {
            line.end = line.next = at;
            line.broken = true;
            return line;
        }
        if (t != 0) {
            line.end = at;
            line.next = at + u;
            if (t == 2 && terminator(buf, start, at + u) == 1)
                line.next += u;
            return line;
        }
    }
    // The end of the file, with half a UTF-16 unit that may trail it.
    line.end = line.next = start + buf.size();
    return line;
}

qint64 LineFile::line_containing(qint64 offset) const
{
    const qint64 first = first_line();
    const int u = unit();
    if (size_ <= first || offset <= first)
        return first;
    qint64 x = first + (std::min(offset, size_ - 1) - first) / u * u;
    // Three pieces back: far enough to tell where a long line's pieces start.
    const qint64 lo = std::max(first, first + (x - 3 * B - 2 * u - first) / u * u);
    const QByteArray buf = read(lo, x + 2 * u - lo);
    if (buf.size() < x + u - lo) { // shrunk meanwhile
        if (buf.size() < u)
            return lo;
        x = lo + (buf.size() / u - 1) * u;
    }
    // The LF of a CR LF belongs to the CR.
    if (x - u >= lo && terminator(buf, lo, x) == 1 && terminator(buf, lo, x - u) == 2)
        x -= u;
    const bool x_ends = terminator(buf, lo, x) != 0;
    qint64 line_start = -1;
    for (qint64 at = x - u; at >= lo; at -= u) {
        if (terminator(buf, lo, at) != 0) {
            line_start = at + u;
            break;
        }
    }
    if (line_start < 0 && lo == first)
        line_start = first;
    // The last break at or before x (a break sits inside a line's text,
    // never on its end).
    qint64 brk = x / B * B;
    if (brk == x && x_ends)
        brk -= B;
    if (line_start < 0) // a line longer than the window: x is well past its first break
        return brk;
    return brk >= line_start + B ? brk : line_start;
}

qint64 LineFile::previous_line(qint64 start) const
{
    if (start <= first_line())
        return first_line();
    return line_containing(start - unit());
}

qint64 LineFile::last_line() const
{
    return line_containing(size_ - 1);
}

QString LineFile::text_of(const Line &line) const
{
    if (line.end <= line.start)
        return QString();
    // A character cut by a break: up to three more bytes, or one more unit.
    const QByteArray buf = read(line.start, line.end - line.start + 4);
    qsizetype from = 0;
    qsizetype to = qsizetype(std::min<qint64>(line.end - line.start, buf.size()));
    const auto byte = [&buf](qsizetype i) { return static_cast<unsigned char>(buf[i]); };
    const bool starts_cut = line.start % B == 0 && continues(line.start);
    switch (format_.encoding) {
    case PlainEncoding::utf8:
        if (starts_cut)
            while (from < 3 && from < to && (byte(from) & 0xC0) == 0x80)
                ++from;
        if (line.broken)
            for (int k = 0; k < 3 && to < buf.size() && (byte(to) & 0xC0) == 0x80; ++k)
                ++to;
        break;
    case PlainEncoding::utf16le:
    case PlainEncoding::utf16be: {
        const bool le = format_.encoding == PlainEncoding::utf16le;
        const auto high = [&](qsizetype i) { return (byte(le ? i + 1 : i) & 0xFC); };
        if (starts_cut && to - from >= 2 && high(from) == 0xDC)
            from += 2;
        if (line.broken && to >= 2 && high(to - 2) == 0xD8 && to + 2 <= buf.size())
            to += 2;
        break;
    }
    case PlainEncoding::windows_1252:
        break;
    }
    return decode_plain_line(QByteArrayView(buf).sliced(from, to - from), format_.encoding);
}

void LineFile::start_index()
{
    if (indexer_.joinable() || index_done())
        return;
    indexer_ = std::thread([this] { build_index(); });
}

void LineFile::publish(std::vector<quint32> &block, qint64 base, qint64 lines)
{
    const std::lock_guard lock(index_mutex_);
    count_ = lines;
    blocks_.push_back({base, std::move(block)});
    block = {};
    block.reserve(index_block);
}

void LineFile::build_index()
{
    const qint64 first = first_line();
    const int u = unit();
    std::vector<quint32> block;
    block.reserve(index_block);
    qint64 base = first;
    qint64 lines = 0;
    qint64 last_start = first;
    auto add = [&](qint64 start) {
        last_start = start;
        if (lines++ % index_every != 0)
            return;
        if (qint64(block.size()) == index_block)
            publish(block, base, lines - 1);
        if (block.empty())
            base = start;
        // A block spans index_block * index_every lines of at most 2 B + 4
        // bytes: its offsets stay below 4 GiB.
        block.push_back(quint32(start - base));
    };
    // The breaks of the line from `line_start` whose text ends at `end`.
    auto add_breaks = [&](qint64 line_start, qint64 end) {
        for (qint64 b = align_up(line_start + B); b < end; b += B)
            add(b);
    };

    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    qint64 pos = first;
    qint64 line_start = first;
    bool cr_pending = false; // a CR ended the last read: an LF may follow
    add(first);
    while (pos < size_ && !stop_.load(std::memory_order_relaxed)) {
        const QByteArray buf = read(pos, scan_bytes);
        const qint64 n = buf.size() / u * u;
        if (n == 0)
            break;
        const char *d = buf.constData();
        qint64 i = 0;
        if (cr_pending) {
            cr_pending = false;
            if (terminator(buf, pos, pos) == 1)
                i = u;
            line_start = pos + i;
            add(line_start);
        }
        // Most logs have no CR at all: then the LFs are all there is to find.
        const bool any_cr = u == 2 || std::memchr(d + i, '\r', std::size_t(n - i)) != nullptr;
        while (i < n) {
            qint64 at = -1;
            int t = 0;
            if (!any_cr) {
                const void *lf = std::memchr(d + i, '\n', std::size_t(n - i));
                if (lf) {
                    at = static_cast<const char *>(lf) - d;
                    t = 1;
                }
            } else {
                for (qint64 k = i; k < n; k += u) {
                    if ((t = terminator(buf, pos, pos + k)) != 0) {
                        at = k;
                        break;
                    }
                }
            }
            if (at < 0)
                break;
            add_breaks(line_start, pos + at);
            qint64 next = at + u;
            if (t == 2) {
                if (next < n) {
                    if (terminator(buf, pos, pos + next) == 1)
                        next += u;
                } else if (pos + n < size_) {
                    cr_pending = true;
                }
            }
            i = next;
            if (!cr_pending) {
                line_start = pos + next;
                add(line_start);
            }
        }
        pos += n;
        indexed_.store(pos, std::memory_order_relaxed);
        if (n < buf.size() || buf.size() < std::min(scan_bytes, size_ - (pos - n)))
            break; // half a unit at the end, or a file that shrank
    }
    const qint64 end = pos;
    if (cr_pending) {
        line_start = end;
        add(end);
    }
    add_breaks(line_start, end);
    // A line end at the end of the file starts no line.
    if (last_start >= end) {
        if (--lines % index_every == 0)
            block.pop_back();
    }
    publish(block, base, lines);
    indexed_.store(size_, std::memory_order_relaxed);
    index_done_.store(true, std::memory_order_release);
}

qint64 LineFile::line_count() const
{
    const std::lock_guard lock(index_mutex_);
    return count_;
}

std::optional<qint64> LineFile::line_start(qint64 n) const
{
    qint64 at;
    {
        const std::lock_guard lock(index_mutex_);
        if (n < 0 || n >= count_)
            return std::nullopt;
        const qint64 entry = n / index_every;
        const Block &block = blocks_[std::size_t(entry / index_block)];
        at = block.base + block.offsets[std::size_t(entry % index_block)];
    }
    for (qint64 k = n % index_every; k > 0; --k) {
        const Line line = line_at(at);
        if (line.next <= at)
            break; // shrunk meanwhile
        at = line.next;
    }
    return at;
}

std::optional<qint64> LineFile::line_number(qint64 offset) const
{
    qint64 entry, at;
    {
        const std::lock_guard lock(index_mutex_);
        if (blocks_.empty() || blocks_.front().offsets.empty())
            return std::nullopt;
        // Beyond the last start known, the line may go on past it unseen.
        const Block &last = blocks_.back();
        if (!index_done() && offset >= last.base + last.offsets.back())
            return std::nullopt;
        const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), offset,
                                            [](qint64 o, const Block &b) { return o < b.base; });
        if (block == blocks_.begin())
            return 0;
        const Block &b = *(block - 1);
        const auto found =
            std::upper_bound(b.offsets.begin(), b.offsets.end(),
                             quint32(std::min<qint64>(offset - b.base, 0xFFFFFFFF))) -
            1;
        entry =
            qint64(block - 1 - blocks_.begin()) * index_block + qint64(found - b.offsets.begin());
        at = b.base + *found;
    }
    qint64 n = entry * index_every;
    for (qint64 k = 1; k < index_every; ++k) {
        const Line line = line_at(at);
        if (line.next <= at || line.next > offset)
            break;
        at = line.next;
        ++n;
    }
    return n;
}

} // namespace talvence
