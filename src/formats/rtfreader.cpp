// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfreader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <limits>
#include <unordered_map>

#include <QImage>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include "pictureloader.h"
#include "twips.h"

namespace talvence {

enum class RtfReader::Op : unsigned char {
    // destinations
    skip,
    font_table,
    colour_table,
    field,
    field_instruction,
    field_result,
    list_text,
    upr,
    ud,
    transparent, // a marked destination whose content is read as usual
    picture,
    list_table,
    list_overrides,
    level_text,
    numbering,
    numbering_text, // value: 0 before the number, 1 after
    // document
    code_page,       // \ansicpgN
    fixed_code_page, // \mac, \pc, \pca: value
    default_font,
    // font table
    charset,
    font_code_page,
    font_family, // value: QFont::StyleHint
    // colour table
    red,
    green,
    blue,
    // characters
    plain,
    font,
    font_size,
    colour,
    background,
    bold,
    italic,
    strike,
    hidden,
    underline, // value: QTextCharFormat::UnderlineStyle
    no_underline,
    caps, // value: QFont::Capitalization
    super,
    sub,
    no_super_sub,
    up,
    down,
    unicode,
    unicode_skip,
    character, // value: the UTF-16 unit
    // paragraphs
    pard,
    par,
    align, // value: Qt::Alignment
    left_indent,
    right_indent,
    first_indent,
    space_before,
    space_after,
    right_to_left,
    left_to_right,
    in_table,
    cell,
    row,
    nested_cell,
    nested_row,
    // lists
    list,
    list_level,
    list_id,
    list_override,
    list_number,
    list_level_number,
    level_format,
    level_start,
    level_follow,
    numbering_level,
    numbering_format,
    numbering_start,
    numbering_font,
    // pictures
    picture_type,
    picture_size,
};

namespace {

constexpr int max_twips = 31680; // 22 inches, the widest page a word processor offers
constexpr int max_field_instruction = 4096;
constexpr int max_font_name = 256;
constexpr qsizetype max_marker = 64; // characters of a list number's text
constexpr std::size_t max_lists = 4096;
constexpr std::size_t max_levels = 9;
constexpr std::size_t max_numberings = 4096;
constexpr int max_faces = 256; // fonts of one document that get their own face
// Formats carry these keys besides what they show: Qt finds a format in its
// collection by a hash that sees of a font list or a brush only its type,
// so formats that differ in nothing else (a document of many fonts) would
// all be compared with each other.
constexpr int font_key = QTextFormat::UserProperty + 1;
constexpr int colour_key = QTextFormat::UserProperty + 2;
constexpr int max_picture_px = 4096; // a side of a picture in the view

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

// Word writes a font for each script ("Arial CE", "Times New Roman Cyr");
// the face installed is the one without the suffix.
QStringList font_families(const QString &name)
{
    static const char *const suffixes[] = {" CE",     " Cyr",      " Greek",    " Tur",
                                           " Baltic", " (Hebrew)", " (Arabic)", " (Vietnamese)"};
    QStringList families{name};
    for (const char *suffix : suffixes) {
        if (name.endsWith(QLatin1String(suffix)))
            families.append(name.chopped(qsizetype(qstrlen(suffix))));
    }
    return families;
}

QString roman(int n, bool upper)
{
    static const std::pair<int, const char *> steps[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    QString out;
    for (const auto &[value, letters] : steps) {
        for (; n >= value; n -= value)
            out += QLatin1String(letters);
    }
    return upper ? out.toUpper() : out;
}

// A list number in the style of \levelnfc (Word's numbering formats).
QString list_number(int n, int format)
{
    switch (format) {
    case 1:
    case 2:
        if (n > 0 && n < 4000)
            return roman(n, format == 1);
        break;
    case 3:
    case 4:
        // A, B, ... Z, AA, BB, ...
        if (n > 0 && n <= 26 * 20)
            return QString((n - 1) / 26 + 1, QChar((format == 3 ? 'A' : 'a') + (n - 1) % 26));
        break;
    case 5:
        return QString::number(n) + QLatin1Char('.');
    case 22:
        return n >= 0 && n < 10 ? QLatin1Char('0') + QString::number(n) : QString::number(n);
    case 23:
    case 255:
        return {};
    }
    return QString::number(n);
}

QString cocoa_bullet(const QString &name)
{
    static const std::pair<const char *, char16_t> bullets[] = {
        {"{disc}", 0x2022},  {"{circle}", 0x25E6},  {"{square}", 0x25AA}, {"{hyphen}", 0x2043},
        {"{check}", 0x2713}, {"{diamond}", 0x25C6}, {"{box}", 0x25A1},
    };
    for (const auto &[key, bullet] : bullets) {
        if (name.trimmed() == QLatin1String(key))
            return QString(QChar(bullet));
    }
    return {};
}

} // namespace

const RtfReader::Word *RtfReader::find_word(std::string_view name)
{
    using enum Op;
    static const auto words = [] {
        std::array table{
            // Destinations whose content is not part of the text.
            Word{"aftncn", skip, 0},
            Word{"aftnsep", skip, 0},
            Word{"aftnsepc", skip, 0},
            Word{"annotation", skip, 0},
            Word{"atnauthor", skip, 0},
            Word{"atndate", skip, 0},
            Word{"atnicn", skip, 0},
            Word{"atnid", skip, 0},
            Word{"atnparent", skip, 0},
            Word{"atnref", skip, 0},
            Word{"atntime", skip, 0},
            Word{"atrfend", skip, 0},
            Word{"atrfstart", skip, 0},
            Word{"author", skip, 0},
            Word{"background", skip, 0},
            Word{"bkmkend", skip, 0},
            Word{"bkmkstart", skip, 0},
            Word{"blipuid", skip, 0},
            Word{"buptim", skip, 0},
            Word{"category", skip, 0},
            Word{"colorschememapping", skip, 0},
            Word{"comment", skip, 0},
            Word{"company", skip, 0},
            Word{"creatim", skip, 0},
            Word{"datafield", skip, 0},
            Word{"datastore", skip, 0},
            Word{"defchp", skip, 0},
            Word{"defpap", skip, 0},
            Word{"do", skip, 0},
            Word{"doccomm", skip, 0},
            Word{"docvar", skip, 0},
            Word{"expandedcolortbl", skip, 0},
            Word{"falt", skip, 0},
            Word{"fname", skip, 0},
            Word{"fchars", skip, 0},
            Word{"ffdeftext", skip, 0},
            Word{"ffentrymcr", skip, 0},
            Word{"ffexitmcr", skip, 0},
            Word{"ffformat", skip, 0},
            Word{"ffhelptext", skip, 0},
            Word{"ffl", skip, 0},
            Word{"ffname", skip, 0},
            Word{"levelnumbers", skip, 0},
            Word{"listname", skip, 0},
            Word{"ffstattext", skip, 0},
            Word{"fldtype", skip, 0},
            Word{"fontemb", skip, 0},
            Word{"fontfile", skip, 0},
            Word{"footer", skip, 0},
            Word{"footerf", skip, 0},
            Word{"footerl", skip, 0},
            Word{"footerr", skip, 0},
            Word{"footnote", skip, 0},
            Word{"formfield", skip, 0},
            Word{"ftncn", skip, 0},
            Word{"ftnsep", skip, 0},
            Word{"ftnsepc", skip, 0},
            Word{"generator", skip, 0},
            Word{"header", skip, 0},
            Word{"headerf", skip, 0},
            Word{"headerl", skip, 0},
            Word{"headerr", skip, 0},
            Word{"hlinkbase", skip, 0},
            Word{"htmltag", skip, 0},
            Word{"info", skip, 0},
            Word{"keywords", skip, 0},
            Word{"latentstyles", skip, 0},
            Word{"lchars", skip, 0},
            Word{"listpicture", skip, 0},
            Word{"manager", skip, 0},
            Word{"mmathPr", skip, 0},
            Word{"nonesttables", skip, 0},
            Word{"nonshppict", skip, 0},
            Word{"objdata", skip, 0},
            Word{"object", skip, 0},
            Word{"oldcprops", skip, 0},
            Word{"oldpprops", skip, 0},
            Word{"oldsprops", skip, 0},
            Word{"oldtprops", skip, 0},
            Word{"operator", skip, 0},
            Word{"panose", skip, 0},
            Word{"pgdsctbl", skip, 0},
            Word{"pnseclvl", skip, 0},
            Word{"printim", skip, 0},
            Word{"private", skip, 0},
            Word{"protusertbl", skip, 0},
            Word{"revtbl", skip, 0},
            Word{"revtim", skip, 0},
            Word{"rsidtbl", skip, 0},
            Word{"rxe", skip, 0},
            Word{"shp", skip, 0},
            Word{"shpinst", skip, 0},
            Word{"shprslt", skip, 0},
            Word{"sn", skip, 0},
            Word{"sp", skip, 0},
            Word{"stylesheet", skip, 0},
            Word{"subject", skip, 0},
            Word{"sv", skip, 0},
            Word{"tc", skip, 0},
            Word{"template", skip, 0},
            Word{"themedata", skip, 0},
            Word{"title", skip, 0},
            Word{"txe", skip, 0},
            Word{"userprops", skip, 0},
            Word{"wgrffmtfilter", skip, 0},
            Word{"xe", skip, 0},
            Word{"xmlnstbl", skip, 0},
            // Destinations that are read.
            Word{"fonttbl", font_table, 0},
            Word{"colortbl", colour_table, 0},
            Word{"field", field, 0},
            Word{"fldinst", field_instruction, 0},
            Word{"fldrslt", field_result, 0},
            Word{"listtext", list_text, 0},
            Word{"pntext", list_text, 0},
            Word{"upr", upr, 0},
            Word{"ud", ud, 0},
            // Table properties of a nested table, with the text of its
            // cells among them: read as any group.
            Word{"nesttableprops", transparent, 0},
            // The picture Word meant for readers that know shapes; its
            // \nonshppict twin is skipped.
            Word{"shppict", transparent, 0},
            Word{"pict", picture, 0},
            Word{"listtable", list_table, 0},
            Word{"listoverridetable", list_overrides, 0},
            Word{"leveltext", level_text, 0},
            Word{"levelmarker", level_text, 1},
            Word{"pn", numbering, 0},
            Word{"pntxtb", numbering_text, 0},
            Word{"pntxta", numbering_text, 1},
            // The document.
            Word{"ansicpg", code_page, 0},
            Word{"mac", fixed_code_page, 10000},
            Word{"pc", fixed_code_page, 437},
            Word{"pca", fixed_code_page, 850},
            Word{"deff", default_font, 0},
            // The font and colour tables.
            Word{"fcharset", charset, 0},
            Word{"cpg", font_code_page, 0},
            Word{"fnil", font_family, QFont::AnyStyle},
            Word{"froman", font_family, QFont::Serif},
            Word{"fswiss", font_family, QFont::SansSerif},
            Word{"fmodern", font_family, QFont::TypeWriter},
            Word{"fscript", font_family, QFont::Cursive},
            Word{"fdecor", font_family, QFont::Decorative},
            Word{"ftech", font_family, QFont::AnyStyle},
            Word{"fbidi", font_family, QFont::AnyStyle},
            Word{"red", red, 0},
            Word{"green", green, 0},
            Word{"blue", blue, 0},
            // Characters.
            Word{"plain", plain, 0},
            Word{"f", font, 0},
            Word{"fs", font_size, 0},
            Word{"cf", colour, 0},
            Word{"cb", background, 0},
            Word{"highlight", background, 0},
            Word{"chcbpat", background, 0},
            Word{"b", bold, 0},
            Word{"i", italic, 0},
            Word{"strike", strike, 0},
            Word{"striked", strike, 0},
            Word{"v", hidden, 0},
            Word{"ul", underline, QTextCharFormat::SingleUnderline},
            Word{"uld", underline, QTextCharFormat::DotLine},
            Word{"uldash", underline, QTextCharFormat::DashUnderline},
            Word{"uldashd", underline, QTextCharFormat::DashDotLine},
            Word{"uldashdd", underline, QTextCharFormat::DashDotDotLine},
            Word{"uldb", underline, QTextCharFormat::SingleUnderline},
            Word{"ulhwave", underline, QTextCharFormat::WaveUnderline},
            Word{"ulldash", underline, QTextCharFormat::DashUnderline},
            Word{"ulth", underline, QTextCharFormat::SingleUnderline},
            Word{"ulthd", underline, QTextCharFormat::DotLine},
            Word{"ulthdash", underline, QTextCharFormat::DashUnderline},
            Word{"ulthdashd", underline, QTextCharFormat::DashDotLine},
            Word{"ulthdashdd", underline, QTextCharFormat::DashDotDotLine},
            Word{"ulthldash", underline, QTextCharFormat::DashUnderline},
            Word{"ululdbwave", underline, QTextCharFormat::WaveUnderline},
            Word{"ulw", underline, QTextCharFormat::SingleUnderline},
            Word{"ulwave", underline, QTextCharFormat::WaveUnderline},
            Word{"ulnone", no_underline, 0},
            Word{"caps", caps, QFont::AllUppercase},
            Word{"scaps", caps, QFont::SmallCaps},
            Word{"super", super, 0},
            Word{"sub", sub, 0},
            Word{"nosupersub", no_super_sub, 0},
            Word{"up", up, 0},
            Word{"dn", down, 0},
            Word{"u", unicode, 0},
            Word{"uc", unicode_skip, 0},
            Word{"tab", character, '\t'},
            Word{"line", character, 0x2028},
            Word{"lbr", character, 0x2028},
            Word{"emdash", character, 0x2014},
            Word{"endash", character, 0x2013},
            Word{"bullet", character, 0x2022},
            Word{"lquote", character, 0x2018},
            Word{"rquote", character, 0x2019},
            Word{"ldblquote", character, 0x201C},
            Word{"rdblquote", character, 0x201D},
            Word{"emspace", character, 0x2003},
            Word{"enspace", character, 0x2002},
            Word{"qmspace", character, 0x2005},
            Word{"zwj", character, 0x200D},
            Word{"zwnj", character, 0x200C},
            Word{"zwbo", character, 0x200B},
            Word{"zwnbo", character, 0xFEFF},
            Word{"ltrmark", character, 0x200E},
            Word{"rtlmark", character, 0x200F},
            // Paragraphs and tables.
            Word{"pard", pard, 0},
            Word{"par", par, 0},
            Word{"sect", par, 0},
            Word{"page", par, 0},
            Word{"column", par, 0},
            Word{"ql", align, Qt::AlignLeft},
            Word{"qr", align, Qt::AlignRight},
            Word{"qc", align, Qt::AlignHCenter},
            Word{"qj", align, Qt::AlignJustify},
            Word{"qd", align, Qt::AlignJustify},
            Word{"li", left_indent, 0},
            Word{"lin", left_indent, 0},
            Word{"ri", right_indent, 0},
            Word{"rin", right_indent, 0},
            Word{"fi", first_indent, 0},
            Word{"sb", space_before, 0},
            Word{"sa", space_after, 0},
            Word{"rtlpar", right_to_left, 0},
            Word{"ltrpar", left_to_right, 0},
            Word{"intbl", in_table, 0},
            Word{"cell", cell, 0},
            Word{"row", row, 0},
            Word{"nestcell", nested_cell, 0},
            Word{"nestrow", nested_row, 0},
            // Lists.
            Word{"list", list, 0},
            Word{"listlevel", list_level, 0},
            Word{"listid", list_id, 0},
            Word{"listoverride", list_override, 0},
            Word{"ls", list_number, 0},
            Word{"ilvl", list_level_number, 0},
            Word{"levelnfc", level_format, 0},
            Word{"levelstartat", level_start, 0},
            Word{"levelfollow", level_follow, 0},
            Word{"pnlvl", numbering_level, 0},
            Word{"pnlvlbody", numbering_level, 10},
            Word{"pnlvlblt", numbering_level, 11},
            Word{"pncont", numbering_format, 255},
            Word{"pndec", numbering_format, 0},
            Word{"pncard", numbering_format, 0},
            Word{"pnucrm", numbering_format, 1},
            Word{"pnlcrm", numbering_format, 2},
            Word{"pnucltr", numbering_format, 3},
            Word{"pnlcltr", numbering_format, 4},
            Word{"pnord", numbering_format, 5},
            Word{"pnordt", numbering_format, 5},
            Word{"pnstart", numbering_start, 0},
            Word{"pnf", numbering_font, 0},
            // Pictures.
            Word{"pngblip", picture_type, 1},
            Word{"jpegblip", picture_type, 2},
            Word{"picw", picture_size, 0},
            Word{"pich", picture_size, 1},
            Word{"picwgoal", picture_size, 2},
            Word{"pichgoal", picture_size, 3},
            Word{"picscalex", picture_size, 4},
            Word{"picscaley", picture_size, 5},
        };
        return table;
    }();
    // Looked up for every control word of the document: a hash, not a search.
    static const auto index = [] {
        std::unordered_map<std::string_view, const Word *> map;
        map.reserve(words.size() * 2);
        for (const Word &w : words)
            map.emplace(w.name, &w);
        return map;
    }();
    const auto it = index.find(name);
    return it == index.end() ? nullptr : it->second;
}

RtfReader::RtfReader(QByteArrayView rtf)
    : tokens_(rtf), document_(std::make_unique<QTextDocument>()), document_view_(document_.get()),
      builder_(document_view_)
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
    static const std::string_view marks[] = {"par",  "cell",   "nestcell", "sect",
                                             "page", "column", "line"};
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
        if (name.empty() ? p < end && (*p == '\n' || *p == '\r')
                         : std::find(std::begin(marks), std::end(marks), name) != std::end(marks)) {
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
                picture_.data.append(t.text.data(), qsizetype(t.text.size()));
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
    if (font_entry_ >= 0)
        finish_font_name();
    prepare_output();
    builder_.finish(block_format(state().para));
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
    const State closed = std::move(stack_.back());
    stack_.pop_back();
    // A font's entry ends with its group; groups inside it (\panose, \falt)
    // come before its name and end nothing.
    if (closed.destination == Destination::font_table && font_entry_ >= 0 &&
        stack_.size() < font_entry_depth_)
        finish_font_name();
    if (closed.destination == Destination::field_instruction &&
        state().destination != Destination::field_instruction)
        finish_field_instruction();
    if (closed.destination == Destination::picture && state().destination != Destination::picture)
        finish_picture();
    if (closed.destination == Destination::numbering &&
        state().destination != Destination::numbering)
        finish_numbering(closed);
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
        if (font_entry_ >= 0) {
            Font &f = fonts_[font_entry_];
            if (f.name_done)
                break;
            const std::size_t end = std::min(bytes.find(';'), bytes.size());
            if (f.name_bytes.size() + qsizetype(end) <= max_font_name)
                f.name_bytes.append(bytes.data(), qsizetype(end));
            if (end < bytes.size())
                finish_font_name();
        }
        break;
    case Destination::colour_table:
        for (const char c : bytes) {
            if (c != ';')
                continue;
            colours_.push_back(colour_set_ ? QColor(red_, green_, blue_) : QColor());
            forget_formats();
            red_ = green_ = blue_ = 0;
            colour_set_ = false;
        }
        break;
    case Destination::field_instruction:
        if (field_instruction_.size() < max_field_instruction)
            decoder_.append(field_instruction_,
                            QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                            document_code_page_);
        break;
    case Destination::picture:
        picture_text(bytes);
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
    const Word *w = find_word(t.word);
    if (skip_ > 0 && !(w && w->op == Op::par)) {
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
    CharProps &c = s.chars;
    ParaProps &p = s.para;
    const int v = t.parameter;
    switch (w->op) {
    case Op::code_page:
        if (t.has_parameter && v > 0)
            document_code_page_ = v;
        break;
    case Op::fixed_code_page:
        document_code_page_ = w->value;
        break;
    case Op::default_font:
        default_font_ = v;
        break;
    case Op::charset:
    case Op::font_code_page:
    case Op::font_family:
        if (s.destination == Destination::font_table && font_entry_ >= 0) {
            Font &f = fonts_[font_entry_];
            if (w->op == Op::charset)
                f.charset = v;
            else if (w->op == Op::font_code_page)
                f.code_page = std::max(v, 0);
            else
                f.hint = QFont::StyleHint(w->value);
            forget_formats();
        }
        break;
    case Op::red:
    case Op::green:
    case Op::blue:
        (w->op == Op::red ? red_ : w->op == Op::green ? green_ : blue_) = std::clamp(v, 0, 255);
        colour_set_ = true;
        break;
    case Op::font:
        if (s.destination == Destination::font_table) {
            if (font_entry_ >= 0)
                finish_font_name();
            font_entry_ = v;
            font_entry_depth_ = stack_.size();
            fonts_[v] = Font();
            forget_formats();
        } else if (s.destination == Destination::list_table) {
            if (!lists_.empty() && !lists_.back().levels.empty())
                lists_.back().levels.back().font = v;
        } else {
            c.font = v;
        }
        break;
    case Op::plain: {
        const QString href = c.href;
        c = CharProps();
        c.href = href;
        break;
    }
    case Op::font_size:
        c.half_points = t.has_parameter ? std::clamp(v, 2, 3276) : 24;
        break;
    case Op::colour:
        c.colour = v;
        break;
    case Op::background:
        c.background = v;
        break;
    case Op::bold:
        c.bold = toggle(t);
        break;
    case Op::italic:
        c.italic = toggle(t);
        break;
    case Op::strike:
        c.strike = toggle(t);
        break;
    case Op::hidden:
        c.hidden = toggle(t);
        break;
    case Op::underline:
        c.underline =
            toggle(t) ? QTextCharFormat::UnderlineStyle(w->value) : QTextCharFormat::NoUnderline;
        break;
    case Op::no_underline:
        c.underline = QTextCharFormat::NoUnderline;
        break;
    case Op::caps:
        c.caps = toggle(t) ? QFont::Capitalization(w->value) : QFont::MixedCase;
        break;
    case Op::super:
        c.vertical = QTextCharFormat::AlignSuperScript;
        break;
    case Op::sub:
        c.vertical = QTextCharFormat::AlignSubScript;
        break;
    case Op::no_super_sub:
        c.vertical = QTextCharFormat::AlignNormal;
        break;
    case Op::up:
        c.vertical = toggle(t) ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal;
        break;
    case Op::down:
        c.vertical = toggle(t) ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal;
        break;
    case Op::unicode:
        if (t.has_parameter) {
            put_unicode(v < 0 && v >= -32768 ? v + 65536 : v);
            skip_ = s.unicode_skip;
        }
        break;
    case Op::unicode_skip:
        s.unicode_skip = std::max(v, 0);
        break;
    case Op::character:
        put_char(char16_t(w->value));
        break;
    case Op::pard:
        if (!s.keeps_paragraph)
            p = ParaProps();
        break;
    case Op::par:
        end_paragraph();
        break;
    case Op::align:
        p.alignment = Qt::Alignment(w->value);
        break;
    case Op::left_indent:
        p.left = clamp_twips(v);
        break;
    case Op::right_indent:
        p.right = clamp_twips(v);
        break;
    case Op::first_indent:
        p.first = clamp_twips(v);
        break;
    case Op::space_before:
        p.before = std::clamp(v, 0, max_twips);
        break;
    case Op::space_after:
        p.after = std::clamp(v, 0, max_twips);
        break;
    case Op::right_to_left:
        p.right_to_left = true;
        break;
    case Op::left_to_right:
        p.right_to_left = false;
        break;
    case Op::in_table:
        if (!s.keeps_paragraph)
            p.in_table = toggle(t);
        break;
    case Op::cell:
        end_cell();
        break;
    case Op::row:
        if (s.destination == Destination::body)
            builder_.end_row();
        break;
    case Op::nested_cell:
        put_char('\t'); // a table inside a cell: its cells side by side
        break;
    case Op::nested_row:
        put_char(0x2028);
        break;
    case Op::list:
        if (s.destination == Destination::list_table && lists_.size() < max_lists)
            lists_.emplace_back();
        break;
    case Op::list_level:
        if (s.destination == Destination::list_table && !lists_.empty() &&
            lists_.back().levels.size() < max_levels)
            lists_.back().levels.emplace_back();
        break;
    case Op::list_id:
        if (s.destination == Destination::list_table && !lists_.empty()) {
            lists_.back().id = v;
        } else if (s.destination == Destination::list_overrides) {
            override_list_ = v;
            if (override_ls_ > 0)
                overrides_[override_ls_] = v;
        }
        break;
    case Op::list_override:
        override_list_ = override_ls_ = 0;
        break;
    case Op::list_number:
        if (s.destination == Destination::list_overrides) {
            override_ls_ = v;
            if (v > 0 && overrides_.size() < max_lists)
                overrides_[v] = override_list_;
        } else if (!s.keeps_paragraph) {
            p.list = std::max(v, 0);
        }
        break;
    case Op::list_level_number:
        if (!s.keeps_paragraph)
            p.list_level = std::clamp(v, 0, int(max_levels) - 1);
        break;
    case Op::level_format:
    case Op::level_start:
    case Op::level_follow:
        if (s.destination == Destination::list_table && !lists_.empty() &&
            !lists_.back().levels.empty()) {
            ListLevel &l = lists_.back().levels.back();
            (w->op == Op::level_format  ? l.format
             : w->op == Op::level_start ? l.start
                                        : l.follow) = v;
        }
        break;
    case Op::numbering_level:
        if (s.destination == Destination::numbering)
            numbering_.level = w->value ? w->value : std::clamp(v, 1, 9);
        break;
    case Op::numbering_format:
        if (s.destination == Destination::numbering)
            numbering_.format = w->value;
        break;
    case Op::numbering_start:
        if (s.destination == Destination::numbering)
            numbering_.start = v;
        break;
    case Op::numbering_font:
        if (s.destination == Destination::numbering)
            numbering_.font = v;
        break;
    case Op::picture_type:
        if (s.destination == Destination::picture)
            picture_.type = w->value;
        break;
    case Op::picture_size:
        if (s.destination == Destination::picture)
            picture_size(w->value, v);
        break;
    default:
        break;
    }
}

// Handles the words that start a destination; false for all others.
bool RtfReader::destination(const Word &w)
{
    State &s = state();
    switch (w.op) {
    case Op::skip:
        skip_group();
        return true;
    case Op::font_table:
        s.destination = Destination::font_table;
        return true;
    case Op::colour_table:
        s.destination = Destination::colour_table;
        colours_.clear();
        forget_formats();
        colour_set_ = false;
        return true;
    case Op::field:
        return true;
    case Op::field_instruction:
        s.destination = Destination::field_instruction;
        field_instruction_.clear();
        return true;
    case Op::field_result:
        if (s.destination == Destination::field_instruction)
            s.destination = Destination::body;
        return true;
    case Op::list_text:
        s.keeps_paragraph = true;
        if (s.destination == Destination::body)
            list_text_seen_ = true;
        return true;
    case Op::list_table:
        s.destination = Destination::list_table;
        return true;
    case Op::list_overrides:
        s.destination = Destination::list_overrides;
        return true;
    case Op::level_text:
        if (s.destination != Destination::list_table || lists_.empty() ||
            lists_.back().levels.empty()) {
            skip_group();
            return true;
        }
        s.destination = w.value ? Destination::level_marker : Destination::level_text;
        (w.value ? lists_.back().levels.back().marker : lists_.back().levels.back().text).clear();
        return true;
    case Op::numbering:
        if (s.destination != Destination::body) {
            skip_group();
            return true;
        }
        s.destination = Destination::numbering;
        numbering_ = Numbering();
        return true;
    case Op::numbering_text:
        if (s.destination != Destination::numbering) {
            skip_group();
            return true;
        }
        s.destination = w.value ? Destination::numbering_after : Destination::numbering_before;
        (w.value ? numbering_.after : numbering_.before).clear();
        return true;
    case Op::picture:
        // A picture where no text goes (a shape's properties, a field's
        // instruction) is not shown either.
        if (s.destination != Destination::body) {
            skip_group();
            return true;
        }
        s.destination = Destination::picture;
        picture_ = Picture();
        return true;
    case Op::upr:
        s.outside_upr = s.destination;
        s.destination = Destination::dropped;
        s.in_upr = true;
        return true;
    case Op::transparent:
        return true;
    case Op::ud:
        if (s.in_upr) {
            s.destination = s.outside_upr;
            s.in_upr = false;
        }
        return true;
    default:
        return false;
    }
}

int RtfReader::code_page() const
{
    return code_page_of(font(state().chars.font));
}

int RtfReader::code_page_of(const Font *f) const
{
    if (!f)
        return document_code_page_;
    // A symbol font is known by its name, whatever its charset says.
    if (f->symbol != SymbolFont::none)
        return CodePageDecoder::of_symbol_font(f->symbol);
    if (f->code_page > 0)
        return f->code_page;
    const int cp = CodePageDecoder::code_page_of_charset(f->charset);
    // A symbol font of another name: its bytes as they are, for its own
    // face to draw where the system has it.
    if (cp == CodePageDecoder::symbol)
        return 1252;
    return cp ? cp : document_code_page_;
}

const RtfReader::Font *RtfReader::font(int number) const
{
    const auto it = fonts_.find(number < 0 ? default_font_ : number);
    return it == fonts_.end() ? nullptr : &it->second;
}

void RtfReader::finish_font_name()
{
    const auto it = fonts_.find(font_entry_);
    if (it == fonts_.end())
        return;
    Font &f = it->second;
    forget_formats();
    if (!f.name_done) {
        f.name_done = true;
        // The name is in the font's own code page, like its text.
        int cp = f.code_page > 0 ? f.code_page : CodePageDecoder::code_page_of_charset(f.charset);
        if (cp == 0 || cp == CodePageDecoder::symbol)
            cp = document_code_page_;
        QString name;
        decoder_.append(name, f.name_bytes, cp);
        name = name.trimmed();
        if (!name.isEmpty()) {
            f.families = font_families(name);
            f.symbol = symbol_font_of(name);
        }
        f.name_bytes.clear();
    }
}

void RtfReader::finish_field_instruction()
{
    const QString target = hyperlink_target(field_instruction_);
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
    // A symbol font's signs as Unicode are its bytes in the private use area.
    const int cp = code_page();
    if (cp < 0 && unit >= 0xF020 && unit <= 0xF0FF) {
        const char byte = char(unit - 0xF000);
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
    prepare_output();
    // Blanks before a paragraph's own number (\listtext) do not start it.
    if (!paragraph_open_ && !clean.trimmed().isEmpty())
        start_paragraph();
    builder_.append(clean);
}

// Formats are made from the font and colour tables; when those change, the
// formats made before no longer hold.
void RtfReader::forget_formats()
{
    recent_formats_.clear();
    chars_applied_ = false;
}

void RtfReader::prepare_output()
{
    const State &s = state();
    builder_.set_in_table(s.para.in_table);
    if (chars_applied_ && s.chars == applied_chars_)
        return;
    // Documents switch back and forth between a few formats (a bold word in
    // plain text); the formats made last are kept for that.
    auto cached = std::find_if(recent_formats_.begin(), recent_formats_.end(),
                               [&s](const auto &entry) { return entry.first == s.chars; });
    if (cached == recent_formats_.end()) {
        if (recent_formats_.size() == max_recent_formats)
            recent_formats_.pop_back();
        recent_formats_.emplace(recent_formats_.begin(), s.chars, char_format(s.chars));
        cached = recent_formats_.begin();
    }
    builder_.set_char_format(cached->second);
    applied_chars_ = s.chars;
    chars_applied_ = true;
}

void RtfReader::end_paragraph()
{
    // A paragraph mark that is hidden joins its paragraph to the next.
    if (state().destination != Destination::body || state().chars.hidden)
        return;
    prepare_output();
    builder_.end_paragraph(block_format(state().para));
    paragraph_done();
}

void RtfReader::end_cell()
{
    if (state().destination != Destination::body)
        return;
    prepare_output();
    builder_.end_cell(block_format(state().para));
    paragraph_done();
}

QTextCharFormat RtfReader::char_format(const CharProps &p)
{
    QTextCharFormat f;
    if (const Font *font = this->font(p.font)) {
        // A symbol font's signs have become Unicode characters on the way
        // in; the face that drew them from bytes would draw them wrong now
        // (Symbol's own face draws an arrow for ¬), so the document's
        // default face draws them.
        if (font->symbol == SymbolFont::none) {
            // Each face costs the view a search through the system's fonts
            // when it lays the text out; past a number no document needs,
            // further fonts' text takes the default face.
            const Font *face = font;
            if (!font->face_used) {
                if (faces_used_ < max_faces) {
                    ++faces_used_;
                    fonts_[p.font < 0 ? default_font_ : p.font].face_used = true;
                } else {
                    face = this->font(-1);
                    if (face && !face->face_used)
                        face = nullptr;
                }
            }
            if (face && !face->families.isEmpty())
                f.setFontFamilies(face->families);
        } else {
            // Faces with many of the signs follow for what the document's
            // face lacks.
            static const QStringList sign_faces{QStringLiteral("DejaVu Sans"),
                                                QStringLiteral("Noto Sans Symbols 2"),
                                                QStringLiteral("Symbola")};
            const Font *face = this->font(-1);
            f.setFontFamilies(face && face->symbol == SymbolFont::none ? face->families + sign_faces
                                                                       : sign_faces);
        }
        if (font->hint != QFont::AnyStyle)
            f.setFontStyleHint(font->hint);
    }
    f.setFontPointSize(p.half_points / 2.0);
    if (p.bold)
        f.setFontWeight(QFont::Bold);
    if (p.italic)
        f.setFontItalic(true);
    if (p.underline != QTextCharFormat::NoUnderline)
        f.setUnderlineStyle(p.underline);
    if (p.strike)
        f.setFontStrikeOut(true);
    if (p.caps != QFont::MixedCase)
        f.setFontCapitalization(p.caps);
    if (p.vertical != QTextCharFormat::AlignNormal)
        f.setVerticalAlignment(p.vertical);
    auto colour = [this](int index) {
        return index >= 0 && std::size_t(index) < colours_.size() ? colours_[std::size_t(index)]
                                                                  : QColor();
    };
    f.setProperty(font_key, p.font);
    if (p.colour != 0 || p.background != 0)
        f.setProperty(colour_key, int(unsigned(p.colour) * 65599u + unsigned(p.background)));
    if (const QColor c = colour(p.colour); c.isValid())
        f.setForeground(c);
    if (const QColor c = colour(p.background); c.isValid())
        f.setBackground(c);
    if (!p.href.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(p.href);
    }
    return f;
}

QTextBlockFormat RtfReader::block_format(const ParaProps &p)
{
    if (p == block_props_)
        return block_format_;
    QTextBlockFormat f;
    f.setAlignment(p.alignment);
    f.setLeftMargin(px(p.left));
    f.setRightMargin(px(p.right));
    f.setTextIndent(px(p.first));
    // A hanging paragraph (a list item) has a tab stop at its left indent,
    // where the text after its number starts.
    if (p.first < 0)
        f.setTabPositions({QTextOption::Tab(px(-p.first), QTextOption::LeftTab)});
    f.setTopMargin(px(p.before));
    f.setBottomMargin(px(p.after));
    f.setLayoutDirection(p.right_to_left ? Qt::RightToLeft : Qt::LeftToRight);
    block_props_ = p;
    block_format_ = f;
    return f;
}

} // namespace talvence

namespace talvence {

QString *RtfReader::marker_text()
{
    switch (state().destination) {
    case Destination::level_text:
    case Destination::level_marker:
        if (lists_.empty() || lists_.back().levels.empty())
            return nullptr;
        return state().destination == Destination::level_text ? &lists_.back().levels.back().text
                                                              : &lists_.back().levels.back().marker;
    case Destination::numbering_before:
        return &numbering_.before;
    case Destination::numbering_after:
        return &numbering_.after;
    default:
        return nullptr;
    }
}

// The bytes of a list's text (as U+F0xx) in the code page of the font they
// are in, a symbol font's signs as Unicode; `number` gives the text of a
// level's number for U+F000 to U+F008, or is empty where there is none.
QString RtfReader::decoded_marker(const QString &raw, int font_number,
                                  const std::function<QString(int)> &number)
{
    const int cp = code_page_of(font(font_number));
    QString out;
    QByteArray bytes;
    for (const QChar ch : raw) {
        const char16_t c = ch.unicode();
        if (number && c >= 0xF000 && c <= 0xF008) {
            decoder_.append(out, bytes, cp);
            bytes.clear();
            out += number(c - 0xF000);
        } else if (c >= 0xF000 && c <= 0xF0FF) {
            bytes.append(char(c - 0xF000));
        } else {
            decoder_.append(out, bytes, cp);
            bytes.clear();
            out += ch;
        }
    }
    decoder_.append(out, bytes, cp);
    // What the text could never show (a tab is the list's own).
    out.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
    return out;
}

void RtfReader::start_paragraph()
{
    paragraph_open_ = true;
    // A number the paragraph brought counts all the same.
    QString marker = list_marker(state().para);
    if (list_text_seen_)
        return;
    // Made from the document's bytes as any text: what the view cannot
    // show goes, surrogates stay in pairs.
    marker.truncate(max_marker / 2);
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
    if (!shown.isEmpty())
        builder_.append(shown);
}

void RtfReader::paragraph_done()
{
    if (state().para.numbering < 0)
        numbering_counts_.clear();
    paragraph_open_ = false;
    list_text_seen_ = false;
}

// The number or bullet of a paragraph in a list that did not bring its own
// (\listtext, \pntext): made from the list table or the paragraph's \pn, and
// counted per list and level; a level restarts after an item above it.
QString RtfReader::list_marker(const ParaProps &p)
{
    if (p.list > 0) {
        const auto o = overrides_.find(p.list);
        if (o == overrides_.end())
            return {};
        const auto l = std::find_if(lists_.begin(), lists_.end(),
                                    [&](const List &x) { return x.id == o->second; });
        if (l == lists_.end() || l->levels.empty())
            return {};
        const int level = std::min(p.list_level, int(l->levels.size()) - 1);
        const ListLevel &def = l->levels[std::size_t(level)];
        const auto key = std::make_pair(l->id, level);
        const auto counted = list_counts_.find(key);
        list_counts_[key] = counted == list_counts_.end() ? def.start : counted->second + 1;
        for (int deeper = level + 1; deeper < int(max_levels); ++deeper)
            list_counts_.erase(std::make_pair(l->id, deeper));
        // Cocoa names its bullets and puts a number's place in their text.
        if (def.format == 23 && !def.marker.isEmpty()) {
            const QString bullet = cocoa_bullet(decoded_marker(def.marker, -1, {}));
            if (!bullet.isEmpty())
                return bullet + u'\t';
        }
        // The first character of \leveltext is its length.
        QString raw = def.text.mid(1, def.text.isEmpty() ? 0 : def.text.front().unicode() & 0xFF);
        QString marker = decoded_marker(raw, def.font, [&](int n) -> QString {
            if (n >= int(l->levels.size()))
                return {};
            const auto c = list_counts_.find(std::make_pair(l->id, n));
            const ListLevel &at = l->levels[std::size_t(n)];
            return list_number(c == list_counts_.end() ? at.start : c->second, at.format);
        });
        if (marker.isEmpty())
            return {};
        return def.follow == 2 ? marker : marker + QChar(def.follow == 1 ? u' ' : u'\t');
    }
    if (p.numbering < 0 || std::size_t(p.numbering) >= numberings_.size())
        return {};
    const Numbering &n = numberings_[std::size_t(p.numbering)];
    if (n.format == 255 && n.level != 11)
        return {};
    QString number;
    if (n.level != 11) {
        // A level goes on counting until its numbers change their style.
        const auto counted = numbering_counts_.find(n.level);
        const bool goes_on = counted != numbering_counts_.end() &&
                             numberings_[std::size_t(counted->second.second)].format == n.format &&
                             numberings_[std::size_t(counted->second.second)].start == n.start;
        const int value = goes_on ? counted->second.first + 1 : n.start;
        numbering_counts_[n.level] = {value, p.numbering};
        numbering_counts_.erase(numbering_counts_.upper_bound(n.level), numbering_counts_.end());
        number = list_number(value, n.format);
    }
    const QString marker =
        decoded_marker(n.before, n.font, {}) + number + decoded_marker(n.after, n.font, {});
    return marker.isEmpty() ? marker : marker + u'\t';
}

void RtfReader::finish_numbering(const State &closed)
{
    (void)closed;
    // Word repeats the same \pn for each paragraph: keep one of each.
    auto it = std::find(numberings_.rbegin(), numberings_.rend(), numbering_);
    if (it != numberings_.rend()) {
        state().para.numbering = int(numberings_.rend() - it) - 1;
    } else if (numberings_.size() < max_numberings) {
        numberings_.push_back(numbering_);
        state().para.numbering = int(numberings_.size()) - 1;
    }
}

void RtfReader::picture_size(int which, int value)
{
    switch (which) {
    case 0:
        picture_.width = value;
        break;
    case 1:
        picture_.height = value;
        break;
    case 2:
        picture_.goal_width = std::clamp(value, 0, max_twips);
        break;
    case 3:
        picture_.goal_height = std::clamp(value, 0, max_twips);
        break;
    case 4:
        picture_.scale_x = std::clamp(value, 1, 1000);
        break;
    case 5:
        picture_.scale_y = std::clamp(value, 1, 1000);
        break;
    }
}

void RtfReader::picture_text(std::string_view bytes)
{
    // Pictures Qt cannot draw are not collected at all.
    if (picture_.type == 0)
        return;
    QByteArray &data = picture_.data;
    for (const char c : bytes) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else
            continue;
        if (picture_.nibble < 0) {
            picture_.nibble = v;
        } else {
            data.append(char(picture_.nibble << 4 | v));
            picture_.nibble = -1;
        }
    }
}

// A PNG or JPEG picture goes into the text where it stands, at the size the
// document asks for; one whose bytes cannot be decoded is left out.
void RtfReader::finish_picture()
{
    Picture pic = std::exchange(picture_, Picture());
    if (pic.type == 0 || pic.data.isEmpty() || state().destination != Destination::body ||
        state().chars.hidden)
        return;
    std::optional<QImage> image = decode_picture(pic.data);
    pic.data = QByteArray();
    if (!image || image->isNull())
        return;
    auto side = [](int goal, int own, int scale) {
        const qint64 twips = goal > 0 ? goal : qint64(own) * twips_per_pixel;
        return int(std::clamp<qint64>(px(int(std::min<qint64>(twips * scale / 100, INT_MAX))), 1,
                                      max_picture_px));
    };
    const int width = side(pic.goal_width, image->width(), pic.scale_x);
    const int height = side(pic.goal_height, image->height(), pic.scale_y);
    // A picture kept at more than twice the size it is shown at only takes
    // memory.
    if (image->width() > 2 * width || image->height() > 2 * height)
        *image =
            image->scaled(2 * width, 2 * height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QString name = QStringLiteral("rtf-picture:%1").arg(++pictures_);
    document_view_->addResource(QTextDocument::ImageResource, QUrl(name), *image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    prepare_output();
    if (!paragraph_open_)
        start_paragraph();
    builder_.append_image(format);
}

} // namespace talvence
