// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Writes the text the RTF reader finds into a QTextDocument: runs of text in
// one character format go in with one insertion each, paragraphs get their
// block format when they end, and table rows are collected until the table
// ends and then put in as one QTextTable. (Growing a QTextTable row by row
// costs time in proportion to its size for every row; a table of some
// thousand rows would take seconds.)

#include <vector>

#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextImageFormat>

class QTextDocument;

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

    explicit DocumentBuilder(QTextDocument *document);

    // The format of the text appended from now on.
    void set_char_format(const QTextCharFormat &format);
    // Whether what follows belongs in a table cell. Set before each output;
    // a change takes effect with the next output.
    void set_in_table(bool in_table) { in_table_ = in_table; }

    void append(QStringView text);
    // A picture, in the character format given.
    void append_image(const QTextImageFormat &format);
    // Ends the current paragraph, which gets `format`.
    void end_paragraph(const QTextBlockFormat &format);
    // Ends a table cell; its last paragraph gets `format`.
    void end_cell(const QTextBlockFormat &format);
    void end_row();
    // Ends the document, once and last; the last paragraph gets `format`.
    void finish(const QTextBlockFormat &format);
    // Lets a view see what has been written so far: the edit that holds it
    // ends here (a table still open keeps its rows), the next output opens
    // another.
    void pause();

private:
    struct Piece {
        enum class Kind { text, paragraph_end, image } kind;
        QString text;
        QTextCharFormat char_format;
        QTextBlockFormat block_format;
    };
    struct Cell {
        std::vector<Piece> pieces;
        QTextBlockFormat last_block;
    };
    using Row = std::vector<Cell>;

    void flush_run();
    void place();
    Cell &current_cell();
    void close_paragraph(QTextCursor &cursor, const QTextBlockFormat &format,
                         const QTextCharFormat &char_format);
    void write_table();
    void write_table_as_text();
    void write_pieces(const Cell &cell);

    void resume();

    QTextCursor cursor_;
    bool editing_ = true; // inside the edit that collects the changes
    QTextCharFormat format_;
    QString run_;
    bool run_empty_block_ = true;   // nothing written into the current block yet
    QTextBlockFormat block_format_; // of the current block, where known
    bool block_format_known_ = false;

    bool in_table_ = false;
    bool table_open_ = false;
    bool row_ended_ = false;
    bool cell_ended_ = false;
    std::vector<Row> rows_;
    std::size_t widest_ = 1;    // cells of the widest row in rows_
    qsizetype table_cells_ = 0; // of the current table, written already
};

} // namespace talvence
