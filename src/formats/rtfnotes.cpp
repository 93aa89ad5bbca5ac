// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfnotes.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLength>

namespace talvence {

namespace {

// How far after a \chftn the note it marks is looked for: Word writes
// "{\super\chftn}{\footnote\ftnalt …", other writers a blank or a line end
// between them.
constexpr std::size_t note_lookahead = 96;

} // namespace

RtfNotes::Kind RtfNotes::kind_ahead(std::string_view ahead, bool at_note)
{
    ahead = ahead.substr(0, note_lookahead);
    if (!at_note) {
        const std::size_t at = ahead.find("\\footnote");
        if (at == std::string_view::npos)
            return Kind::footnote;
        ahead.remove_prefix(at + 9);
    }
    // Only words may come between \footnote and its \ftnalt.
    const std::size_t text = ahead.find_first_of("{} ");
    const std::size_t alt = ahead.find("\\ftnalt");
    return alt != std::string_view::npos && (text == std::string_view::npos || alt < text)
               ? Kind::endnote
               : Kind::footnote;
}

QString RtfNotes::next_mark(Kind kind)
{
    Notes &n = notes(kind);
    const int number = n.start + n.count++;
    last_mark_ = list_number(number, n.format);
    return last_mark_;
}

DocumentBuilder &RtfNotes::builder(Kind kind)
{
    Notes &n = notes(kind);
    if (!n.builder)
        n.builder = std::make_unique<DocumentBuilder>();
    return *n.builder;
}

void RtfNotes::append_to(QTextDocument *document, DocumentBuilder &builder,
                         const QTextBlockFormat &format)
{
    if (!notes_[0].builder && !notes_[1].builder)
        return;
    QTextCursor cursor(document);
    // In an edit block the cursor does not ask the layout where it stands.
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    // The rule between the text and its notes: a third of the width, as a
    // word processor draws it.
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 33));
    if (cursor.block().length() > 1)
        cursor.insertBlock(rule);
    else
        cursor.setBlockFormat(rule);
    cursor.insertBlock(QTextBlockFormat());
    cursor.endEditBlock();
    // Each note ends its last paragraph: the endnotes start on a paragraph
    // of their own.
    for (Notes &n : notes_) {
        if (!n.builder)
            continue;
        builder.append_recorded(*n.builder, format);
        n.builder.reset();
    }
}

} // namespace talvence
