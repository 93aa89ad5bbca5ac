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

    // Whether bytes are an RTF document at all: they start with "{\rtf".
    static bool is_rtf(QByteArrayView bytes);

private:
    // Where the text of a group goes.
    enum class Destination : unsigned char {
        body,
        font_table,
        colour_table,
        field_instruction,
        dropped,
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
    const Font *font(int number) const;
    void finish_font_name();
    void finish_field_instruction();
    QTextCharFormat char_format(const CharProps &p) const;
    QTextBlockFormat block_format(const ParaProps &p);

    RtfTokenizer tokens_;
    std::unique_ptr<QTextDocument> document_;
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
    int font_entry_ = -1; // the font table entry being read
    std::vector<QColor> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colour_set_ = false;
    QString field_instruction_;

    CharProps applied_chars_;
    bool chars_applied_ = false;
    static constexpr std::size_t max_recent_formats = 8;
    std::vector<std::pair<CharProps, QTextCharFormat>> recent_formats_;
    ParaProps block_props_;
    QTextBlockFormat block_format_;
};

} // namespace talvence
