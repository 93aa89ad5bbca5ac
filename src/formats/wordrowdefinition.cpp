// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordrowdefinition.h"

#include <algorithm>

#include <QtEndian>

#include "twips.h"

namespace talvence {

QRgb word_palette_colour(int index)
{
    static constexpr QRgb colours[17] = {
        0,          0xFF000000, 0xFF0000FF, 0xFF00FFFF, 0xFF00FF00, 0xFFFF00FF,
        0xFFFF0000, 0xFFFFFF00, 0xFFFFFFFF, 0xFF000080, 0xFF008080, 0xFF008000,
        0xFF800080, 0xFF800000, 0xFF808000, 0xFF808080, 0xFFC0C0C0,
    };
    return index >= 0 && index < 17 ? colours[index] : 0;
}

namespace {

constexpr int max_twips = 31680;

// The table sprms this definition reads, Word 97's and (one byte) Word 6's.
enum : quint16 {
    sprm_t_jc90 = 0x5400,
    sprm_t_jc = 0x548A,
    sprm_t_dxa_left = 0x9601,
    sprm_t_dxa_gap_half = 0x9602,
    sprm_t_table_borders80 = 0xD605,
    sprm_t_def_table = 0xD608,
    sprm_t_def_table_shd80 = 0xD609,
    sprm_t_def_table_shd = 0xD612,
    sprm_t_table_borders = 0xD613,
    old_sprm_t_jc = 182,
    old_sprm_t_dxa_left = 183,
    old_sprm_t_dxa_gap_half = 184,
    old_sprm_t_table_borders = 187,
    old_sprm_t_def_table = 190,
    old_sprm_t_def_table_shd = 191,
};

quint16 u16(QByteArrayView b, qint64 at)
{
    return at >= 0 && at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.data() + at) : 0;
}

quint32 u32(QByteArrayView b, qint64 at)
{
    return at >= 0 && at + 4 <= b.size() ? qFromLittleEndian<quint32>(b.data() + at) : 0;
}

// A COLORREF: red, green, blue, and 0xFF in its last byte for automatic.
QRgb colour_ref(quint32 v)
{
    return (v >> 24) == 0xFF ? 0 : qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

// A cell's shading: the foreground colour over the background in the
// strength of the pattern; patterns of lines are left out.
QColor shading(QRgb fore, QRgb back, int pattern)
{
    static constexpr int percent[14] = {0, 100, 5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    if (pattern < 0 || pattern >= 14 || (pattern == 0 && back == 0))
        return {};
    const QColor f = fore == 0 ? QColor(Qt::black) : QColor::fromRgb(fore);
    const QColor b = back == 0 ? QColor(Qt::white) : QColor::fromRgb(back);
    const float k = float(percent[pattern]) / 100;
    return QColor::fromRgbF(b.redF() * (1 - k) + f.redF() * k,
                            b.greenF() * (1 - k) + f.greenF() * k,
                            b.blueF() * (1 - k) + f.blueF() * k);
}

} // namespace

void WordRowDefinition::apply(quint16 sprm, QByteArrayView operand)
{
    if (word97_) {
        switch (sprm) {
        case sprm_t_jc90:
        case sprm_t_jc:
            alignment_ = u16(operand, 0);
            return;
        case sprm_t_dxa_left:
            break;
        case sprm_t_dxa_gap_half:
            gap_ = std::clamp<int>(qint16(u16(operand, 0)), 0, max_twips);
            return;
        case sprm_t_table_borders80:
            for (int side = 0; side < 6; ++side)
                table_borders_[std::size_t(side)] =
                    border(operand.sliced(std::min<qsizetype>(4 * side, operand.size()),
                                          std::clamp<qsizetype>(operand.size() - 4 * side, 0, 4)));
            return;
        case sprm_t_table_borders:
            for (int side = 0; side < 6; ++side) {
                // The border of Word 2000 and later: a colour of its own.
                const qint64 at = 8 * side;
                Border b;
                if (at + 8 <= operand.size()) {
                    b.given = true;
                    b.type = quint8(operand[at + 5]);
                    b.twips = quint8(operand[at + 4]) * 5 / 2;
                    b.colour = colour_ref(u32(operand, at));
                    if (b.type == 0xFF)
                        b.type = 0;
                }
                table_borders_[std::size_t(side)] = b;
            }
            return;
        case sprm_t_def_table:
            // Its size (two bytes) comes with the operand.
            define(operand.sliced(std::min<qsizetype>(2, operand.size())));
            return;
        case sprm_t_def_table_shd80:
            shade(operand, 2);
            return;
        case sprm_t_def_table_shd:
            shade(operand, 10);
            return;
        default:
            return;
        }
    } else {
        switch (sprm) {
        case old_sprm_t_jc:
            alignment_ = u16(operand, 0);
            return;
        case old_sprm_t_dxa_left:
            break;
        case old_sprm_t_dxa_gap_half:
            gap_ = std::clamp<int>(qint16(u16(operand, 0)), 0, max_twips);
            return;
        case old_sprm_t_table_borders:
            for (int side = 0; side < 6; ++side)
                table_borders_[std::size_t(side)] =
                    border(operand.sliced(std::min<qsizetype>(2 * side, operand.size()),
                                          std::clamp<qsizetype>(operand.size() - 2 * side, 0, 2)));
            return;
        case old_sprm_t_def_table:
            define(operand);
            return;
        case old_sprm_t_def_table_shd:
            shade(operand, 2);
            return;
        default:
            return;
        }
    }
    // The row's left edge moves to the operand, its cells with it: the
    // first cell's text starts there.
    if (edges_.empty())
        return;
    const int shift =
        std::clamp<int>(qint16(u16(operand, 0)), -max_twips, max_twips) - (edges_.front() + gap_);
    for (int &edge : edges_)
        edge = std::clamp(edge + shift, -max_twips, max_twips);
}

// sprmTDefTable: the number of cells, their edges from left to right, then
// a descriptor for each cell (as many as the operand holds).
void WordRowDefinition::define(QByteArrayView operand)
{
    if (operand.isEmpty())
        return;
    const int count = quint8(operand[0]);
    const qsizetype edges = std::min<qsizetype>(count + 1, (operand.size() - 1) / 2);
    edges_.clear();
    for (qsizetype i = 0; i < edges; ++i)
        edges_.push_back(std::clamp<int>(qint16(u16(operand, 1 + 2 * i)), -max_twips, max_twips));
    cells_.assign(std::size_t(std::max<qsizetype>(edges - 1, 0)), Cell());
    const int tc_size = word97_ ? 20 : 10;
    const int brc_size = word97_ ? 4 : 2;
    const qint64 tcs = 1 + 2 * qint64(count + 1);
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const qint64 at = tcs + qint64(i) * tc_size;
        if (at + tc_size > operand.size())
            break;
        Cell &c = cells_[i];
        const quint16 flags = u16(operand, at);
        using Merge = DocumentBuilder::Merge;
        c.horizontal = (flags & 0x2) != 0   ? Merge::merged
                       : (flags & 0x1) != 0 ? Merge::first
                                            : Merge::none;
        if (word97_) {
            if ((flags & 0x20) != 0)
                c.vertical = (flags & 0x40) != 0 ? Merge::first : Merge::merged;
            const int valign = (flags >> 7) & 3;
            c.vertical_alignment = valign == 1   ? Qt::AlignVCenter
                                   : valign == 2 ? Qt::AlignBottom
                                                 : Qt::AlignTop;
        }
        // Top, left, bottom, right.
        const qint64 brcs = at + (word97_ ? 4 : 2);
        for (int side = 0; side < 4; ++side)
            c.borders[std::size_t(side)] = border(operand.sliced(brcs + side * brc_size, brc_size));
    }
}

// sprmTDefTableShd: a shading for each cell from the first, `size` bytes each.
void WordRowDefinition::shade(QByteArrayView operand, int size)
{
    for (std::size_t i = 0; i < cells_.size() && qint64(i + 1) * size <= operand.size(); ++i) {
        const qint64 at = qint64(i) * size;
        if (size == 2) {
            const quint16 v = u16(operand, at);
            cells_[i].shading = v == 0xFFFF
                                    ? QColor()
                                    : shading(word_palette_colour(v & 0x1F),
                                              word_palette_colour((v >> 5) & 0x1F), v >> 10);
        } else {
            const int pattern = u16(operand, at + 8);
            cells_[i].shading = pattern == 0xFFFF
                                    ? QColor()
                                    : shading(colour_ref(u32(operand, at)),
                                              colour_ref(u32(operand, at + 4)), pattern);
        }
    }
}

WordRowDefinition::Border WordRowDefinition::border(QByteArrayView bytes) const
{
    Border b;
    if (word97_) {
        if (bytes.size() < 4 || u32(bytes, 0) == 0)
            return b; // not given: the table's border
        b.given = true;
        if (u32(bytes, 0) == 0xFFFFFFFF)
            return b;                       // none
        b.twips = quint8(bytes[0]) * 5 / 2; // eighths of a point
        b.type = quint8(bytes[1]);
        b.colour = word_palette_colour(quint8(bytes[2]));
        return b;
    }
    // Word 6: the width in 0.75 points (6 and 7 mean a dotted and a dashed
    // line), the type, a shadow bit, the colour.
    const quint16 v = u16(bytes, 0);
    if (bytes.size() < 2 || v == 0)
        return b;
    b.given = true;
    const int width = v & 7;
    b.type = (v >> 3) & 3;
    b.twips = 15 * width;
    if (b.type != 0 && width >= 6) {
        b.type = width == 6 ? 6 : 7;
        b.twips = 15;
    }
    b.colour = word_palette_colour((v >> 6) & 0x1F);
    return b;
}

DocumentBuilder::Border WordRowDefinition::border_of(const Border &b)
{
    DocumentBuilder::Border out;
    if (b.type == 0 || b.type == 0xFF)
        return out;
    // A border is at least a pixel wide: Word's hairlines too.
    out.width = std::max(1.0, double(px(b.twips)) * (b.type == 2 ? 2 : 1));
    out.colour = b.colour == 0 ? QColor(Qt::black) : QColor::fromRgb(b.colour);
    switch (b.type) {
    case 3:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 21:
        out.style = QTextFrameFormat::BorderStyle_Double;
        out.width = std::max(out.width, 3.0);
        break;
    case 6:
    case 8:
    case 9:
        out.style = QTextFrameFormat::BorderStyle_Dotted;
        break;
    case 7:
    case 22:
    case 23:
        out.style = QTextFrameFormat::BorderStyle_Dashed;
        break;
    default:
        out.style = QTextFrameFormat::BorderStyle_Solid;
        break;
    }
    return out;
}

DocumentBuilder::RowLayout WordRowDefinition::layout(bool first, bool last) const
{
    DocumentBuilder::RowLayout row;
    if (empty())
        return row;
    row.alignment = alignment_ == 1   ? Qt::AlignHCenter
                    : alignment_ == 2 ? Qt::AlignRight
                                      : Qt::AlignLeft;
    row.left = double(px(edges_.front()));
    row.padding = std::clamp(double(px(gap_)), 0.0, 30.0);
    row.cells.reserve(cells_.size());
    double left = row.left;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const Cell &c = cells_[i];
        DocumentBuilder::CellLayout cell;
        // Edges that go back (a writer's error) make a cell of no width.
        cell.right = std::max(left, double(px(edges_[i + 1])));
        left = cell.right;
        const Border *own[4] = {&c.borders[1], &c.borders[0], &c.borders[3], &c.borders[2]};
        const Border *table[4] = {
            &table_borders_[i == 0 ? Side::left : Side::inside_vertical],
            &table_borders_[first ? Side::top : Side::inside_horizontal],
            &table_borders_[i + 1 == cells_.size() ? Side::right : Side::inside_vertical],
            &table_borders_[last ? Side::bottom : Side::inside_horizontal]};
        for (std::size_t side = 0; side < 4; ++side)
            cell.borders[side] = border_of(own[side]->given ? *own[side] : *table[side]);
        cell.shading = c.shading;
        cell.horizontal = c.horizontal;
        cell.vertical = c.vertical;
        cell.vertical_alignment = c.vertical_alignment;
        row.cells.push_back(cell);
    }
    return row;
}

} // namespace talvence
