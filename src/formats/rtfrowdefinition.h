// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The definition of a table row in RTF (\trowd … \cellx): the row's
// alignment, indent and cell padding, and per cell its right edge, borders,
// shading, merges and vertical alignment, as the document builder lays the
// row out (DocumentBuilder::RowLayout).

#include <array>
#include <vector>

#include <QColor>

#include "documentbuilder.h"

namespace talvence {

class RtfColourTable;

// What each word of a row's definition does (RtfOp::row_definition).
enum class RowWord : int {
    reset, // \trowd
    align_left,
    align_centre,
    align_right,
    left,               // \trleft
    gap,                // \trgaph
    padding_left,       // \trpaddl
    padding_right,      // \trpaddr
    padding_left_unit,  // \trpaddfl
    padding_right_unit, // \trpaddfr
    cell_end,           // \cellx
    cell_border_left,
    cell_border_top,
    cell_border_right,
    cell_border_bottom,
    row_border_left,
    row_border_top,
    row_border_right,
    row_border_bottom,
    row_border_vertical,
    row_border_horizontal,
    paragraph_border, // \brdrt, \box …: not a cell's
    border_single,
    border_thick,
    border_double,
    border_dotted,
    border_dashed,
    border_none,
    border_width,
    border_colour,
    shading_colour, // \clcbpat
    pattern_colour, // \clcfpat
    shading,        // \clshdng
    merge_first,    // \clmgf
    merge,          // \clmrg
    vertical_merge_first,
    vertical_merge,
    valign_top,
    valign_centre,
    valign_bottom,
};

class RtfRowDefinition {
public:
    // Which border the border words (\brdrs, \brdrw, \brdrcf …) describe.
    enum class Side : unsigned char { left, top, right, bottom };
    enum class BorderStyle : unsigned char { single, thick, double_line, dotted, dashed, none };

    // \trowd: a new definition.
    void reset();
    void set_alignment(Qt::Alignment alignment) { alignment_ = alignment; }
    void set_left(int twips) { left_ = twips; }
    void set_gap(int twips) { gap_ = twips; }
    // \trpaddl, \trpaddr and their units (\trpaddfl3: twips; 0: not
    // given): a cell's text apart from its left and right edges, where a
    // writer gives it instead of \trgaph.
    void set_padding(bool right, int twips) { padding_[right] = twips; }
    void set_padding_unit(bool right, int unit) { padding_unit_[right] = unit; }
    // \clbrdrX, \trbrdrX: the border words that follow describe this side
    // of the cell being defined, or of the row (for every cell without one).
    void select_cell_border(Side side);
    void select_row_border(Side side, bool inner);
    // Border words outside a cell's or row's border (a paragraph's).
    void select_no_border() { target_ = nullptr; }
    void set_border_style(BorderStyle style);
    void set_border_width(int twips);
    void set_border_colour(int index);
    void set_shading_colour(int index) { cell_.background = index; }
    void set_pattern_colour(int index) { cell_.pattern = index; }
    void set_shading(int hundredths) { cell_.shading = hundredths; }
    void set_horizontal_merge(DocumentBuilder::Merge merge) { cell_.horizontal = merge; }
    void set_vertical_merge(DocumentBuilder::Merge merge) { cell_.vertical = merge; }
    void set_vertical_alignment(Qt::Alignment alignment) { cell_.valign = alignment; }
    // \cellxN: the cell defined so far ends at N twips.
    void end_cell(int right);

    bool empty() const { return cells_.empty(); }
    // The row as the builder lays it out, its colours from `colours`.
    DocumentBuilder::RowLayout layout(const RtfColourTable &colours) const;

private:
    struct Border {
        bool given = false;
        BorderStyle style = BorderStyle::none;
        int width = 15; // twips; Word's default is a single line of 0.75 pt
        int colour = 0;
    };
    struct Cell {
        int right = 0;
        std::array<Border, 4> borders;
        int background = -1;
        int pattern = -1;
        int shading = 0; // hundredths of a percent
        DocumentBuilder::Merge horizontal = DocumentBuilder::Merge::none;
        DocumentBuilder::Merge vertical = DocumentBuilder::Merge::none;
        Qt::Alignment valign = Qt::AlignTop;
    };

    static DocumentBuilder::Border border_of(const Border &b, const RtfColourTable &colours);

    Qt::Alignment alignment_ = Qt::AlignLeft;
    int left_ = 0;
    int gap_ = 108;
    std::array<int, 2> padding_{0, 0};      // left, right
    std::array<int, 2> padding_unit_{0, 0}; // 3 where in twips
    std::vector<Cell> cells_;
    Cell cell_;
    // The row's borders: left, top, right, bottom, inner vertical, inner horizontal.
    std::array<Border, 6> row_borders_;
    Border *target_ = nullptr;
};

} // namespace talvence
