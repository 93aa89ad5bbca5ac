// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentbuilder.h"

#include <algorithm>
#include <cmath>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QTextTableCellFormat>
#include <QTextTableFormat>

namespace talvence {

DocumentBuilder::DocumentBuilder(QTextDocument *document) : cursor_(document)
{
    // One edit for the whole document: a table put in outside an edit scans
    // every frame of the document anew, which made each table cost as much
    // as all the text before it.
    document->setUndoRedoEnabled(false);
    cursor_.beginEditBlock();
}

DocumentBuilder::DocumentBuilder() : editing_(false), depth_(1), base_depth_(1)
{
    open_.push_back(&top_);
}

void DocumentBuilder::append_recorded(DocumentBuilder &recorded, const QTextBlockFormat &format)
{
    recorded.flush_run();
    recorded.open_.resize(1);
    const Cell &notes = recorded.top_.rows.front().cells.front();
    resume();
    cursor_.movePosition(QTextCursor::End);
    block_format_known_ = false;
    write_pieces(notes);
    close_paragraph(cursor_, format, recorded.format_);
    cursor_.endEditBlock();
    editing_ = false;
}

void DocumentBuilder::set_char_format(const QTextCharFormat &format)
{
    flush_run();
    format_ = format;
}

void DocumentBuilder::append(QStringView text)
{
    place();
    run_ += text;
}

void DocumentBuilder::append_image(const QTextImageFormat &format)
{
    place();
    flush_run();
    if (!open_.empty()) {
        current_cell().pieces.push_back({Piece::Kind::image, {}, format, {}, {}});
        return;
    }
    resume();
    cursor_.insertImage(format);
    run_empty_block_ = false;
}

void DocumentBuilder::pause()
{
    if (!open_.empty())
        return;
    flush_run();
    if (editing_) {
        cursor_.endEditBlock();
        editing_ = false;
    }
}

void DocumentBuilder::resume()
{
    if (!editing_) {
        cursor_.beginEditBlock();
        editing_ = true;
    }
}

void DocumentBuilder::end_paragraph(const QTextBlockFormat &format)
{
    place();
    flush_run();
    if (!open_.empty()) {
        current_cell().pieces.push_back({Piece::Kind::paragraph_end, {}, format_, format, {}});
        return;
    }
    resume();
    // The paragraph's format as the builder set it last: asking the cursor
    // for it costs more than the rest of a short paragraph.
    if (!block_format_known_ || block_format_ != format) {
        cursor_.setBlockFormat(format);
        block_format_ = format;
        block_format_known_ = true;
    }
    if (run_empty_block_)
        cursor_.setBlockCharFormat(format_);
    cursor_.insertBlock();
    run_empty_block_ = true;
}

void DocumentBuilder::end_cell(const QTextBlockFormat &format)
{
    // A cell end means a table, even where the paragraph forgot to say so.
    depth_ = std::max(depth_, base_depth_ + 1);
    place();
    flush_run();
    current_cell().last_block = format;
    open_.back()->cell_ended = true;
}

void DocumentBuilder::end_row(RowLayout layout)
{
    depth_ = std::max(depth_, base_depth_ + 1);
    const std::size_t depth = open_depth();
    if (open_.size() < depth)
        return;
    flush_run();
    close_tables(depth);
    Table &table = *open_.back();
    table.rows.back().layout = std::move(layout);
    table.row_ended = true;
    table.cell_ended = false;
}

void DocumentBuilder::finish(const QTextBlockFormat &format)
{
    flush_run();
    if (!open_.empty()) {
        open_.clear();
        write_table(top_, false);
    }
    resume();
    close_paragraph(cursor_, format, format_);
    cursor_.endEditBlock();
    editing_ = false;
}

void DocumentBuilder::flush_run()
{
    if (run_.isEmpty())
        return;
    if (!open_.empty()) {
        current_cell().pieces.push_back({Piece::Kind::text, run_, format_, {}, {}});
    } else {
        resume();
        cursor_.insertText(run_, format_);
        run_empty_block_ = false;
    }
    run_.resize(0);
}

// Moves the output to where the next text belongs: into the table being
// collected at the depth set (a new cell or row where the last one ended, a
// new table inside the cell where the depth grew) or out of the tables
// deeper than that; back in the document, the finished table goes in first.
// Inside a table, a paragraph that skips levels (\itap5 in a cell of a
// table 2 deep) goes one level deeper only, the tables between would have
// no rows of their own; that table then stands in for the depth asked.
std::size_t DocumentBuilder::open_depth() const
{
    const std::size_t depth = std::size_t(depth_);
    if (open_.empty() || depth <= open_.size())
        return depth;
    if (open_.size() > 1 && std::size_t(open_.back()->stands_for) >= depth)
        return open_.size();
    return open_.size() + 1;
}

void DocumentBuilder::place()
{
    const std::size_t depth = open_depth();
    if (depth == open_.size() &&
        (depth == 0 || (!open_.back()->row_ended && !open_.back()->cell_ended)))
        return;
    flush_run();
    if (depth == 0) {
        open_.clear();
        write_table(top_, false);
        return;
    }
    close_tables(depth);
    if (open_.empty()) {
        top_ = Table();
        table_cells_ = 0;
        open_.push_back(&top_);
    }
    for (;;) {
        Table &table = *open_.back();
        if (table.row_ended) {
            if (open_.size() == 1 &&
                qsizetype(table.rows.size() * table.widest) >= table_part_cells)
                write_table(table, false);
            table.rows.push_back(Row{std::vector<Cell>(1), {}});
        } else if (table.cell_ended) {
            table.rows.back().cells.emplace_back();
            table.widest = std::max(table.widest, table.rows.back().size());
        }
        table.row_ended = false;
        table.cell_ended = false;
        if (open_.size() >= depth)
            break;
        open_table();
        open_.back()->stands_for = depth_;
    }
}

// A table inside the current cell, after what the cell holds so far.
void DocumentBuilder::open_table()
{
    auto table = std::make_shared<Table>();
    open_.push_back(table.get());
    Cell &cell = (*(open_.end() - 2))->rows.back().cells.back();
    cell.pieces.push_back({Piece::Kind::table, {}, format_, {}, std::move(table)});
}

// The tables deeper than `depth` are complete: the cells they stand in go on
// after them.
void DocumentBuilder::close_tables(std::size_t depth)
{
    if (open_.size() > depth)
        open_.resize(depth);
}

DocumentBuilder::Cell &DocumentBuilder::current_cell()
{
    return open_.back()->rows.back().cells.back();
}

void DocumentBuilder::close_paragraph(QTextCursor &cursor, const QTextBlockFormat &format,
                                      const QTextCharFormat &char_format)
{
    if (cursor.blockFormat() != format)
        cursor.setBlockFormat(format);
    // An empty paragraph is as high as its font: an empty line in 12 point
    // text must not shrink to the view's default font.
    if (cursor.block().length() <= 1)
        cursor.setBlockCharFormat(char_format);
}

void DocumentBuilder::write_pieces(const Cell &cell)
{
    for (const Piece &piece : cell.pieces) {
        if (piece.kind == Piece::Kind::text) {
            cursor_.insertText(piece.text, piece.char_format);
        } else if (piece.kind == Piece::Kind::image) {
            cursor_.insertImage(piece.char_format.toImageFormat());
        } else if (piece.kind == Piece::Kind::table) {
            // A cell that starts with a table keeps an empty paragraph
            // above it (Qt's cells begin with one): of no height, so the
            // table stands at the cell's top as its writer put it.
            if (&piece == &cell.pieces.front()) {
                QTextBlockFormat none;
                none.setLineHeight(0, QTextBlockFormat::FixedHeight);
                cursor_.setBlockFormat(none);
                QTextCharFormat tiny;
                tiny.setFontPointSize(1);
                cursor_.setBlockCharFormat(tiny);
            }
            write_table(*piece.table, true);
        } else {
            close_paragraph(cursor_, piece.block_format, piece.char_format);
            cursor_.insertBlock();
        }
    }
}

// A table that starts a paragraph takes that paragraph's place, or an
// empty line would stand above every table. (Not where the paragraph before
// is another table's, or of another cell: the first paragraph of a cell
// stays, as Qt puts one before a table inside a cell.)
void DocumentBuilder::take_empty_paragraph(bool nested)
{
    // (Outside tables the builder knows whether the paragraph is empty.)
    if ((!nested && !run_empty_block_) || cursor_.position() == 0 || cursor_.block().length() > 1)
        return;
    QTextCursor previous(cursor_);
    previous.movePosition(QTextCursor::PreviousBlock);
    QTextTable *table = cursor_.currentTable();
    if (previous.currentTable() != table)
        return;
    if (table && table->cellAt(previous.position()) != table->cellAt(cursor_.position()))
        return;
    cursor_.deletePreviousChar();
}

// After a table, the text goes on in the paragraph that follows it.
void DocumentBuilder::table_written(Table &table, bool nested, const QTextTable *written)
{
    if (written)
        cursor_.setPosition(written->lastPosition() + 1);
    if (nested)
        return;
    run_empty_block_ = true;
    block_format_known_ = false;
    table.rows.clear();
    table.widest = 1;
}

void DocumentBuilder::write_table(Table &t, bool nested)
{
    resume();
    if (t.rows.empty())
        return;
    if (!t.rows.front().layout.cells.empty() && write_laid_out_table(t, nested))
        return;
    std::size_t widest = 1;
    for (const Row &row : t.rows)
        widest = std::max(widest, row.size());
    const int columns = int(std::min<std::size_t>(widest, max_columns));
    const qsizetype row_count = qsizetype(t.rows.size());
    if (table_cells_ + row_count * columns > max_table_cells) {
        write_table_as_text(t);
        return;
    }
    table_cells_ += row_count * columns;

    take_empty_paragraph(nested);

    QTextTableFormat table_format;
    table_format.setBorder(1);
    table_format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    table_format.setBorderCollapse(true);
    table_format.setCellPadding(3);
    table_format.setCellSpacing(0);
    QTextTable *table = cursor_.insertTable(int(row_count), columns, table_format);

    // The cursor starts in the first cell; every cell, filled or not, ends
    // one position before the next one starts, row after row. Moving by
    // position keeps the table's own cell index from being rebuilt per cell.
    bool first = true;
    for (const Row &row : t.rows) {
        for (int c = 0; c < columns; ++c) {
            if (!first)
                cursor_.setPosition(cursor_.position() + 1);
            first = false;
            if (std::size_t(c) >= row.size())
                continue;
            write_pieces(row.cells[std::size_t(c)]);
            // Cells past the last column join it, apart by tabs.
            const bool last = c == columns - 1;
            for (std::size_t extra = std::size_t(columns); last && extra < row.size(); ++extra) {
                cursor_.insertText(QStringLiteral("\t"), format_);
                write_pieces(row.cells[extra]);
            }
            const Cell &closing =
                last && row.size() > std::size_t(columns) ? row.cells.back() : row.cells[c];
            close_paragraph(cursor_, closing.last_block, format_);
        }
    }
    table_written(t, nested, table);
}

QTextTableCellFormat DocumentBuilder::cell_format(const CellLayout &l, const Border &grid)
{
    QTextTableCellFormat f;
    // Each side's width, style and brush, in the order of l.borders.
    static constexpr int sides[4][3] = {
        {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle,
         QTextFormat::TableCellLeftBorderBrush},
        {QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle,
         QTextFormat::TableCellTopBorderBrush},
        {QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle,
         QTextFormat::TableCellRightBorderBrush},
        {QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle,
         QTextFormat::TableCellBottomBorderBrush},
    };
    for (std::size_t side = 0; side < 4; ++side) {
        const Border &b = l.borders[side];
        // The table draws its grid: a side only says where it differs (a
        // side of no border too, where the grid has one).
        if (b == grid || (b.width <= 0 && grid.width <= 0))
            continue;
        f.setProperty(sides[side][0], std::max(b.width, 0.0));
        if (b.width <= 0)
            continue;
        f.setProperty(sides[side][1], int(b.style));
        f.setProperty(sides[side][2], QBrush(b.colour));
    }
    if (l.shading.isValid())
        f.setBackground(l.shading);
    if (l.vertical_alignment & Qt::AlignVCenter)
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    else if (l.vertical_alignment & Qt::AlignBottom)
        f.setVerticalAlignment(QTextCharFormat::AlignBottom);
    return f;
}

// A table whose rows say where their cells end: its columns are the edges
// of all its rows' cells, each cell spans the columns between its edges, and
// merged cells join the one before or above them. False, with nothing
// written, for edges that make more columns than a table gets.
bool DocumentBuilder::write_laid_out_table(Table &t, bool nested)
{
    const int rows = int(t.rows.size());
    std::vector<double> edges;
    const RowLayout *layout = &t.rows.front().layout;
    std::vector<const RowLayout *> layouts;
    layouts.reserve(t.rows.size());
    for (const Row &row : t.rows) {
        // A row without its own layout takes the one before it.
        if (!row.layout.cells.empty())
            layout = &row.layout;
        layouts.push_back(layout);
        if (&row.layout != layout)
            continue;
        edges.push_back(std::round(layout->left));
        for (const CellLayout &c : layout->cells)
            edges.push_back(std::round(c.right));
    }
    // Edges a few pixels apart are one: a writer's rows that differ by a
    // millimetre mean the same column, and each column between them would
    // make a merged cell of every cell across it (which costs Qt a look at
    // the whole table per merge).
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end(),
                            [](double kept, double next) { return next - kept < snap_edges; }),
                edges.end());
    const int columns = int(edges.size()) - 1;
    if (columns < 1 || columns > max_columns)
        return false;
    if (table_cells_ + qsizetype(rows) * columns > max_table_cells) {
        write_table_as_text(t);
        return true;
    }
    table_cells_ += qsizetype(rows) * columns;
    const auto column_of = [&](double edge) {
        edge = std::round(edge);
        const auto at = std::lower_bound(edges.begin(), edges.end(), edge);
        if (at == edges.end() || (at != edges.begin() && edge - *(at - 1) < *at - edge))
            return int(at - edges.begin()) - 1;
        return int(at - edges.begin());
    };

    struct Placed {
        int row, column, rows = 1, columns = 1;
        std::vector<const Cell *> content;
        const CellLayout *layout;
    };
    std::vector<Placed> placed;
    std::vector<int> owner(std::size_t(rows * columns), -1);
    for (int r = 0; r < rows; ++r) {
        const Row &row = t.rows[std::size_t(r)];
        const RowLayout &l = *layouts[std::size_t(r)];
        int left = column_of(l.left);
        int last = -1; // the row's last cell placed
        for (std::size_t i = 0; i < std::max(l.cells.size(), row.cells.size()); ++i) {
            const Cell *content = i < row.cells.size() ? &row.cells[i] : nullptr;
            if (i >= l.cells.size() || column_of(l.cells[i].right) <= left) {
                // Cells beyond the row's edges, or of no width, join the last.
                if (last >= 0 && content)
                    placed[std::size_t(last)].content.push_back(content);
                continue;
            }
            const CellLayout &c = l.cells[i];
            const int right = column_of(c.right);
            if (c.horizontal == Merge::merged && last >= 0) {
                placed[std::size_t(last)].columns = right - placed[std::size_t(last)].column;
            } else if (const int above = r > 0 ? owner[std::size_t((r - 1) * columns + left)] : -1;
                       c.vertical == Merge::merged && above >= 0 &&
                       placed[std::size_t(above)].column == left) {
                Placed &p = placed[std::size_t(above)];
                p.rows = r - p.row + 1;
                last = above;
            } else {
                placed.push_back(Placed{r, left, 1, right - left, {}, &c});
                last = int(placed.size()) - 1;
            }
            if (content)
                placed[std::size_t(last)].content.push_back(content);
            for (int col = left; col < right; ++col)
                owner[std::size_t(r * columns + col)] = last;
            left = right;
        }
    }

    // The side most of the cells have is the table's grid: the cells then
    // need no border of their own but where they differ, and a cell of no
    // format of its own costs nothing.
    std::vector<std::pair<Border, int>> sides;
    for (const Placed &p : placed)
        for (const Border &b : p.layout->borders) {
            const auto known = std::find_if(sides.begin(), sides.end(),
                                            [&b](const auto &s) { return s.first == b; });
            if (known != sides.end())
                ++known->second;
            else if (sides.size() < 8)
                sides.emplace_back(b, 1);
        }
    Border grid;
    if (const auto most =
            std::max_element(sides.begin(), sides.end(),
                             [](const auto &a, const auto &b) { return a.second < b.second; });
        most != sides.end() && most->first.width > 0)
        grid = most->first;
    // Qt draws a table's grid around the whole table too: only a table whose
    // edge is the grid's side all along, with a cell in every place of it,
    // gets one.
    for (int r = 0; r < rows && grid.width > 0; ++r)
        for (int c = 0; c < columns; c += (r == 0 || r == rows - 1) ? 1 : std::max(1, columns - 1))
            if (owner[std::size_t(r * columns + c)] < 0)
                grid = Border();
    for (const Placed &p : placed) {
        const auto &b = p.layout->borders;
        if ((p.column == 0 && !(b[0] == grid)) || (p.row == 0 && !(b[1] == grid)) ||
            (p.column + p.columns == columns && !(b[2] == grid)) ||
            (p.row + p.rows == rows && !(b[3] == grid)))
            grid = Border();
    }

    // A side of no border beside cells whose sides there are the grid's is
    // drawn as the grid all the same (of the two sides of an edge, the wider
    // is drawn): it needs no border of its own. Only beside another side of
    // none does it say so.
    std::vector<CellLayout> looks;
    looks.reserve(placed.size());
    const auto beside_grid = [&](const Placed &p, std::size_t side) {
        // left, top, right, bottom: the cells across that side, and their side facing it
        const bool across = side == 0 || side == 2;
        const int at = side == 0   ? p.column - 1
                       : side == 1 ? p.row - 1
                       : side == 2 ? p.column + p.columns
                                   : p.row + p.rows;
        if (at < 0 || at >= (across ? columns : rows))
            return false;
        const int from = across ? p.row : p.column, to = from + (across ? p.rows : p.columns);
        for (int k = from; k < to; ++k) {
            const int n = owner[std::size_t(across ? k * columns + at : at * columns + k)];
            if (n < 0 || !(placed[std::size_t(n)].layout->borders[(side + 2) % 4] == grid))
                return false;
        }
        return true;
    };
    for (const Placed &p : placed) {
        looks.push_back(*p.layout);
        if (grid.width > 0)
            for (std::size_t side = 0; side < 4; ++side)
                if (looks.back().borders[side].width <= 0 && beside_grid(p, side))
                    looks.back().borders[side] = grid;
    }

    take_empty_paragraph(nested);
    const RowLayout &first = t.rows.front().layout;
    QTextTableFormat table_format;
    table_format.setBorder(grid.width);
    if (grid.width > 0) {
        table_format.setBorderStyle(grid.style);
        table_format.setBorderBrush(QBrush(grid.colour));
    }
    table_format.setBorderCollapse(true);
    table_format.setCellPadding(first.padding);
    table_format.setCellSpacing(0);
    table_format.setAlignment(first.alignment);
    if (first.alignment == Qt::AlignLeft && edges.front() > 0)
        table_format.setLeftMargin(edges.front());
    QList<QTextLength> widths;
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::FixedLength,
                                  edges[std::size_t(c + 1)] - edges[std::size_t(c)]));
    table_format.setColumnWidthConstraints(widths);
    QTextTable *table = cursor_.insertTable(rows, columns, table_format);

    // The cells' formats first: the text written after them does not undo
    // them. The cells are looked up before any is changed: a change makes the
    // table find its cells anew on the next look-up.
    std::vector<QTextTableCell> cells;
    cells.reserve(placed.size());
    for (const Placed &p : placed)
        cells.push_back(table->cellAt(p.row, p.column));
    // Only what differs from a plain cell is set (a side of no border
    // needs nothing: the table has none), a cell of nothing to set is left
    // as it is, and a cell laid out as one before takes its format (a
    // table has a few kinds of cells): each property and each change of a
    // cell's format costs time.
    constexpr std::size_t kinds_kept = 16;
    std::vector<std::pair<const CellLayout *, QTextTableCellFormat>> kinds;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const CellLayout &l = looks[i];
        auto kind = std::find_if(kinds.begin(), kinds.end(),
                                 [&l](const auto &k) { return l.looks_like(*k.first); });
        if (kind == kinds.end()) {
            if (kinds.size() == kinds_kept)
                kinds.pop_back();
            kinds.emplace_back(&l, cell_format(l, grid));
            kind = kinds.end() - 1;
        }
        if (kind->second.propertyCount() > 1) // beyond the object type of every cell
            cells[i].setFormat(kind->second);
    }

    // As in a table of no layout: cell after cell by position.
    std::vector<int> origin(std::size_t(rows * columns), -1);
    for (std::size_t i = 0; i < placed.size(); ++i)
        origin[std::size_t(placed[i].row * columns + placed[i].column)] = int(i);
    cursor_.setPosition(table->cellAt(0, 0).firstPosition());
    for (std::size_t at = 0; at < origin.size(); ++at) {
        if (at > 0)
            cursor_.setPosition(cursor_.position() + 1);
        if (origin[at] < 0)
            continue;
        const Placed &p = placed[std::size_t(origin[at])];
        for (std::size_t k = 0; k < p.content.size(); ++k) {
            if (k > 0 && !p.content[k]->pieces.empty())
                cursor_.insertText(QStringLiteral("\t"), format_);
            write_pieces(*p.content[k]);
        }
        close_paragraph(cursor_,
                        p.content.empty() ? QTextBlockFormat() : p.content.back()->last_block,
                        format_);
    }
    for (const Placed &p : placed) {
        if (p.rows > 1 || p.columns > 1)
            table->mergeCells(p.row, p.column, p.rows, p.columns);
    }
    table_written(t, nested, table);
    return true;
}

void DocumentBuilder::write_table_as_text(Table &t)
{
    block_format_known_ = false;
    for (const Row &row : t.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                cursor_.insertText(QStringLiteral("\t"), format_);
            write_pieces(row.cells[c]);
        }
        close_paragraph(
            cursor_, row.cells.empty() ? QTextBlockFormat() : row.cells.back().last_block, format_);
        cursor_.insertBlock();
    }
    run_empty_block_ = true;
    t.rows.clear();
    t.widest = 1;
}

} // namespace talvence
