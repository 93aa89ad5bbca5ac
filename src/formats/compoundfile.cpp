// SPDX-License-Identifier: GPL-3.0-or-later
#include "compoundfile.h"

#include <algorithm>
#include <cstring>

#include <QtEndian>

namespace talvence {

namespace {

constexpr char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
constexpr quint32 end_of_chain = 0xFFFFFFFE;
constexpr quint32 no_stream = 0xFFFFFFFF;
constexpr qsizetype header_size = 512;
constexpr qsizetype entry_size = 128;
constexpr int header_fat_sectors = 109;

} // namespace

bool CompoundFile::is_compound_file(QByteArrayView bytes)
{
    return bytes.size() >= 8 && std::memcmp(bytes.data(), signature, 8) == 0;
}

std::optional<CompoundFile> CompoundFile::open(QByteArrayView bytes)
{
    if (bytes.size() < header_size || !is_compound_file(bytes))
        return std::nullopt;
    CompoundFile file(bytes);
    if (!file.read_header() || !file.read_directory())
        return std::nullopt;
    return file;
}

quint32 CompoundFile::u32(qsizetype at) const
{
    if (at < 0 || at + 4 > bytes_.size())
        return no_stream;
    return qFromLittleEndian<quint32>(bytes_.data() + at);
}

bool CompoundFile::read_header()
{
    const auto u16 = [this](qsizetype at) {
        return qFromLittleEndian<quint16>(bytes_.data() + at);
    };
    if (u16(0x1C) != 0xFFFE)
        return false;
    sector_shift_ = u16(0x1E);
    mini_shift_ = u16(0x20);
    if ((sector_shift_ != 9 && sector_shift_ != 12) || mini_shift_ != 6)
        return false;
    mini_cutoff_ = u32(0x38);
    const qsizetype sector = qsizetype(1) << sector_shift_;
    const quint64 file_sectors = quint64(bytes_.size()) / quint64(sector) + 1;
    const quint32 fat_sectors = u32(0x2C);
    if (fat_sectors > file_sectors)
        return false;
    // Where the FAT's sectors are: the first 109 in the header, the rest in
    // a chain of sectors whose last entry points to the next of them.
    std::vector<quint32> fat_at;
    fat_at.reserve(fat_sectors);
    for (int i = 0; i < header_fat_sectors && fat_at.size() < fat_sectors; ++i)
        fat_at.push_back(u32(0x4C + 4 * i));
    quint32 next = u32(0x44);
    const qsizetype per_sector = sector / 4 - 1;
    for (quint64 hops = 0; fat_at.size() < fat_sectors; ++hops) {
        if (next >= end_of_chain - 1 || hops > file_sectors)
            return false;
        const qsizetype base = (qsizetype(next) + 1) << sector_shift_;
        for (qsizetype i = 0; i < per_sector && fat_at.size() < fat_sectors; ++i)
            fat_at.push_back(u32(base + 4 * i));
        next = u32(base + 4 * per_sector);
    }
    fat_.reserve(fat_at.size() * std::size_t(sector / 4));
    for (const quint32 s : fat_at) {
        const qsizetype base = (qsizetype(s) + 1) << sector_shift_;
        if (s >= end_of_chain - 1 || base + sector > bytes_.size())
            return false;
        for (qsizetype i = 0; i < sector / 4; ++i)
            fat_.push_back(u32(base + 4 * i));
    }
    return true;
}

std::optional<std::vector<quint32>> CompoundFile::chain(const std::vector<quint32> &table,
                                                        quint32 start, quint64 count) const
{
    // A chain cannot be longer than the table, and a sector that comes
    // twice in it makes it a loop.
    if (count > table.size())
        return std::nullopt;
    std::vector<quint32> sectors;
    sectors.reserve(count);
    std::vector<bool> seen(table.size(), false);
    quint32 at = start;
    while (sectors.size() < count) {
        if (at >= table.size() || seen[at])
            return std::nullopt;
        seen[at] = true;
        sectors.push_back(at);
        at = table[at];
    }
    return sectors;
}

std::optional<QByteArray> CompoundFile::read_sectors(quint32 start, quint64 size) const
{
    const qsizetype sector = qsizetype(1) << sector_shift_;
    if (size > quint64(bytes_.size()))
        return std::nullopt;
    const auto sectors = chain(fat_, start, (size + quint64(sector) - 1) / quint64(sector));
    if (!sectors)
        return std::nullopt;
    // A stream in sectors one after the other (as most writers leave it) is
    // a part of the file's bytes, no copy: a large document's first screen
    // then waits for no copy of its text.
    const qsizetype first =
        sectors->empty() ? 0 : (qsizetype(sectors->front()) + 1) << sector_shift_;
    if (!sectors->empty() && first + qsizetype(size) <= bytes_.size() &&
        std::adjacent_find(sectors->begin(), sectors->end(),
                           [](quint32 a, quint32 b) { return b != a + 1; }) == sectors->end())
        return QByteArray::fromRawData(bytes_.data() + first, qsizetype(size));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    qsizetype done = 0;
    for (const quint32 s : *sectors) {
        const qsizetype base = (qsizetype(s) + 1) << sector_shift_;
        const qsizetype want = std::min<qsizetype>(sector, out.size() - done);
        // The file's last sector may be cut short where the stream ends
        // before it; nothing of the stream may lie beyond the file.
        if (base + want > bytes_.size())
            return std::nullopt;
        std::memcpy(out.data() + done, bytes_.data() + base, std::size_t(want));
        done += want;
    }
    return out;
}

std::optional<QByteArray> CompoundFile::read_mini(quint32 start, quint64 size) const
{
    const qsizetype sector = qsizetype(1) << mini_shift_;
    if (size > quint64(mini_stream_.size()))
        return std::nullopt;
    const auto sectors = chain(mini_fat_, start, (size + quint64(sector) - 1) / quint64(sector));
    if (!sectors)
        return std::nullopt;
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    qsizetype done = 0;
    for (const quint32 s : *sectors) {
        const qsizetype base = qsizetype(s) << mini_shift_;
        const qsizetype want = std::min<qsizetype>(sector, out.size() - done);
        if (base + want > mini_stream_.size())
            return std::nullopt;
        std::memcpy(out.data() + done, mini_stream_.constData() + base, std::size_t(want));
        done += want;
    }
    return out;
}

bool CompoundFile::read_directory()
{
    // The directory's chain has no size of its own: it ends where the FAT
    // says, and no chain is longer than the FAT.
    QByteArray directory;
    const qsizetype sector = qsizetype(1) << sector_shift_;
    quint32 at = u32(0x30);
    for (std::size_t hops = 0; at < fat_.size(); ++hops) {
        const qsizetype base = (qsizetype(at) + 1) << sector_shift_;
        if (hops > fat_.size() || base + sector > bytes_.size())
            return false;
        directory.append(bytes_.data() + base, sector);
        at = fat_[at];
    }
    if (at != end_of_chain || directory.size() < entry_size)
        return false;
    const bool version_3 = qFromLittleEndian<quint16>(bytes_.data() + 0x1A) == 3;
    const qsizetype count = directory.size() / entry_size;
    const auto entry_at = [&](qsizetype i) {
        const char *p = directory.constData() + i * entry_size;
        Entry e;
        const int name_bytes = std::min<int>(qFromLittleEndian<quint16>(p + 0x40), 64);
        const int units = std::max(0, name_bytes / 2 - 1);
        for (int k = 0; k < units; ++k)
            e.name.append(QChar(qFromLittleEndian<quint16>(p + 2 * k)));
        e.type = static_cast<unsigned char>(p[0x42]);
        e.start = qFromLittleEndian<quint32>(p + 0x74);
        e.size = qFromLittleEndian<quint64>(p + 0x78);
        if (version_3)
            e.size &= 0xFFFFFFFFu; // the high half is left undefined there
        return e;
    };
    const auto link = [&](qsizetype i, int field) {
        return qFromLittleEndian<quint32>(directory.constData() + i * entry_size + field);
    };
    const Entry root = entry_at(0);
    if (root.type != 5)
        return false;
    // The root's entries form a tree of siblings below its child; an entry
    // seen twice ends that branch, so a looping tree cannot hold the reader.
    std::vector<bool> seen(std::size_t(count), false);
    std::vector<quint32> stack{link(0, 0x4C)};
    while (!stack.empty()) {
        const quint32 i = stack.back();
        stack.pop_back();
        if (i >= quint32(count) || seen[i])
            continue;
        seen[i] = true;
        root_entries_.push_back(entry_at(i));
        stack.push_back(link(i, 0x44));
        stack.push_back(link(i, 0x48));
    }
    // The mini stream and its FAT; a file without small streams has neither.
    if (root.size > 0) {
        std::optional<QByteArray> mini = read_sectors(root.start, root.size);
        if (!mini)
            return false;
        mini_stream_ = std::move(*mini);
    }
    const quint32 mini_fat_sectors = u32(0x40);
    if (mini_fat_sectors > 0 && u32(0x3C) < end_of_chain) {
        std::optional<QByteArray> table =
            read_sectors(u32(0x3C), quint64(mini_fat_sectors) * quint64(sector));
        if (!table)
            return false;
        mini_fat_.resize(std::size_t(table->size() / 4));
        for (std::size_t i = 0; i < mini_fat_.size(); ++i)
            mini_fat_[i] = qFromLittleEndian<quint32>(table->constData() + 4 * i);
    }
    return true;
}

const CompoundFile::Entry *CompoundFile::find(QStringView name) const
{
    for (const Entry &e : root_entries_)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

bool CompoundFile::has_entry(QStringView name) const
{
    return find(name) != nullptr;
}

std::optional<QByteArray> CompoundFile::stream(QStringView name) const
{
    const Entry *e = find(name);
    if (!e || e->type != 2)
        return std::nullopt;
    if (e->size == 0)
        return QByteArray();
    return e->size < mini_cutoff_ ? read_mini(e->start, e->size) : read_sectors(e->start, e->size);
}

} // namespace talvence
