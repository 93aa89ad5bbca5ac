// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reads an RTF document into a QTextDocument: what word processors and the
// simple editors write, shown with its character and paragraph formatting
// and its tables, without any of the markup that is not meant to be seen
// (style sheets, document information, pictures, embedded objects, theme
// data, revision tables, hidden text) leaking into the view.
//
// Bad input reads as far as it goes: a truncated document shows what it
// holds, braces that never close are closed by its end, nesting beyond
// max_depth shares the state of its outermost level, and parameters out of
// any sensible range are clamped. Nothing the input says can make the reader
// recurse: groups live on a vector, skipped groups are stepped over by a loop.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QString>

#include "codepagedecoder.h"
#include "documentbuilder.h"
#include "rtfcolourtable.h"
#include "rtfcontrolwords.h"
#include "rtffonttable.h"
#include "rtfformats.h"
#include "rtfnotes.h"
#include "rtfnumbering.h"
#include "rtfpicture.h"
#include "rtfproperties.h"
#include "rtfrowdefinition.h"
#include "rtftokenizer.h"

class QTextDocument;

namespace talvence {

class RtfReader {
public:
    // Deeper groups than this are read with the state of the deepest one.
    static constexpr int max_depth = 256;

    explicit RtfReader(QByteArrayView rtf);
    ~RtfReader();
    RtfReader(const RtfReader &) = delete;
    RtfReader &operator=(const RtfReader &) = delete;

    // Reads the whole input; what could be read is in the document.
    std::unique_ptr<QTextDocument> read();

    // Reading a part at a time, for a view that shows the document while it
    // grows: each call reads on for about `time` and leaves the document
    // complete up to there (a table still open waits for its end). True
    // once the whole input is read; the document is then finished.
    bool read_part(std::chrono::nanoseconds time);
    QTextDocument *document() const { return document_view_; }
    // Hands the document over; the reader must not be used afterwards.
    std::unique_ptr<QTextDocument> take_document() { return std::move(document_); }

    // Whether bytes are an RTF document at all: they start with "{\rtf".
    static bool is_rtf(QByteArrayView bytes);

    // Whether the document `rtf` can be shown in the memory a few times its
    // size, told from a quick count of its paragraph and cell marks: each
    // paragraph costs a QTextDocument some hundred bytes, where the mark
    // costs the file five. A document of more marks than max_paragraphs and
    // one per paragraph_bytes of its size is refused before it is read.
    static bool fits(QByteArrayView rtf);
    static constexpr qsizetype max_paragraphs = 1 << 16;
    static constexpr qsizetype paragraph_bytes = 16;

private:
    // Where the text of a group goes.
    enum class Destination : unsigned char {
        body,
        font_table,
        colour_table,
        field_instruction,
        dropped,
        list_table,     // \listtable: the lists' levels
        level_text,     // \leveltext of a list level
        level_marker,   // \levelmarker of a list level
        list_overrides, // \listoverridetable: \ls numbers to lists
        numbering,      // \pn: old-style paragraph numbering
        numbering_before,
        numbering_after,
        picture,
    };

    struct State {
        Destination destination = Destination::body;
        Destination outside_upr = Destination::body; // where \ud returns to
        bool in_upr = false;
        bool keeps_paragraph = false; // list number text: its \pard leaves the paragraph be
        bool in_list_text = false;
        bool nested_properties = false;             // a nested table's row definition
        bool in_field = false;                      // \listtext, \pntext:
                                                    // the paragraph's own number
        RtfNotes::Kind note = RtfNotes::Kind::none; // the text of a note
        int unicode_skip = 1;                       // \uc
        RtfCharProps chars;
        RtfParaProps para;
    };

    void open_group();
    void close_group();
    void control_word(const RtfTokenizer::Token &t);
    void control_symbol(char symbol);
    void text(std::string_view bytes);
    void hex_byte(unsigned char byte);
    bool destination(const RtfControlWord &w);
    void table_word(const RtfControlWord &w, int value);
    void list_word(const RtfControlWord &w, int value);
    void row_word(RtfRowDefinition &row, RowWord word, int value);
    void skip_group();
    void pop_group();

    State &state() { return stack_.back(); }
    const State &state() const { return stack_.back(); }
    void flush_bytes();
    void put_unicode(int value);
    void put(QStringView text);
    void put_char(char16_t c) { put(QStringView(&c, 1)); }
    void end_paragraph();
    void end_cell(int depth);
    void end_row(int depth);
    // In how many tables the paragraph stands: \intbl alone is in one.
    static int table_depth(const RtfParaProps &p)
    {
        return p.in_table ? std::max(p.nesting, 1) : p.nesting;
    }
    void prepare_output();
    void forget_formats() { formats_.forget(); }

    int code_page() const { return fonts_.code_page(state().chars.font); }
    void finish_field_instruction();
    QString symbol_of_field(const QString &instruction);
    void start_paragraph();
    void paragraph_done();
    void finish_picture();
    void note_mark();
    bool begin_note();
    void end_note();
    void put_marker(const RtfNumbering::Marker &marker);

    // What goes to one output (the document, its footnotes, its endnotes).
    struct Output {
        bool paragraph_open = false; // text of the paragraph has gone out
        // The paragraph's own number (\listtext), shown where the lists do
        // not give it one.
        QString list_text;
        RtfCharProps list_text_chars;
        int number_align = 0; // of the number put at the paragraph's start
    };
    // The paragraph's properties as its format is made from them.
    RtfParaProps paragraph_props()
    {
        RtfParaProps p = state().para;
        p.number_align = output().number_align;
        return p;
    }
    DocumentBuilder &out()
    {
        return state().note == RtfNotes::Kind::none ? builder_ : notes_.builder(state().note);
    }
    Output &output() { return outputs_[std::size_t(state().note)]; }
    QString *marker_text();

    RtfTokenizer tokens_;
    std::unique_ptr<QTextDocument> document_;
    QTextDocument *document_view_;
    DocumentBuilder builder_;
    CodePageDecoder decoder_;
    RtfFontTable fonts_;
    RtfColourTable colours_;
    RtfFormats formats_;
    RtfNumbering numbering_;
    RtfPicture picture_;
    RtfNotes notes_;
    RtfRowDefinition row_;
    RtfRowDefinition nested_row_; // of the rows of tables inside cells

    std::vector<State> stack_;
    int overflow_ = 0; // open groups beyond max_depth
    bool started_ = false;
    bool done_ = false;
    bool star_ = false;
    int skip_ = 0;                // fallback characters of \u still to skip
    QByteArray bytes_;            // text in the current code page, not yet decoded
    char16_t high_surrogate_ = 0; // of a \u pair, waiting for its other half
    QString field_instruction_;
    QString symbol_field_;    // the sign of a SYMBOL field, shown if its result is empty
    std::uint64_t shown_ = 0; // pieces of text shown so far
    std::uint64_t shown_at_field_ = 0;
    std::array<Output, 3> outputs_;
    RtfNotes::Kind last_output_ = RtfNotes::Kind::none;
};

} // namespace talvence
