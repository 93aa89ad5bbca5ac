// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writes the text the RTF reader finds into a QTextDocument: runs of text in
// one character format go in with one insertion each, paragraphs get their
// block format when they end, and table rows are collected until the table
// ends and then put in as one QTextTable. (Growing a QTextTable row by row
// costs time in proportion to its size for every row; a table of some
// thousand rows would take seconds.) A table inside a cell is collected
// with that cell's text and goes in as a QTextTable inside the cell.

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include <QColor>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextFrameFormat>
#include <QTextImageFormat>
#include <QTextTableCellFormat>

class QTextDocument;
class QTextTable;

namespace talvence {

class DocumentBuilder {
public:
    // Most columns a table gets; cells beyond them join the last cell.
    static constexpr int max_columns = 63;
    // Most cells of one table (rows times columns). The rows beyond come
    // out as text, cells apart by tabs, rows as paragraphs: each cell of a
    // QTextTable costs memory whether it holds text or not.
    static constexpr qsizetype max_table_cells = 1 << 18;
    // A long table goes into the document in parts of about this many cells,
    // each a QTextTable of its own: the view lays a table out whole, in one
    // event (some 35 microseconds a cell, more in larger tables), and the
    // reader writes each part as soon as its rows are complete.
    static constexpr qsizetype table_part_cells = 1024;
    // Most tables one inside the other; the text of deeper ones goes into
    // the cells of the deepest.
    static constexpr int max_nesting = 8;
    // Cell edges of a table closer than this (pixels) are one column edge.
    static constexpr double snap_edges = 4;

    explicit DocumentBuilder(QTextDocument *document);
    // A builder that keeps what it is given, to be written into another's
    // document later (append_recorded): the notes of a document, which
    // go at its end. (A QTextDocument of their own and a copy of it cost
    // more than a short document takes to read.)
    DocumentBuilder();

    // The format of the text appended from now on.
    void set_char_format(const QTextCharFormat &format);
    // In how many tables, one inside the other, what follows stands: 0 in
    // none, 1 in a cell of a table, 2 in a cell of a table inside a cell.
    // Set before each output; a change takes effect with the next output.
    void set_table_depth(int depth) { depth_ = base_depth_ + std::clamp(depth, 0, max_nesting); }
    void set_in_table(bool in_table) { set_table_depth(in_table ? 1 : 0); }

    void append(QStringView text);
    // A picture, in the character format given.
    void append_image(const QTextImageFormat &format);
    // Ends the current paragraph, which gets `format`.
    void end_paragraph(const QTextBlockFormat &format);
    // How a row of a table is laid out, as its writer gave it. Positions
    // in pixels from the left edge of the text; a row of no cells is laid
    // out in a grid of one pixel, its columns as wide as their text.
    struct Border {
        double width = 0; // 0: no border
        QColor colour;
        QTextFrameFormat::BorderStyle style = QTextFrameFormat::BorderStyle_Solid;
        bool operator==(const Border &) const = default;
    };
    // A cell that is merged into the one before it (horizontally) or above
    // it (vertically) adds its place to that cell.
    enum class Merge : unsigned char { none, first, merged };
    struct CellLayout {
        double right = 0;              // the cell's right edge
        std::array<Border, 4> borders; // left, top, right, bottom
        QColor shading;                // invalid: none
        Merge horizontal = Merge::none;
        Merge vertical = Merge::none;
        Qt::Alignment vertical_alignment = Qt::AlignTop;
        // Whether the cell is drawn as `other` is: the same borders,
        // shading and vertical alignment.
        bool looks_like(const CellLayout &other) const
        {
            return borders == other.borders && shading == other.shading &&
                   vertical_alignment == other.vertical_alignment;
        }
    };
    struct RowLayout {
        std::vector<CellLayout> cells;
        double left = 0; // the row's left edge
        Qt::Alignment alignment = Qt::AlignLeft;
        double padding = 3; // around each cell's text
    };

    // Ends a cell of the table at the depth set (at least 1); its last
    // paragraph gets `format`.
    void end_cell(const QTextBlockFormat &format);
    // Ends the row of the table at the depth set (at least 1), and the
    // tables inside its cells; nothing where no table of that depth is open.
    void end_row(RowLayout layout);
    void end_row() { end_row(RowLayout()); }
    // Ends the document, once and last; the last paragraph gets `format`.
    void finish(const QTextBlockFormat &format);
    // Writes at the end of the document what `recorded` kept, after
    // `recorded` was finished; its last paragraph gets `format`.
    void append_recorded(DocumentBuilder &recorded, const QTextBlockFormat &format);
    // Lets a view see what has been written so far: the edit that holds it
    // ends here (a table still open keeps its rows), the next output opens
    // another.
    void pause();

private:
    struct Table;
    struct Piece {
        enum class Kind { text, paragraph_end, image, table } kind;
        QString text;
        QTextCharFormat char_format;
        QTextBlockFormat block_format;
        std::shared_ptr<Table> table; // of a table inside the cell
    };
    struct Cell {
        std::vector<Piece> pieces;
        QTextBlockFormat last_block;
    };
    struct Row {
        std::vector<Cell> cells;
        RowLayout layout;
        std::size_t size() const { return cells.size(); }
    };
    // A table being collected: its rows so far, and whether the next
    // output starts a new row or cell.
    struct Table {
        std::vector<Row> rows{Row{std::vector<Cell>(1), {}}};
        std::size_t widest = 1; // cells of the widest row
        bool row_ended = false;
        bool cell_ended = false;
        int stands_for = 0; // the depth the document asked for (open_depth)
    };

    void flush_run();
    void place();
    void open_table();
    std::size_t open_depth() const;
    void close_tables(std::size_t depth);
    Cell &current_cell();
    void close_paragraph(QTextCursor &cursor, const QTextBlockFormat &format,
                         const QTextCharFormat &char_format);
    void write_table(Table &table, bool nested);
    bool write_laid_out_table(Table &table, bool nested);
    void take_empty_paragraph(bool nested);
    void write_table_as_text(Table &table);
    void write_pieces(const Cell &cell);
    void table_written(Table &table, bool nested, const QTextTable *written);
    static QTextTableCellFormat cell_format(const CellLayout &layout, const Border &grid);

    void resume();

    QTextCursor cursor_;
    bool editing_ = true; // inside the edit that collects the changes
    QTextCharFormat format_;
    QString run_;
    bool run_empty_block_ = true;   // nothing written into the current block yet
    QTextBlockFormat block_format_; // of the current block, where known
    bool block_format_known_ = false;

    int depth_ = 0; // of the tables the next output goes into
    // 1 in a builder that records: all it is given goes into the one cell
    // of top_, and its tables stand inside that cell.
    int base_depth_ = 0;
    Table top_; // the outermost table, while open_ holds it
    // The tables open, outermost first; each but the first stands in the
    // current cell of the one before, whose piece owns it.
    std::vector<Table *> open_;
    qsizetype table_cells_ = 0; // of the current table, written already
};

} // namespace talvence
