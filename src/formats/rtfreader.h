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

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include "codepagedecoder.h"
#include "documentbuilder.h"
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

    struct CharProps {
        int font = -1; // -1: the document's default font (\deff)
        int half_points = 24;
        int colour = 0;
        int background = 0;
        bool bold = false;
        bool italic = false;
        bool strike = false;
        bool hidden = false;
        QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
        QFont::Capitalization caps = QFont::MixedCase;
        QTextCharFormat::VerticalAlignment vertical = QTextCharFormat::AlignNormal;
        QString href; // of a hyperlink field's result
        bool operator==(const CharProps &) const = default;
    };

    struct ParaProps {
        Qt::Alignment alignment = Qt::AlignLeft;
        int left = 0; // twips
        int right = 0;
        int first = 0;
        int before = 0;
        int after = 0;
        bool right_to_left = false;
        bool in_table = false;
        int list = 0;       // \ls: 0 for none
        int list_level = 0; // \ilvl
        int numbering = -1; // into numberings_, for \pn
        bool operator==(const ParaProps &) const = default;
    };

    struct State {
        Destination destination = Destination::body;
        Destination outside_upr = Destination::body; // where \ud returns to
        bool in_upr = false;
        bool keeps_paragraph = false; // list number text: its \pard leaves the paragraph be
        int unicode_skip = 1;         // \uc
        CharProps chars;
        ParaProps para;
    };

    struct Font {
        QByteArray name_bytes;
        bool name_done = false;
        QStringList families;
        int charset = 1; // the default charset: the document's code page
        int code_page = 0;
        QFont::StyleHint hint = QFont::AnyStyle;
        SymbolFont symbol = SymbolFont::none;
        bool face_used = false; // text in it has been given its face
    };

    // A level of a list of the list table. Its text holds the bytes of
    // \leveltext as U+F0xx until the font they are in is known; U+F000 to
    // U+F008 stand for the numbers of levels 1 to 9.
    struct ListLevel {
        int format = 0; // \levelnfc
        int start = 1;
        int font = -1;
        int follow = 0; // 0 tab, 1 space, 2 nothing
        QString text;
        QString marker; // \levelmarker, the name of a bullet (Cocoa's "{disc}")
    };
    struct List {
        int id = 0;
        std::vector<ListLevel> levels;
    };
    // Old-style numbering (\pn): one per paragraph that has it.
    struct Numbering {
        int level = 0;  // 1 to 9, 10 for \pnlvlbody, 11 for \pnlvlblt
        int format = 0; // as \levelnfc; 23 a bullet, 255 no number (\pncont)
        int start = 1;
        int font = -1;
        QString before; // as ListLevel::text
        QString after;
        bool operator==(const Numbering &) const = default;
    };
    struct Picture {
        int type = 0;                        // 1 PNG, 2 JPEG, 0 something Qt cannot draw
        int width = 0, height = 0;           // \picw, \pich
        int goal_width = 0, goal_height = 0; // twips
        int scale_x = 100, scale_y = 100;
        QByteArray data;
        int nibble = -1; // a hex digit waiting for its partner
    };

    enum class Op : unsigned char;
    struct Word {
        std::string_view name;
        Op op;
        int value;
    };
    static const Word *find_word(std::string_view name);

    void open_group();
    void close_group();
    void control_word(const RtfTokenizer::Token &t);
    void control_symbol(char symbol);
    void text(std::string_view bytes);
    void hex_byte(unsigned char byte);
    bool destination(const Word &w);
    void skip_group();
    void pop_group();

    State &state() { return stack_.back(); }
    const State &state() const { return stack_.back(); }
    void flush_bytes();
    void put_unicode(int value);
    void put(QStringView text);
    void put_char(char16_t c) { put(QStringView(&c, 1)); }
    void end_paragraph();
    void end_cell();
    void prepare_output();
    void forget_formats();

    int code_page() const;
    int code_page_of(const Font *f) const;
    const Font *font(int number) const;
    void finish_font_name();
    void finish_field_instruction();
    QTextCharFormat char_format(const CharProps &p);
    QTextBlockFormat block_format(const ParaProps &p);
    void start_paragraph();
    void paragraph_done();
    QString list_marker(const ParaProps &p);
    QString decoded_marker(const QString &raw, int font_number,
                           const std::function<QString(int)> &number);
    void picture_size(int which, int value);
    void picture_text(std::string_view bytes);
    void finish_picture();
    void finish_numbering(const State &closed);
    QString *marker_text();

    RtfTokenizer tokens_;
    std::unique_ptr<QTextDocument> document_;
    QTextDocument *document_view_;
    DocumentBuilder builder_;
    CodePageDecoder decoder_;

    std::vector<State> stack_;
    int overflow_ = 0; // open groups beyond max_depth
    bool started_ = false;
    bool done_ = false;
    bool star_ = false;
    int skip_ = 0;                // fallback characters of \u still to skip
    QByteArray bytes_;            // text in the current code page, not yet decoded
    char16_t high_surrogate_ = 0; // of a \u pair, waiting for its other half

    int document_code_page_ = 1252;
    int default_font_ = 0;
    std::map<int, Font> fonts_;
    int faces_used_ = 0;
    int font_entry_ = -1;              // the font table entry being read
    std::size_t font_entry_depth_ = 0; // the groups open where it started
    std::vector<QColor> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colour_set_ = false;
    QString field_instruction_;

    std::vector<List> lists_;
    std::map<int, int> overrides_; // \ls to \listid
    int override_list_ = 0, override_ls_ = 0;
    // Where each list stands: (list id, level) to its last number.
    std::map<std::pair<int, int>, int> list_counts_;
    std::vector<Numbering> numberings_;
    // \pn level to its last number and the numbering that gave it.
    std::map<int, std::pair<int, int>> numbering_counts_;
    bool paragraph_open_ = false; // text of the paragraph has gone out
    bool list_text_seen_ = false; // the paragraph brought its own number
    bool numbered_before_ = false;
    Numbering numbering_; // the \pn being read
    Picture picture_;
    int pictures_ = 0;

    CharProps applied_chars_;
    bool chars_applied_ = false;
    static constexpr std::size_t max_recent_formats = 8;
    std::vector<std::pair<CharProps, QTextCharFormat>> recent_formats_;
    ParaProps block_props_;
    QTextBlockFormat block_format_;
};

} // namespace talvence
