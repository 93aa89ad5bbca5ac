// SPDX-License-Identifier: GPL-3.0-or-later
#include "ziparchive.h"

#include <algorithm>
#include <zlib.h>

#include <QtEndian>

namespace talvence {

namespace {

constexpr quint32 local_signature = 0x04034B50;
constexpr quint32 central_signature = 0x02014B50;
constexpr quint32 end_signature = 0x06054B50;
constexpr quint32 descriptor_signature = 0x08074B50;
constexpr qsizetype end_record = 22;
constexpr qsizetype central_header = 46;
constexpr qsizetype local_header = 30;
// The end record is followed by a comment of at most this many bytes.
constexpr qsizetype max_comment = 0xFFFF;
// More than this many bytes out of one byte in, deflate never makes (a
// match of 258 bytes costs at least two bits): an entry that declares more
// lies about its size.
constexpr qint64 max_deflate_ratio = 1032;

constexpr quint16 flag_encrypted = 0x0001;
constexpr quint16 flag_descriptor = 0x0008;
constexpr quint16 flag_strong_encryption = 0x0040;
constexpr quint16 method_stored = 0;
constexpr quint16 method_deflated = 8;

bool same_name(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

} // namespace

bool ZipArchive::is_zip(QByteArrayView bytes)
{
    return bytes.startsWith("PK\x03\x04");
}

std::optional<ZipArchive> ZipArchive::open(QByteArrayView bytes)
{
    ZipArchive archive(bytes);
    if (!archive.read_directory())
        return std::nullopt;
    return archive;
}

bool ZipArchive::inside(qint64 at, qint64 length) const
{
    return at >= 0 && length >= 0 && at <= bytes_.size() && length <= bytes_.size() - at;
}

quint16 ZipArchive::u16(qsizetype at) const
{
    return qFromLittleEndian<quint16>(bytes_.data() + at);
}

quint32 ZipArchive::u32(qsizetype at) const
{
    return qFromLittleEndian<quint32>(bytes_.data() + at);
}

bool ZipArchive::read_directory()
{
    // The end record is the last one whose comment reaches the end of the
    // file; a signature inside a comment does not.
    qsizetype end = -1;
    const qsizetype last = bytes_.size() - end_record;
    for (qsizetype at = last; at >= 0 && at >= last - max_comment; --at) {
        if (u32(at) == end_signature && at + end_record + u16(at + 20) == bytes_.size()) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return false;
    const quint16 disk = u16(end + 4), directory_disk = u16(end + 6);
    const quint16 on_disk = u16(end + 8), count = u16(end + 10);
    const quint32 size = u32(end + 12), offset = u32(end + 16);
    // Split archives and ZIP64 (whose end record holds these marks) are not read.
    if (disk != 0 || directory_disk != 0 || on_disk != count || count == 0xFFFF ||
        offset == 0xFFFFFFFF || size == 0xFFFFFFFF || !inside(offset, size) ||
        qint64(offset) + size > end)
        return false;
    qint64 at = offset;
    const qint64 directory_end = qint64(offset) + size;
    entries_.reserve(std::min<int>(count, max_entries));
    for (int i = 0; i < count && i < max_entries; ++i) {
        if (at + central_header > directory_end || u32(at) != central_signature)
            return false;
        Entry e;
        e.flags = u16(at + 8);
        e.method = u16(at + 10);
        e.crc = u32(at + 16);
        e.compressed = u32(at + 20);
        e.size = u32(at + 24);
        e.local = u32(at + 42);
        const qint64 name = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32);
        const qint64 next = at + central_header + name + extra + comment;
        if (next > directory_end)
            return false;
        e.name = bytes_.sliced(at + central_header, name);
        entries_.push_back(e);
        at = next;
    }
    return true;
}

const ZipArchive::Entry *ZipArchive::find(QByteArrayView name) const
{
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry &e) { return same_name(e.name, name); });
    return it == entries_.end() ? nullptr : &*it;
}

std::optional<QByteArray> ZipArchive::entry(QByteArrayView name, qint64 first) const
{
    const Entry *e = find(name);
    if (!e || (e->flags & (flag_encrypted | flag_strong_encryption)) ||
        (e->method != method_stored && e->method != method_deflated) ||
        e->compressed == 0xFFFFFFFF || e->size == 0xFFFFFFFF || e->local == 0xFFFFFFFF ||
        e->size > max_entry_size)
        return std::nullopt;
    if (e->method == method_stored ? e->size != e->compressed
                                   : e->size > qint64(e->compressed) * max_deflate_ratio + 64)
        return std::nullopt;
    // The local header repeats what the directory says; where the two
    // differ, the archive is damaged.
    const qint64 local = e->local;
    if (!inside(local, local_header) || u32(local) != local_signature)
        return std::nullopt;
    const quint16 flags = u16(local + 6);
    if ((flags & (flag_encrypted | flag_strong_encryption)) || u16(local + 8) != e->method)
        return std::nullopt;
    if (!(e->flags & flag_descriptor) &&
        (u32(local + 14) != e->crc || u32(local + 18) != e->compressed ||
         u32(local + 22) != e->size))
        return std::nullopt;
    const qint64 data = local + local_header + u16(local + 26) + u16(local + 28);
    if (!inside(data, e->compressed))
        return std::nullopt;
    if (e->flags & flag_descriptor) {
        // After the data: CRC-32 and both sizes, with or without a signature.
        qint64 d = data + e->compressed;
        if (inside(d, 16) && u32(d) == descriptor_signature && u32(d + 4) == e->crc)
            d += 4;
        if (!inside(d, 12) || u32(d) != e->crc || u32(d + 4) != e->compressed ||
            u32(d + 8) != e->size)
            return std::nullopt;
    }
    const QByteArrayView in = bytes_.sliced(data, e->compressed);
    // Only the first bytes asked for: inflated that far, and not checked
    // against the CRC, which covers the whole.
    const bool part = first >= 0 && first < qint64(e->size);
    QByteArray out;
    if (e->method == method_stored) {
        out = in.first(part ? qsizetype(first) : in.size()).toByteArray();
    } else {
        // One byte more than declared: an entry that inflates to more is
        // caught, and never gets further than that.
        out = QByteArray(part ? qsizetype(first) : qsizetype(e->size) + 1, Qt::Uninitialized);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return std::nullopt;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        const int status = inflate(&z, part ? Z_NO_FLUSH : Z_FINISH);
        const uLong made = z.total_out;
        inflateEnd(&z);
        if (part ? (status != Z_OK && status != Z_STREAM_END) || made != uLong(out.size())
                 : status != Z_STREAM_END || made != e->size)
            return std::nullopt;
        out.truncate(qsizetype(made));
    }
    if (!part && crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(out.constData()),
                       uInt(out.size())) != e->crc)
        return std::nullopt;
    return out;
}

} // namespace talvence
