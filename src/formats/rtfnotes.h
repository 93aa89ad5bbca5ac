// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The footnotes and endnotes of an RTF document (\footnote, \footnote\ftnalt):
// each note's mark numbered as the document numbers its notes (\ftnnar,
// \aftnnrlc, \ftnstart …), and the notes' texts collected apart, to stand at
// the end of the document after a rule, footnotes first, as a word
// processor's continuous view shows them.

#include <array>
#include <memory>
#include <string_view>

#include <QString>

#include "documentbuilder.h"
#include "rtfnumbering.h"

class QTextDocument;

namespace talvence {

class RtfNotes {
public:
    enum class Kind : unsigned char { none, footnote, endnote };

    // Whether the note that the bytes `ahead` (the input after a \chftn or
    // a \footnote) begin or announce is an endnote: Word writes \ftnalt
    // first thing in an endnote's group.
    static Kind kind_ahead(std::string_view ahead, bool at_note);

    void set_format(Kind kind, NumberFormat format) { notes(kind).format = format; }
    void set_start(Kind kind, int start) { notes(kind).start = start; }

    // The mark of the next note of `kind`, which counts it.
    QString next_mark(Kind kind);
    // The mark of the last note counted, which the note repeats in its own text.
    QString last_mark() const { return last_mark_; }

    // Where the text of notes of `kind` goes.
    DocumentBuilder &builder(Kind kind);
    // Puts the notes at the end of the document `builder` wrote, after a
    // rule; `format` is the block format of their last paragraph.
    void append_to(QTextDocument *document, DocumentBuilder &builder,
                   const QTextBlockFormat &format);

private:
    struct Notes {
        NumberFormat format = NumberFormat::decimal;
        int start = 1;
        int count = 0;
        std::unique_ptr<DocumentBuilder> builder; // recording
    };
    Notes &notes(Kind kind) { return kind == Kind::endnote ? notes_[1] : notes_[0]; }

    std::array<Notes, 2> notes_;
    QString last_mark_;
};

} // namespace talvence
