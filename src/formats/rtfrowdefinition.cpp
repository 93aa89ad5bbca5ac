// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfrowdefinition.h"

#include <algorithm>

#include "rtfcolourtable.h"
#include "twips.h"

namespace talvence {

namespace {

constexpr int max_twips = 31680;
constexpr std::size_t max_cells = 256; // \cellx of one row

} // namespace

void RtfRowDefinition::reset()
{
    *this = RtfRowDefinition();
}

void RtfRowDefinition::select_cell_border(Side side)
{
    target_ = &cell_.borders[std::size_t(side)];
    target_->given = true;
    target_->style = BorderStyle::single;
}

void RtfRowDefinition::select_row_border(Side side, bool inner)
{
    const std::size_t i =
        inner ? (side == Side::left || side == Side::right ? 4 : 5) : std::size_t(side);
    target_ = &row_borders_[i];
    target_->given = true;
    target_->style = BorderStyle::single;
}

void RtfRowDefinition::set_border_style(BorderStyle style)
{
    if (target_)
        target_->style = style;
}

void RtfRowDefinition::set_border_width(int twips)
{
    if (target_)
        target_->width = std::clamp(twips, 0, 255);
}

void RtfRowDefinition::set_border_colour(int index)
{
    if (target_)
        target_->colour = index;
}

void RtfRowDefinition::end_cell(int right)
{
    target_ = nullptr;
    if (cells_.size() < max_cells) {
        cell_.right = std::clamp(right, -max_twips, max_twips);
        cells_.push_back(cell_);
    }
    cell_ = Cell();
}

DocumentBuilder::Border RtfRowDefinition::border_of(const Border &b, const RtfColourTable &colours)
{
    DocumentBuilder::Border out;
    if (!b.given || b.style == BorderStyle::none)
        return out;
    // A border is at least a pixel wide: Word's hairlines too.
    out.width = std::max(1.0, double(px(b.width)) * (b.style == BorderStyle::thick ? 2 : 1));
    const QColor c = colours.colour(b.colour);
    out.colour = c.isValid() ? c : QColor(Qt::black);
    switch (b.style) {
    case BorderStyle::double_line:
        out.style = QTextFrameFormat::BorderStyle_Double;
        out.width = std::max(out.width, 3.0);
        break;
    case BorderStyle::dotted:
        out.style = QTextFrameFormat::BorderStyle_Dotted;
        break;
    case BorderStyle::dashed:
        out.style = QTextFrameFormat::BorderStyle_Dashed;
        break;
    default:
        out.style = QTextFrameFormat::BorderStyle_Solid;
        break;
    }
    return out;
}

DocumentBuilder::RowLayout RtfRowDefinition::layout(const RtfColourTable &colours) const
{
    DocumentBuilder::RowLayout row;
    row.alignment = alignment_;
    row.left = double(px(std::clamp(left_, -max_twips, max_twips)));
    // One padding for all sides of every cell: the writer's left and right
    // padding where it gives them, else half the gap between cells.
    int padding = gap_;
    if (padding_unit_[0] == 3 || padding_unit_[1] == 3) {
        const int given = int(padding_unit_[0] == 3) + int(padding_unit_[1] == 3);
        padding = ((padding_unit_[0] == 3 ? std::clamp(padding_[0], 0, max_twips) : 0) +
                   (padding_unit_[1] == 3 ? std::clamp(padding_[1], 0, max_twips) : 0)) /
                  given;
    }
    row.padding = std::clamp(double(px(padding)), 0.0, 30.0);
    row.cells.reserve(cells_.size());
    double left = row.left;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const Cell &c = cells_[i];
        DocumentBuilder::CellLayout cell;
        // Edges that go back (a writer's error) make a cell of no width.
        cell.right = std::max(left, double(px(c.right)));
        left = cell.right;
        const bool first = i == 0, last = i + 1 == cells_.size();
        const Border *fallback[4] = {&row_borders_[first ? 0 : 4], &row_borders_[1],
                                     &row_borders_[last ? 2 : 4], &row_borders_[3]};
        for (std::size_t side = 0; side < 4; ++side)
            cell.borders[side] =
                border_of(c.borders[side].given ? c.borders[side] : *fallback[side], colours);
        // Shading: the pattern colour (black by default) over the
        // background (white) in the given strength.
        QColor background = c.background > 0 ? colours.colour(c.background) : QColor();
        if (c.shading > 0) {
            const QColor base = background.isValid() ? background : QColor(Qt::white);
            const QColor ink =
                colours.colour(c.pattern).isValid() ? colours.colour(c.pattern) : QColor(Qt::black);
            const double k = std::clamp(c.shading, 0, 10000) / 10000.0;
            background = QColor::fromRgbF(float(base.redF() * (1 - k) + ink.redF() * k),
                                          float(base.greenF() * (1 - k) + ink.greenF() * k),
                                          float(base.blueF() * (1 - k) + ink.blueF() * k));
        }
        cell.shading = background;
        cell.horizontal = c.horizontal;
        cell.vertical = c.vertical;
        cell.vertical_alignment = c.valign;
        row.cells.push_back(cell);
    }
    return row;
}

} // namespace talvence
