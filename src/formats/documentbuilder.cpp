// SPDX-License-Identifier: GPL-3.0-or-later
#include "documentbuilder.h"

#include <algorithm>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
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
    if (table_open_) {
        current_cell().pieces.push_back({Piece::Kind::image, {}, format, {}});
        return;
    }
    resume();
    cursor_.insertImage(format);
    run_empty_block_ = false;
}

void DocumentBuilder::pause()
{
    if (table_open_)
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
    if (table_open_) {
        current_cell().pieces.push_back({Piece::Kind::paragraph_end, {}, format_, format});
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
    in_table_ = true;
    place();
    flush_run();
    current_cell().last_block = format;
    cell_ended_ = true;
}

void DocumentBuilder::end_row()
{
    if (!table_open_)
        return;
    flush_run();
    row_ended_ = true;
    cell_ended_ = false;
}

void DocumentBuilder::finish(const QTextBlockFormat &format)
{
    flush_run();
    if (table_open_) {
        write_table();
        table_open_ = false;
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
    if (table_open_) {
        current_cell().pieces.push_back({Piece::Kind::text, run_, format_, {}});
    } else {
        resume();
        cursor_.insertText(run_, format_);
        run_empty_block_ = false;
    }
    run_.resize(0);
}

// Moves the output to where the next text belongs: into the table being
// collected (a new cell or row where the last one ended) or back into the
// document, which then receives the finished table first.
void DocumentBuilder::place()
{
    if (in_table_) {
        if (!table_open_) {
            flush_run();
            table_open_ = true;
            table_cells_ = 0;
            rows_.assign(1, Row(1));
            widest_ = 1;
        } else if (row_ended_) {
            flush_run();
            if (qsizetype(rows_.size() * widest_) >= table_part_cells)
                write_table();
            rows_.emplace_back(1);
        } else if (cell_ended_) {
            flush_run();
            rows_.back().emplace_back();
            widest_ = std::max(widest_, rows_.back().size());
        }
        row_ended_ = false;
        cell_ended_ = false;
    } else if (table_open_) {
        flush_run();
        write_table();
        table_open_ = false;
    }
}

DocumentBuilder::Cell &DocumentBuilder::current_cell()
{
    return rows_.back().back();
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
        } else {
            close_paragraph(cursor_, piece.block_format, piece.char_format);
            cursor_.insertBlock();
        }
    }
}

void DocumentBuilder::write_table()
{
    resume();
    std::size_t widest = 1;
    for (const Row &row : rows_)
        widest = std::max(widest, row.size());
    const int columns = int(std::min<std::size_t>(widest, max_columns));
    const qsizetype row_count = qsizetype(rows_.size());
    if (table_cells_ + row_count * columns > max_table_cells) {
        write_table_as_text();
        return;
    }
    table_cells_ += row_count * columns;

    // A table that starts a paragraph takes that paragraph's place, or an
    // empty line would stand above every table.
    if (run_empty_block_ && cursor_.position() > 0) {
        QTextCursor previous(cursor_);
        previous.movePosition(QTextCursor::PreviousBlock);
        if (!previous.currentTable())
            cursor_.deletePreviousChar();
    }

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
    for (const Row &row : rows_) {
        for (int c = 0; c < columns; ++c) {
            if (!first)
                cursor_.setPosition(cursor_.position() + 1);
            first = false;
            if (std::size_t(c) >= row.size())
                continue;
            write_pieces(row[std::size_t(c)]);
            // Cells past the last column join it, apart by tabs.
            const bool last = c == columns - 1;
            for (std::size_t extra = std::size_t(columns); last && extra < row.size(); ++extra) {
                cursor_.insertText(QStringLiteral("\t"), format_);
                write_pieces(row[extra]);
            }
            const Cell &closing = last && row.size() > std::size_t(columns) ? row.back() : row[c];
            close_paragraph(cursor_, closing.last_block, format_);
        }
    }
    cursor_.setPosition(table->lastPosition() + 1);
    run_empty_block_ = true;
    block_format_known_ = false;
    rows_.clear();
    widest_ = 1;
}

void DocumentBuilder::write_table_as_text()
{
    block_format_known_ = false;
    for (const Row &row : rows_) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                cursor_.insertText(QStringLiteral("\t"), format_);
            write_pieces(row[c]);
        }
        close_paragraph(cursor_, row.empty() ? QTextBlockFormat() : row.back().last_block, format_);
        cursor_.insertBlock();
    }
    run_empty_block_ = true;
    rows_.clear();
    widest_ = 1;
}

} // namespace talvence
