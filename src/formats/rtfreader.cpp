// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfreader.h"

#include <algorithm>
#include <cstring>

#include <QTextDocument>
#include <QTextImageFormat>

namespace talvence {

namespace {

constexpr int max_twips = 31680; // 22 inches, the widest page a word processor offers
constexpr int max_field_instruction = 4096;
constexpr qsizetype max_marker = 64; // characters of a list number's text

int clamp_twips(int value)
{
    return std::clamp(value, -max_twips, max_twips);
}

// A control word switches its property on, unless its parameter is 0.
bool toggle(const RtfTokenizer::Token &t)
{
    return !t.has_parameter || t.parameter != 0;
}

// The target of a HYPERLINK field: its first quoted argument (or first word),
// a place in the document when the \l switch comes first.
QString hyperlink_target(const QString &instruction)
{
    const QString text = instruction.trimmed();
    if (!text.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive))
        return {};
    const QStringView rest = QStringView(text).sliced(9).trimmed();
    const bool local = rest.startsWith(QLatin1String("\\l"));
    const QStringView args = local ? rest.sliced(2).trimmed() : rest;
    QStringView target;
    if (args.startsWith(u'"')) {
        const qsizetype close = args.indexOf(u'"', 1);
        target = close < 0 ? args.sliced(1) : args.sliced(1, close - 1);
    } else {
        const qsizetype blank = args.indexOf(u' ');
        target = blank < 0 ? args : args.first(blank);
    }
    if (target.isEmpty())
        return {};
    return local ? QLatin1Char('#') + target.toString() : target.toString();
}

} // namespace

// The sign of a SYMBOL field ("SYMBOL 74 \f "Wingdings" \s 12"): its number
// as a byte of the font named, or as Unicode (\u, or above a byte).
QString RtfReader::symbol_of_field(const QString &instruction)
{
    const QStringList words = instruction.simplified().split(u' ');
    if (words.size() < 2 || words[0].compare(QLatin1String("SYMBOL"), Qt::CaseInsensitive) != 0)
        return {};
    bool ok = false;
    const int number = words[1].startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? words[1].mid(2).toInt(&ok, 16)
                           : words[1].toInt(&ok);
    if (!ok || number <= 0 || number > 0x10FFFF)
        return {};
    bool unicode = number > 0xFF;
    QString font;
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (words[i] == QLatin1String("\\u"))
            unicode = true;
        if (words[i] == QLatin1String("\\f") && i + 1 < words.size()) {
            // The name in quotes may hold blanks ("Wingdings 2").
            QString name = words[++i];
            while (name.startsWith(u'"') && !(name.size() > 1 && name.endsWith(u'"')) &&
                   i + 1 < words.size())
                name += u' ' + words[++i];
            font = name.remove(u'"');
        }
    }
    if (unicode) {
        const char32_t sign = char32_t(number);
        return QString::fromUcs4(&sign, 1);
    }
    const char byte = char(number);
    QString out;
    const SymbolFont symbol = symbol_font_of(font);
    if (symbol != SymbolFont::none)
        append_symbols(out, QByteArrayView(&byte, 1), symbol);
    else
        decoder_.append(out, QByteArrayView(&byte, 1), code_page());
    return out;
}

RtfReader::RtfReader(QByteArrayView rtf)
    : tokens_(rtf), document_(std::make_unique<QTextDocument>()), document_view_(document_.get()),
      builder_(document_view_), fonts_(decoder_), formats_(fonts_, colours_),
      numbering_(fonts_, decoder_)
{
    stack_.reserve(64);
    stack_.emplace_back();
}

RtfReader::~RtfReader() = default;

bool RtfReader::is_rtf(QByteArrayView bytes)
{
    return bytes.startsWith("{\\rtf");
}

std::unique_ptr<QTextDocument> RtfReader::read()
{
    read_part(std::chrono::nanoseconds::max());
    return std::move(document_);
}

bool RtfReader::fits(QByteArrayView rtf)
{
    // Words that end a paragraph or a cell, each a block of the document.
    const auto is_mark = [](std::string_view n) {
        switch (n.size()) {
        case 3:
            return n == "par";
        case 4:
            return n == "cell" || n == "sect" || n == "page" || n == "line";
        case 6:
            return n == "column";
        case 8:
            return n == "nestcell";
        default:
            return false;
        }
    };
    const qsizetype allowed = max_paragraphs + rtf.size() / paragraph_bytes;
    qsizetype count = 0;
    const char *p = rtf.data();
    const char *const end = p + rtf.size();
    while ((p = static_cast<const char *>(std::memchr(p, '\\', std::size_t(end - p))))) {
        ++p;
        const char *word = p;
        while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
            ++p;
        const std::string_view name(word, std::size_t(p - word));
        if (name.empty() ? p < end && (*p == '\n' || *p == '\r') : is_mark(name)) {
            if (++count > allowed)
                return false;
        }
        if (name.empty() && p < end)
            ++p; // an escaped character, a backslash among them
    }
    return true;
}

bool RtfReader::read_part(std::chrono::nanoseconds time)
{
    if (done_)
        return true;
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const auto deadline =
        time >= clock::time_point::max() - start ? clock::time_point::max() : start + time;
    unsigned tokens = 0;
    // The clock is asked every few tokens: a token takes some nanoseconds.
    while (!done_ && ((++tokens & 63) != 0 || clock::now() < deadline)) {
        const RtfTokenizer::Token t = tokens_.next();
        switch (t.kind) {
        case RtfTokenizer::Kind::end:
            done_ = true;
            break;
        case RtfTokenizer::Kind::group_open:
            open_group();
            break;
        case RtfTokenizer::Kind::group_close:
            close_group();
            break;
        case RtfTokenizer::Kind::control_word:
            control_word(t);
            break;
        case RtfTokenizer::Kind::control_symbol:
            control_symbol(t.symbol);
            break;
        case RtfTokenizer::Kind::hex_byte:
            hex_byte(t.byte);
            break;
        case RtfTokenizer::Kind::binary:
            // Data of a picture, or of an object outside a group we skip.
            flush_bytes();
            if (skip_ > 0)
                --skip_;
            else if (state().destination == Destination::picture)
                picture_.add_binary(t.text);
            break;
        case RtfTokenizer::Kind::text:
            text(t.text);
            break;
        }
    }
    if (!done_) {
        builder_.pause();
        return false;
    }
    // Truncated documents end here with groups still open; what they held is shown.
    flush_bytes();
    if (high_surrogate_) {
        high_surrogate_ = 0;
        put_char(0xFFFD);
    }
    if (fonts_.reading_entry()) {
        fonts_.finish_entry();
        forget_formats();
    }
    if (state().note != RtfNotes::Kind::none)
        end_note();
    for (State &s : stack_)
        s.note = RtfNotes::Kind::none;
    prepare_output();
    builder_.finish(formats_.block_format(paragraph_props()));
    notes_.append_to(document_view_, builder_, formats_.block_format(RtfParaProps()));
    return true;
}

void RtfReader::open_group()
{
    flush_bytes();
    skip_ = 0;
    star_ = false;
    if (int(stack_.size()) > max_depth) {
        ++overflow_;
        return;
    }
    stack_.push_back(stack_.back());
    started_ = true;
}

void RtfReader::close_group()
{
    flush_bytes();
    skip_ = 0;
    star_ = false;
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.size() <= 1) {
        done_ = true; // a stray closing brace ends the document as the last one would
        return;
    }
    pop_group();
}

void RtfReader::skip_group()
{
    flush_bytes();
    tokens_.skip_group();
    // The group skipped ends with its closing brace, already consumed.
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.size() > 1)
        pop_group();
    else
        done_ = true;
}

void RtfReader::pop_group()
{
    if (stack_.back().note != stack_[stack_.size() - 2].note)
        end_note();
    const State closed = std::move(stack_.back());
    stack_.pop_back();
    // A font's entry ends with its group; groups inside it (\panose, \falt)
    // come before its name and end nothing.
    if (closed.destination == Destination::font_table && fonts_.reading_entry() &&
        stack_.size() < fonts_.entry_depth()) {
        fonts_.finish_entry();
        forget_formats();
    }
    if (closed.destination == Destination::field_instruction &&
        state().destination != Destination::field_instruction)
        finish_field_instruction();
    // A SYMBOL field whose result is empty (Word leaves it so) shows its sign.
    if (closed.in_field && !state().in_field && !symbol_field_.isEmpty()) {
        if (shown_ == shown_at_field_)
            put(symbol_field_);
        symbol_field_.clear();
    }
    if (closed.destination == Destination::picture && state().destination != Destination::picture)
        finish_picture();
    if (closed.destination == Destination::numbering &&
        state().destination != Destination::numbering) {
        if (const int n = numbering_.finish_numbering(); n >= 0)
            state().para.numbering = n;
    }
    // The outermost group is the document; anything after it is not.
    if (stack_.size() == 1 && started_)
        done_ = true;
}

void RtfReader::control_symbol(char symbol)
{
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        // Literal text, kept among the undecoded bytes: in a code page of
        // two bytes a character (Shift-JIS 0x83 0x5C) may end in a backslash.
        star_ = false;
        text(std::string_view(&symbol, 1));
        return;
    }
    flush_bytes();
    if (symbol == '*') {
        star_ = true;
        return;
    }
    if (skip_ > 0) {
        --skip_;
        return;
    }
    star_ = false;
    if (state().destination != Destination::body)
        return;
    switch (symbol) {
    case '~':
        put_char(0x00A0);
        break;
    case '-':
        put_char(0x00AD);
        break;
    case '_':
        put_char(0x2011);
        break;
    case '\n':
    case '\r':
        end_paragraph();
        break;
    default:
        break; // \: \| and the like mark index entries and formulas
    }
}

void RtfReader::text(std::string_view bytes)
{
    if (skip_ > 0) {
        const std::size_t n = std::min<std::size_t>(std::size_t(skip_), bytes.size());
        skip_ -= int(n);
        bytes.remove_prefix(n);
        if (bytes.empty())
            return;
    }
    star_ = false;
    State &s = state();
    switch (s.destination) {
    case Destination::body:
        bytes_.append(bytes.data(), qsizetype(bytes.size()));
        break;
    case Destination::font_table:
        fonts_.entry_text(bytes);
        forget_formats();
        break;
    case Destination::colour_table:
        for (const char c : bytes) {
            if (c != ';')
                continue;
            colours_.end_entry();
            forget_formats();
        }
        break;
    case Destination::field_instruction:
        if (field_instruction_.size() < max_field_instruction)
            decoder_.append(field_instruction_,
                            QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                            fonts_.document_code_page());
        break;
    case Destination::picture:
        picture_.add_hex(bytes);
        break;
    case Destination::level_text:
    case Destination::level_marker:
    case Destination::numbering_before:
    case Destination::numbering_after:
        if (QString *marker = marker_text()) {
            for (const char c : bytes) {
                if (marker->size() < max_marker)
                    marker->append(QChar(0xF000 + static_cast<unsigned char>(c)));
            }
        }
        break;
    case Destination::dropped:
    case Destination::list_table:
    case Destination::list_overrides:
    case Destination::numbering:
        break;
    }
}

void RtfReader::hex_byte(unsigned char byte)
{
    const char c = char(byte);
    if (skip_ > 0) {
        --skip_;
        return;
    }
    text(std::string_view(&c, 1));
}

void RtfReader::control_word(const RtfTokenizer::Token &t)
{
    flush_bytes();
    const RtfControlWord *w = find_control_word(t.word);
    if (skip_ > 0 && !(w && w->op == RtfOp::par)) {
        // A fallback for \u may be spelt as a control word; a paragraph
        // mark never is one.
        --skip_;
        return;
    }
    const bool starred = star_;
    star_ = false;
    if (!w) {
        // An unknown destination marked as one that may be ignored: its
        // content is not text. Other unknown words are simply passed over.
        if (starred)
            skip_group();
        return;
    }
    if (destination(*w))
        return;
    if (starred) {
        skip_group();
        return;
    }

    State &s = state();
    RtfCharProps &c = s.chars;
    RtfParaProps &p = s.para;
    const int v = t.parameter;
    switch (w->op) {
    case RtfOp::code_page:
        if (t.has_parameter && v > 0)
            fonts_.set_document_code_page(v);
        break;
    case RtfOp::fixed_code_page:
        fonts_.set_document_code_page(w->value);
        break;
    case RtfOp::default_font:
        fonts_.set_default_font(v);
        break;
    case RtfOp::charset:
    case RtfOp::font_code_page:
    case RtfOp::font_family:
        if (s.destination == Destination::font_table) {
            if (w->op == RtfOp::charset)
                fonts_.set_charset(v);
            else if (w->op == RtfOp::font_code_page)
                fonts_.set_code_page(v);
            else
                fonts_.set_hint(QFont::StyleHint(w->value));
            forget_formats();
        }
        break;
    case RtfOp::red:
        colours_.set_red(v);
        break;
    case RtfOp::green:
        colours_.set_green(v);
        break;
    case RtfOp::blue:
        colours_.set_blue(v);
        break;
    case RtfOp::font:
        if (s.destination == Destination::font_table) {
            fonts_.begin_entry(v, stack_.size());
            forget_formats();
        } else if (s.destination == Destination::list_table ||
                   s.destination == Destination::list_overrides) {
            if (RtfNumbering::ListLevel *l = numbering_.level())
                l->font = v;
        } else {
            c.font = v;
        }
        break;
    case RtfOp::associated_font:
        // Word gives a bullet's font as the font of its high characters
        // ("\hich\af3") and no \f.
        if (s.destination == Destination::list_table ||
            s.destination == Destination::list_overrides) {
            if (RtfNumbering::ListLevel *l = numbering_.level(); l && l->font < 0)
                l->font = v;
        }
        break;
    case RtfOp::plain: {
        const QString href = c.href;
        c = RtfCharProps();
        c.href = href;
        break;
    }
    case RtfOp::font_size:
        c.half_points = t.has_parameter ? std::clamp(v, 2, 3276) : 24;
        break;
    case RtfOp::colour:
        c.colour = v;
        break;
    case RtfOp::background:
        c.background = v;
        break;
    case RtfOp::bold:
        c.bold = toggle(t);
        break;
    case RtfOp::italic:
        c.italic = toggle(t);
        break;
    case RtfOp::strike:
        c.strike = toggle(t);
        break;
    case RtfOp::hidden:
        c.hidden = toggle(t);
        break;
    case RtfOp::underline:
        c.underline =
            toggle(t) ? QTextCharFormat::UnderlineStyle(w->value) : QTextCharFormat::NoUnderline;
        break;
    case RtfOp::no_underline:
        c.underline = QTextCharFormat::NoUnderline;
        break;
    case RtfOp::caps:
        c.caps = toggle(t) ? QFont::Capitalization(w->value) : QFont::MixedCase;
        break;
    case RtfOp::super:
        c.vertical = QTextCharFormat::AlignSuperScript;
        break;
    case RtfOp::sub:
        c.vertical = QTextCharFormat::AlignSubScript;
        break;
    case RtfOp::no_super_sub:
        c.vertical = QTextCharFormat::AlignNormal;
        break;
    case RtfOp::up:
        c.vertical = toggle(t) ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal;
        break;
    case RtfOp::down:
        c.vertical = toggle(t) ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal;
        break;
    case RtfOp::unicode:
        if (t.has_parameter) {
            put_unicode(v < 0 && v >= -32768 ? v + 65536 : v);
            skip_ = s.unicode_skip;
        }
        break;
    case RtfOp::unicode_skip:
        s.unicode_skip = std::max(v, 0);
        break;
    case RtfOp::character:
        put_char(char16_t(w->value));
        break;
    case RtfOp::pard:
        if (!s.keeps_paragraph)
            p = RtfParaProps();
        break;
    case RtfOp::par:
        end_paragraph();
        break;
    case RtfOp::align:
        p.alignment = Qt::Alignment(w->value);
        break;
    case RtfOp::left_indent:
        p.left = clamp_twips(v);
        break;
    case RtfOp::right_indent:
        p.right = clamp_twips(v);
        break;
    case RtfOp::first_indent:
        p.first = clamp_twips(v);
        break;
    case RtfOp::space_before:
        p.before = std::clamp(v, 0, max_twips);
        break;
    case RtfOp::space_after:
        p.after = std::clamp(v, 0, max_twips);
        break;
    case RtfOp::right_to_left:
        p.right_to_left = true;
        break;
    case RtfOp::left_to_right:
        p.right_to_left = false;
        break;
    case RtfOp::in_table:
        if (!s.keeps_paragraph)
            p.in_table = toggle(t);
        break;
    case RtfOp::nesting:
        if (!s.keeps_paragraph)
            p.nesting = std::clamp(v, 0, DocumentBuilder::max_nesting);
        break;
    case RtfOp::cell:
    case RtfOp::row:
    case RtfOp::nested_cell:
    case RtfOp::nested_row:
    case RtfOp::row_definition:
        table_word(*w, v);
        break;
    case RtfOp::list:
    case RtfOp::list_level:
    case RtfOp::list_id:
    case RtfOp::list_override:
    case RtfOp::list_override_level:
    case RtfOp::list_number:
    case RtfOp::list_level_number:
    case RtfOp::level_format:
    case RtfOp::level_start:
    case RtfOp::level_follow:
    case RtfOp::level_align:
    case RtfOp::numbering_level:
    case RtfOp::numbering_format:
    case RtfOp::numbering_start:
    case RtfOp::numbering_font:
        list_word(*w, v);
        break;
    case RtfOp::footnote_mark:
        note_mark();
        break;
    case RtfOp::footnote_format:
    case RtfOp::endnote_format:
        notes_.set_format(w->op == RtfOp::footnote_format ? RtfNotes::Kind::footnote
                                                          : RtfNotes::Kind::endnote,
                          NumberFormat(w->value));
        break;
    case RtfOp::footnote_start:
    case RtfOp::endnote_start:
        notes_.set_start(w->op == RtfOp::footnote_start ? RtfNotes::Kind::footnote
                                                        : RtfNotes::Kind::endnote,
                         std::clamp(v, 0, 1 << 20));
        break;
    case RtfOp::picture_type:
        if (s.destination == Destination::picture)
            picture_.set_type(PictureType(w->value));
        break;
    case RtfOp::picture_size:
        if (s.destination == Destination::picture)
            picture_.set_size(PictureSize(w->value), v);
        break;
    default:
        break;
    }
}

void RtfReader::table_word(const RtfControlWord &w, int value)
{
    switch (w.op) {
    case RtfOp::row_definition:
        // A nested table's rows are defined inside its properties, where
        // they leave the definition of the rows around it be.
        row_word(state().nested_properties ? nested_row_ : row_, RowWord(w.value), value);
        break;
    case RtfOp::cell:
        end_cell(1);
        break;
    case RtfOp::row:
        end_row(1);
        break;
    case RtfOp::nested_cell:
        // A writer that says of no paragraph how deep it stands gets its
        // inner cells side by side in the outer one.
        if (table_depth(state().para) >= 2)
            end_cell(table_depth(state().para));
        else
            put_char('\t');
        break;
    case RtfOp::nested_row:
        if (table_depth(state().para) >= 2)
            end_row(table_depth(state().para));
        else
            put_char(0x2028);
        break;
    default:
        break;
    }
}

// The words of a table row's definition.
void RtfReader::row_word(RtfRowDefinition &r, RowWord word, int v)
{
    using Side = RtfRowDefinition::Side;
    using Style = RtfRowDefinition::BorderStyle;
    using Merge = DocumentBuilder::Merge;
    switch (word) {
    case RowWord::reset:
        r.reset();
        break;
    case RowWord::align_left:
        r.set_alignment(Qt::AlignLeft);
        break;
    case RowWord::align_centre:
        r.set_alignment(Qt::AlignHCenter);
        break;
    case RowWord::align_right:
        r.set_alignment(Qt::AlignRight);
        break;
    case RowWord::left:
        r.set_left(v);
        break;
    case RowWord::gap:
        r.set_gap(v);
        break;
    case RowWord::padding_left:
    case RowWord::padding_right:
        r.set_padding(word == RowWord::padding_right, v);
        break;
    case RowWord::padding_left_unit:
    case RowWord::padding_right_unit:
        r.set_padding_unit(word == RowWord::padding_right_unit, v);
        break;
    case RowWord::cell_end:
        r.end_cell(v);
        break;
    case RowWord::cell_border_left:
    case RowWord::cell_border_top:
    case RowWord::cell_border_right:
    case RowWord::cell_border_bottom:
        r.select_cell_border(Side(int(word) - int(RowWord::cell_border_left)));
        break;
    case RowWord::row_border_left:
    case RowWord::row_border_top:
    case RowWord::row_border_right:
    case RowWord::row_border_bottom:
        r.select_row_border(Side(int(word) - int(RowWord::row_border_left)), false);
        break;
    case RowWord::row_border_vertical:
        r.select_row_border(Side::left, true);
        break;
    case RowWord::row_border_horizontal:
        r.select_row_border(Side::top, true);
        break;
    case RowWord::paragraph_border:
        r.select_no_border();
        break;
    case RowWord::border_single:
    case RowWord::border_thick:
    case RowWord::border_double:
    case RowWord::border_dotted:
    case RowWord::border_dashed:
    case RowWord::border_none:
        r.set_border_style(Style(int(word) - int(RowWord::border_single)));
        break;
    case RowWord::border_width:
        r.set_border_width(v);
        break;
    case RowWord::border_colour:
        r.set_border_colour(v);
        break;
    case RowWord::shading_colour:
        r.set_shading_colour(v);
        break;
    case RowWord::pattern_colour:
        r.set_pattern_colour(v);
        break;
    case RowWord::shading:
        r.set_shading(v);
        break;
    case RowWord::merge_first:
        r.set_horizontal_merge(Merge::first);
        break;
    case RowWord::merge:
        r.set_horizontal_merge(Merge::merged);
        break;
    case RowWord::vertical_merge_first:
        r.set_vertical_merge(Merge::first);
        break;
    case RowWord::vertical_merge:
        r.set_vertical_merge(Merge::merged);
        break;
    case RowWord::valign_top:
        r.set_vertical_alignment(Qt::AlignTop);
        break;
    case RowWord::valign_centre:
        r.set_vertical_alignment(Qt::AlignVCenter);
        break;
    case RowWord::valign_bottom:
        r.set_vertical_alignment(Qt::AlignBottom);
        break;
    }
}

// The words of the list table, the override table, \pn and a paragraph's
// place in a list.
void RtfReader::list_word(const RtfControlWord &w, int v)
{
    State &s = state();
    RtfParaProps &p = s.para;
    switch (w.op) {
    case RtfOp::list:
        if (s.destination == Destination::list_table)
            numbering_.add_list();
        break;
    case RtfOp::list_level:
        if (s.destination == Destination::list_table ||
            s.destination == Destination::list_overrides)
            numbering_.add_level();
        break;
    case RtfOp::list_id:
        if (s.destination == Destination::list_table)
            numbering_.set_list_id(v);
        else if (s.destination == Destination::list_overrides)
            numbering_.set_override_list(v);
        break;
    case RtfOp::list_override:
        numbering_.begin_override();
        break;
    case RtfOp::list_override_level:
        numbering_.add_override_level();
        break;
    case RtfOp::list_number:
        if (s.destination == Destination::list_overrides)
            numbering_.set_override_number(v);
        else if (!s.keeps_paragraph)
            p.list = std::max(v, 0);
        break;
    case RtfOp::list_level_number:
        if (!s.keeps_paragraph)
            p.list_level = std::clamp(v, 0, int(RtfNumbering::max_levels) - 1);
        break;
    case RtfOp::level_format:
    case RtfOp::level_start:
    case RtfOp::level_follow:
    case RtfOp::level_align:
        if (RtfNumbering::ListLevel *l = numbering_.level();
            l && (s.destination == Destination::list_table ||
                  s.destination == Destination::list_overrides)) {
            if (w.op == RtfOp::level_format)
                l->format = NumberFormat(v);
            else if (w.op == RtfOp::level_start)
                l->start = v;
            else if (w.op == RtfOp::level_align)
                l->align = std::clamp(v, 0, 2);
            else
                l->follow = v;
        }
        break;
    case RtfOp::numbering_level:
        if (s.destination == Destination::numbering)
            numbering_.numbering().level = w.value ? w.value : std::clamp(v, 1, 9);
        break;
    case RtfOp::numbering_format:
        if (s.destination == Destination::numbering)
            numbering_.numbering().format = NumberFormat(w.value);
        break;
    case RtfOp::numbering_start:
        if (s.destination == Destination::numbering)
            numbering_.numbering().start = v;
        break;
    case RtfOp::numbering_font:
        if (s.destination == Destination::numbering)
            numbering_.numbering().font = v;
        break;
    default:
        break;
    }
}

// Handles the words that start a destination; false for all others.
bool RtfReader::destination(const RtfControlWord &w)
{
    State &s = state();
    switch (w.op) {
    case RtfOp::skip:
        skip_group();
        return true;
    case RtfOp::font_table:
        s.destination = Destination::font_table;
        return true;
    case RtfOp::colour_table:
        s.destination = Destination::colour_table;
        colours_.clear();
        forget_formats();
        return true;
    case RtfOp::field:
        s.in_field = true;
        return true;
    case RtfOp::field_instruction:
        s.destination = Destination::field_instruction;
        field_instruction_.clear();
        return true;
    case RtfOp::field_result:
        if (s.destination == Destination::field_instruction)
            s.destination = Destination::body;
        return true;
    case RtfOp::list_text:
        s.keeps_paragraph = true;
        if (s.destination == Destination::body && !s.in_list_text) {
            s.in_list_text = true;
            output().list_text.clear();
        }
        return true;
    case RtfOp::footnote:
        if (!begin_note())
            skip_group();
        return true;
    case RtfOp::list_table:
        s.destination = Destination::list_table;
        return true;
    case RtfOp::list_overrides:
        s.destination = Destination::list_overrides;
        return true;
    case RtfOp::level_text: {
        RtfNumbering::ListLevel *level = numbering_.level();
        if ((s.destination != Destination::list_table &&
             s.destination != Destination::list_overrides) ||
            !level) {
            skip_group();
            return true;
        }
        s.destination = w.value ? Destination::level_marker : Destination::level_text;
        (w.value ? level->marker : level->text).clear();
        return true;
    }
    case RtfOp::numbering:
        if (s.destination != Destination::body) {
            skip_group();
            return true;
        }
        s.destination = Destination::numbering;
        numbering_.begin_numbering();
        return true;
    case RtfOp::numbering_text:
        if (s.destination != Destination::numbering) {
            skip_group();
            return true;
        }
        s.destination = w.value ? Destination::numbering_after : Destination::numbering_before;
        (w.value ? numbering_.numbering().after : numbering_.numbering().before).clear();
        return true;
    case RtfOp::picture:
        // A picture where no text goes (a shape's properties, a field's
        // instruction) is not shown either.
        if (s.destination != Destination::body) {
            skip_group();
            return true;
        }
        s.destination = Destination::picture;
        picture_.begin();
        return true;
    case RtfOp::upr:
        s.outside_upr = s.destination;
        s.destination = Destination::dropped;
        s.in_upr = true;
        return true;
    case RtfOp::transparent:
        return true;
    case RtfOp::nested_table_properties:
        s.nested_properties = true;
        return true;
    case RtfOp::ud:
        if (s.in_upr) {
            s.destination = s.outside_upr;
            s.in_upr = false;
        }
        return true;
    default:
        return false;
    }
}

void RtfReader::finish_field_instruction()
{
    const QString target = hyperlink_target(field_instruction_);
    symbol_field_ = symbol_of_field(field_instruction_);
    shown_at_field_ = shown_;
    field_instruction_.clear();
    if (!target.isEmpty())
        state().chars.href = target;
}

void RtfReader::flush_bytes()
{
    if (bytes_.isEmpty())
        return;
    QString decoded;
    decoder_.append(decoded, bytes_, code_page());
    bytes_.resize(0);
    put(decoded);
}

void RtfReader::put_unicode(int value)
{
    char16_t unit;
    if (value < 0 || value > 0x10FFFF) {
        unit = 0xFFFD;
    } else if (value > 0xFFFF) {
        const char16_t pair[2] = {char16_t(0xD800 + ((value - 0x10000) >> 10)),
                                  char16_t(0xDC00 + ((value - 0x10000) & 0x3FF))};
        put(QStringView(pair, 2));
        return;
    } else {
        unit = char16_t(value);
    }
    if (QString *marker = marker_text()) {
        if (marker->size() < max_marker)
            marker->append(QChar(unit));
        return;
    }
    // A symbol font's signs as Unicode are its bytes in the private use
    // area, or the bytes themselves (Word writes ® in Symbol as \u210).
    const int cp = code_page();
    if (cp < 0 && ((unit >= 0xF020 && unit <= 0xF0FF) || (unit >= 0x20 && unit <= 0xFF))) {
        const char byte = char(unit & 0xFF);
        QString mapped;
        decoder_.append(mapped, QByteArrayView(&byte, 1), cp);
        put(mapped);
        return;
    }
    put_char(unit);
}

// Everything shown passes here: characters that would break the document
// apart or show as nothing are replaced, and surrogates \u wrote as two
// words are paired.
void RtfReader::put(QStringView text)
{
    if (state().destination != Destination::body)
        return;
    QString clean;
    clean.reserve(text.size() + 1);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (high_surrogate_) {
            const char16_t high = high_surrogate_;
            high_surrogate_ = 0;
            if (c >= 0xDC00 && c <= 0xDFFF) {
                clean.append(QChar(high));
                clean.append(ch);
                continue;
            }
            clean.append(QChar(0xFFFD));
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            high_surrogate_ = c;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            clean.append(QChar(0xFFFD));
        } else if (c < 0x20) {
            if (c == '\t')
                clean.append(ch);
        } else if (c == 0x2029) {
            clean.append(QChar(0x2028));
        } else if (c != 0xFDD0 && c != 0xFDD1 && c != 0xFFFC) {
            // (Qt's own marks for frames and embedded objects.)
            clean.append(ch);
        }
    }
    if (clean.isEmpty() || state().chars.hidden)
        return;
    if (state().in_list_text) {
        // Kept until the paragraph shows whether the lists number it.
        Output &o = output();
        if (o.list_text.size() < max_marker)
            o.list_text += clean;
        o.list_text_chars = state().chars;
        return;
    }
    ++shown_;
    prepare_output();
    // Blanks before a paragraph's own number do not start it.
    if (!output().paragraph_open && !clean.trimmed().isEmpty())
        start_paragraph();
    out().append(clean);
}

void RtfReader::prepare_output()
{
    const State &s = state();
    if (s.note != last_output_) {
        last_output_ = s.note;
        formats_.output_changed();
    }
    DocumentBuilder &b = out();
    b.set_table_depth(table_depth(s.para));
    if (const QTextCharFormat *f = formats_.changed_char_format(s.chars))
        b.set_char_format(*f);
}

void RtfReader::end_paragraph()
{
    // A paragraph mark that is hidden joins its paragraph to the next.
    if (state().destination != Destination::body || state().chars.hidden)
        return;
    // A paragraph of nothing but its number still shows the number.
    if (!output().paragraph_open && !output().list_text.isEmpty())
        start_paragraph();
    prepare_output();
    out().end_paragraph(formats_.block_format(paragraph_props()));
    paragraph_done();
}

// \cell ends a cell of the outermost table, \nestcell one of the table
// `depth` deep.
void RtfReader::end_cell(int depth)
{
    if (state().destination != Destination::body)
        return;
    prepare_output();
    out().set_table_depth(depth);
    out().end_cell(formats_.block_format(paragraph_props()));
    paragraph_done();
}

void RtfReader::end_row(int depth)
{
    if (state().destination != Destination::body)
        return;
    out().set_table_depth(depth);
    out().end_row((depth > 1 ? nested_row_ : row_).layout(colours_));
}

QString *RtfReader::marker_text()
{
    switch (state().destination) {
    case Destination::level_text:
    case Destination::level_marker: {
        RtfNumbering::ListLevel *level = numbering_.level();
        if (!level)
            return nullptr;
        return state().destination == Destination::level_text ? &level->text : &level->marker;
    }
    case Destination::numbering_before:
        return &numbering_.numbering().before;
    case Destination::numbering_after:
        return &numbering_.numbering().after;
    default:
        return nullptr;
    }
}

// The paragraph's number goes out before its first text: the one the lists
// give it (the list table, \pn), or else the one it brought (\listtext).
void RtfReader::start_paragraph()
{
    Output &o = output();
    o.paragraph_open = true;
    const RtfParaProps &p = state().para;
    RtfNumbering::Marker marker = numbering_.marker(p);
    if (numbering_.knows_list(p) || p.numbering >= 0) {
        o.list_text.clear();
        // A number that ends at the indent or is centred on it goes to a
        // tab stop there (RtfFormats::block_format).
        if (marker.align != 0 && !marker.text.isEmpty() && p.left + p.first > 0) {
            o.number_align = marker.align;
            marker.text.prepend(u'\t');
        }
        put_marker(marker);
    } else if (!o.list_text.isEmpty()) {
        const RtfCharProps chars = std::exchange(state().chars, o.list_text_chars);
        prepare_output();
        out().append(std::exchange(o.list_text, QString()));
        state().chars = chars;
        prepare_output();
    }
}

// A number in the paragraph's format, in its level's font where it has one.
void RtfReader::put_marker(const RtfNumbering::Marker &m)
{
    // Made from the document's bytes as any text: what the view cannot
    // show goes, surrogates stay in pairs.
    const QString marker = m.text.left(max_marker / 2);
    QString shown;
    for (qsizetype i = 0; i < marker.size(); ++i) {
        const QChar c = marker.at(i);
        if (c.isHighSurrogate() && i + 1 < marker.size() && marker.at(i + 1).isLowSurrogate()) {
            shown.append(c).append(marker.at(++i));
        } else if (c.isSurrogate() || (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x2029 ||
                   c.unicode() == 0xFFFC || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1) {
            continue;
        } else {
            shown.append(c);
        }
    }
    if (shown.isEmpty())
        return;
    if (m.font < 0) {
        out().append(shown);
        return;
    }
    const int font = std::exchange(state().chars.font, m.font);
    prepare_output();
    out().append(shown);
    state().chars.font = font;
    prepare_output();
}

void RtfReader::paragraph_done()
{
    if (state().para.numbering < 0)
        numbering_.paragraph_without_numbering();
    Output &o = output();
    o.paragraph_open = false;
    o.list_text.clear();
    o.number_align = 0;
}

// \chftn: in the text, the mark of the note that follows, numbered as the
// document numbers its notes; in the note, the note's own mark again.
void RtfReader::note_mark()
{
    if (state().destination != Destination::body)
        return;
    if (state().note != RtfNotes::Kind::none)
        put(notes_.last_mark());
    else
        put(notes_.next_mark(RtfNotes::kind_ahead(tokens_.rest(), false)));
}

// A note's text goes to the notes, in paragraphs of its own; a note where
// no text goes, or inside another note, is not shown.
bool RtfReader::begin_note()
{
    State &s = state();
    if (s.destination != Destination::body || s.note != RtfNotes::Kind::none || s.in_list_text)
        return false;
    s.note = RtfNotes::kind_ahead(tokens_.rest(), true);
    s.para = RtfParaProps();
    output() = Output();
    return true;
}

// The last paragraph of a note ends with the note.
void RtfReader::end_note()
{
    if (output().paragraph_open)
        end_paragraph();
    output() = Output();
}

// A PNG or JPEG picture goes into the text where it stands, at the size the
// document asks for; one whose bytes cannot be decoded is left out.
void RtfReader::finish_picture()
{
    if (state().destination != Destination::body || state().chars.hidden) {
        picture_.discard();
        return;
    }
    const std::optional<QTextImageFormat> format = picture_.finish(document_view_);
    if (!format)
        return;
    prepare_output();
    if (!output().paragraph_open)
        start_paragraph();
    out().append_image(*format);
}

} // namespace talvence
