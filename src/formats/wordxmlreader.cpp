// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordxmlreader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include <QHash>
#include <QStringList>
#include <QTextDocument>
#include <QXmlStreamReader>

#include "documentbuilder.h"
#include "rtfnotes.h"
#include "symbolfonts.h"
#include "twips.h"
#include "ziparchive.h"

namespace talvence {

using namespace Qt::Literals::StringLiterals;

namespace {

// Word 2003's namespace, Word 2007's, and the strict form of ISO 29500.
constexpr QStringView word_2003 = u"http://schemas.microsoft.com/office/word/2003/wordml";
constexpr QStringView word_2006 = u"http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr QStringView word_strict = u"http://purl.oclc.org/ooxml/wordprocessingml/main";
// Markup a newer Word writes twice: what it means (mc:Choice) and a
// fallback for older readers, which would show the same text again.
constexpr QStringView compatibility =
    u"http://schemas.openxmlformats.org/markup-compatibility/2006";

bool is_word(QStringView uri)
{
    return uri == word_2006 || uri == word_2003 || uri == word_strict;
}

// Column widths and table indents beyond this many twips (22 inches) are
// damage, not layout.
constexpr int max_twips = 31680;

// The Word elements whose content is no text of the view: field
// instructions, deleted text and text moved away, pictures and drawings
// (text boxes among them), embedded objects, the headers and footers Word
// 2003 keeps in the body, and the properties a tracked change replaced.
bool skipped(QStringView name)
{
    static const std::array<QStringView, 20> names{
        u"instrText",  u"delText",    u"delInstrText", u"moveFrom",    u"pict",
        u"binData",    u"drawing",    u"object",       u"hdr",         u"ftr",
        u"footnotePr", u"endnotePr",  u"sectPr",       u"docPartObj",  u"rPrChange",
        u"pPrChange",  u"tcPrChange", u"trPrChange",   u"tblPrChange", u"tblGridChange"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

using Border = DocumentBuilder::Border;

// Where text goes: the main text or a note's, each with the tables it is in.
struct Output {
    DocumentBuilder *builder = nullptr;
    int cells = 0;               // one inside the other
    bool cell_paragraph = false; // a paragraph in a cell ended; the cell's end may end it
    QTextBlockFormat ended;      // that paragraph's format
    int tables = 0;
    // The outermost table's layout: its grid (twips), its borders (top,
    // left, bottom, right, inside horizontal, inside vertical), the cells
    // of the row being read with their grid spans, and the row before,
    // whose bottom border waits on whether another row follows.
    std::vector<int> grid;
    std::array<Border, 6> borders;
    std::vector<DocumentBuilder::CellLayout> row;
    std::vector<int> spans;
    // Of each cell, the sides it has borders of its own on (bits: left,
    // top, right, bottom).
    std::vector<unsigned char> own_borders;
    int rows = 0;
    std::optional<DocumentBuilder::RowLayout> ended_row;
    std::vector<unsigned char> ended_own;
    // The paragraph and run a note of Word 2003 interrupts.
    QTextBlockFormat para;
    QTextCharFormat run;
    bool hidden = false;
};

enum Side { top, left, bottom, right, inside_h, inside_v };

class WordXml {
public:
    WordXml(DocumentBuilder &builder, RtfNotes &notes) : notes_(notes)
    {
        out_.builder = &builder;
        notes_.set_format(RtfNotes::Kind::endnote, NumberFormat::lower_roman);
    }

    // Reads a part into the output: the main text, or (notes_part) the
    // notes the main text referred to. Whether the part's first element was
    // a Word document of either dialect.
    bool read(const QByteArray &part, bool notes_part);
    // Ends the main text: its last row and paragraph.
    void finish() { end_pending_row(true); }
    bool has_note_marks() const { return !marks_[0].isEmpty() || !marks_[1].isEmpty(); }
    // Stops reading once this many characters are written (negative: never).
    void set_limit(qint64 characters) { limit_ = characters; }
    bool cut() const { return limit_ >= 0 && written_ >= limit_; }

private:
    void start(QStringView name);
    void end(QStringView name);
    QStringView value(QLatin1StringView name = "val"_L1) const
    {
        return xml_.attributes().value(xml_.namespaceUri().toString(), name);
    }
    // An on-off property: on unless its value says off.
    bool on() const
    {
        const QStringView v = value();
        return v.isEmpty() || (v != u"off" && v != u"false" && v != u"0" && v != u"none");
    }
    void text(QStringView t);
    void note_mark(const QString &mark);
    void begin_note(RtfNotes::Kind kind, const QString &mark);
    void end_note();
    // The style sheet (Word 2003's in the document, a package's in a part of
    // its own): each style's own properties, and the document's defaults.
    struct Style {
        QString based_on;
        QTextCharFormat chars;
        std::optional<bool> hidden;
        std::optional<Qt::Alignment> alignment;
    };
    void style_start(QStringView name);
    // A style with those of the styles it is based on beneath its own.
    const Style &resolved(const QString &id);
    void run_property(QStringView name, QTextCharFormat &f, bool &hidden) const;
    void run_property(QStringView name, QTextCharFormat &f, std::optional<bool> &hidden) const
    {
        bool h = hidden.value_or(false);
        run_property(name, f, h);
        if (name == u"vanish")
            hidden = h;
    }
    Qt::Alignment alignment() const;
    static int side_of(QStringView name);
    Border border() const;
    void end_row();
    void end_pending_row(bool last);
    static RtfNotes::Kind kind_of(QStringView name)
    {
        return name.startsWith(u"end") ? RtfNotes::Kind::endnote : RtfNotes::Kind::footnote;
    }
    QHash<QString, QString> &marks(RtfNotes::Kind kind)
    {
        return marks_[kind == RtfNotes::Kind::endnote ? 1 : 0];
    }

    RtfNotes &notes_;
    std::array<QHash<QString, QString>, 2> marks_; // a note's id to its mark, in a package
    QXmlStreamReader xml_;
    Output out_;
    // The main text's output while a note of Word 2003, which stands where
    // it is referred to, is read; and that note's mark.
    std::vector<Output> outer_;
    std::vector<int> note_levels_; // the element depth each note began at
    QString mark_;
    qint64 limit_ = -1, written_ = 0;
    int level_ = 0;  // of the elements open
    int active_ = 0; // in the body or a note of a notes part
    int skip_ = 0;   // elements open inside one that is skipped
    int in_run_ = 0;
    bool in_run_props_ = false, in_para_props_ = false, in_table_borders_ = false,
         in_cell_borders_ = false;
    bool hidden_ = false, props_hidden_ = false;
    QTextCharFormat run_, props_;
    QTextBlockFormat para_;
    QString para_style_;
    QHash<QString, Style> styles_;
    QHash<QString, Style> resolved_;
    QString default_style_;
    QTextCharFormat defaults_;
    Style *style_ = nullptr; // being read; &defaults_style_ for the defaults
    Style defaults_style_;
};

bool WordXml::read(const QByteArray &part, bool notes_part)
{
    xml_.clear();
    xml_.addData(part);
    bool first = true, word = false;
    while (!xml_.atEnd() && !cut()) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++level_;
            const QStringView name = xml_.name();
            if (first) {
                word = is_word(xml_.namespaceUri()) &&
                       (name == u"document" || name == u"wordDocument" || name == u"footnotes" ||
                        name == u"endnotes");
                first = false;
            }
            if (skip_ > 0) {
                ++skip_;
            } else if (xml_.namespaceUri() == compatibility && name == u"Fallback") {
                skip_ = 1;
            } else if (!is_word(xml_.namespaceUri())) {
                continue;
            } else if (active_ == 0) {
                if (name == u"body") {
                    ++active_;
                } else if (notes_part && (name == u"footnote" || name == u"endnote")) {
                    const auto it = marks(kind_of(name)).constFind(value("id"_L1).toString());
                    if (it == marks(kind_of(name)).cend()) {
                        skip_ = 1; // a separator, or a note nothing refers to
                    } else {
                        ++active_;
                        begin_note(kind_of(name), *it);
                    }
                } else {
                    style_start(name);
                }
            } else {
                start(name);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (skip_ > 0) {
                --skip_;
            } else if (active_ == 0 && is_word(xml_.namespaceUri())) {
                if (xml_.name() == u"style" || xml_.name() == u"rPrDefault")
                    style_ = nullptr;
            } else if (active_ > 0 && is_word(xml_.namespaceUri())) {
                const QStringView name = xml_.name();
                if (name == u"body") {
                    --active_;
                } else if (!note_levels_.empty() && note_levels_.back() == level_) {
                    end_note();
                    if (notes_part && note_levels_.empty())
                        --active_;
                } else {
                    end(name);
                }
            }
            --level_;
        }
    }
    while (!note_levels_.empty())
        end_note(); // a note cut short
    level_ = active_ = skip_ = in_run_ = 0;
    style_ = nullptr;
    in_run_props_ = in_para_props_ = in_table_borders_ = in_cell_borders_ = false;
    return word;
}

void WordXml::start(QStringView name)
{
    Output &o = out_;
    if (skipped(name)) {
        skip_ = 1;
    } else if (name == u"footnote" || name == u"endnote") {
        // Word 2003's note, where the text refers to it.
        const QString mark = notes_.next_mark(kind_of(name));
        note_mark(mark);
        begin_note(kind_of(name), mark);
    } else if (name == u"footnoteReference" || name == u"endnoteReference") {
        const QString mark = notes_.next_mark(kind_of(name));
        marks(kind_of(name)).insert(value("id"_L1).toString(), mark);
        note_mark(mark);
    } else if (name == u"footnoteRef" || name == u"endnoteRef") {
        note_mark(mark_);
    } else if (name == u"tbl") {
        if (++o.tables == 1) {
            end_pending_row(true);
            o.grid.clear();
            o.borders = {};
            o.rows = 0;
        }
    } else if (name == u"gridCol" && o.tables == 1) {
        o.grid.push_back(std::clamp(value("w"_L1).toInt(), 0, max_twips));
    } else if (name == u"tblBorders" && o.tables == 1) {
        in_table_borders_ = true;
    } else if (in_table_borders_) {
        if (const int side = side_of(xml_.name()); side >= 0)
            o.borders[side] = border();
    } else if (name == u"tcBorders" && o.cells == 1 && o.tables == 1 && !o.row.empty()) {
        in_cell_borders_ = true;
    } else if (in_cell_borders_) {
        // The cell's own sides, in the order of the cell layout.
        static constexpr std::array<int, 6> cell_side{1, 0, 3, 2, -1, -1};
        const int side = side_of(xml_.name()), at = side >= 0 ? cell_side[side] : -1;
        if (at >= 0 && !o.row.empty()) { // a note in the borders leaves no row
            o.row.back().borders[at] = border();
            o.own_borders.back() |= 1u << at;
        }
    } else if (name == u"shd" && o.cells == 1 && o.tables == 1 && !o.row.empty()) {
        const QColor fill(u'#' + value("fill"_L1).toString());
        if (fill.isValid())
            o.row.back().shading = fill;
    } else if (name == u"tr" && o.tables == 1 && o.cells == 0) {
        end_pending_row(false);
        o.row.clear();
        o.spans.clear();
        o.own_borders.clear();
    } else if (name == u"tc") {
        if (++o.cells == 1 && o.tables == 1) {
            o.row.emplace_back();
            o.spans.push_back(1);
            o.own_borders.push_back(0);
        }
        o.cell_paragraph = false;
    } else if (name == u"gridSpan" && o.cells == 1 && o.tables == 1 && !o.spans.empty()) {
        o.spans.back() = std::clamp(value().toInt(), 1, DocumentBuilder::max_columns);
    } else if (name == u"vMerge" && o.cells == 1 && o.tables == 1 && !o.row.empty()) {
        o.row.back().vertical =
            value() == u"restart" ? DocumentBuilder::Merge::first : DocumentBuilder::Merge::merged;
    } else if (name == u"p") {
        if (o.cell_paragraph && o.cells > 0)
            o.builder->end_paragraph(o.ended);
        o.cell_paragraph = false;
        para_ = QTextBlockFormat();
        para_style_ = default_style_;
        if (const Style &style = resolved(para_style_); style.alignment)
            para_.setAlignment(*style.alignment);
    } else if (name == u"pPr") {
        in_para_props_ = true;
    } else if (name == u"r") {
        ++in_run_;
        // The document's defaults, then the paragraph's style.
        const Style &style = resolved(para_style_);
        run_ = defaults_;
        run_.merge(style.chars);
        hidden_ = style.hidden.value_or(false);
    } else if (name == u"rPr" && in_run_ > 0) {
        in_run_props_ = true;
        props_ = run_;
        props_hidden_ = hidden_;
    } else if (in_run_props_) {
        if (name == u"rStyle") {
            const Style &style = resolved(value().toString());
            props_.merge(style.chars);
            if (style.hidden)
                props_hidden_ = *style.hidden;
        } else {
            run_property(name, props_, props_hidden_);
        }
    } else if (in_para_props_) {
        if (name == u"pStyle") {
            para_style_ = value().toString();
            para_ = QTextBlockFormat();
            if (const Style &style = resolved(para_style_); style.alignment)
                para_.setAlignment(*style.alignment);
        } else if (name == u"jc") {
            para_.setAlignment(alignment());
        }
    } else if (in_run_ > 0) {
        if (name == u"t") {
            text(xml_.readElementText());
            --level_; // its end was read with it
        } else if (name == u"tab" || name == u"ptab") {
            text(u"\t");
        } else if (name == u"br" || name == u"cr") {
            text(u"\u2028");
        } else if (name == u"noBreakHyphen") {
            text(u"\u2011");
        } else if (name == u"softHyphen") {
            text(u"\u00AD");
        } else if (name == u"sym") {
            // A sign of a symbol font, by its code in the font (Word adds
            // 0xF000 to put it among the characters of private use).
            QString sign;
            const uint code = value("char"_L1).toUInt(nullptr, 16);
            const SymbolFont font = symbol_font_of(value("font"_L1));
            if (font != SymbolFont::none) {
                const char byte = char(code & 0xFF);
                append_symbols(sign, QByteArrayView(&byte, 1), font);
            } else if (code >= 0x20 && code < 0xD800) {
                sign = QChar(char16_t(code));
            }
            text(sign);
        }
    }
}

void WordXml::end(QStringView name)
{
    Output &o = out_;
    if (name == u"rPr" && in_run_props_) {
        in_run_props_ = false;
        run_ = props_;
        hidden_ = props_hidden_;
    } else if (name == u"pPr") {
        in_para_props_ = false;
    } else if (name == u"r") {
        in_run_ = std::max(0, in_run_ - 1);
    } else if (name == u"tblBorders") {
        in_table_borders_ = false;
    } else if (name == u"tcBorders") {
        in_cell_borders_ = false;
    } else if (name == u"p") {
        o.builder->set_in_table(o.cells > 0);
        if (o.cells > 0) {
            o.cell_paragraph = true; // the cell's end may end it
            o.ended = para_;
        } else {
            o.builder->end_paragraph(para_);
        }
    } else if (name == u"tc" && o.cells > 0) {
        // A table inside a cell comes out as its paragraphs.
        o.builder->set_in_table(true);
        if (o.cells == 1)
            o.builder->end_cell(o.cell_paragraph ? o.ended : para_);
        else if (o.cell_paragraph)
            o.builder->end_paragraph(o.ended);
        o.cell_paragraph = o.cells > 1;
        --o.cells;
    } else if (name == u"tr" && o.cells == 0) {
        if (o.tables == 1)
            end_row();
        else {
            o.builder->set_in_table(true);
            o.builder->end_row();
        }
    } else if (name == u"tbl") {
        if (o.tables == 1)
            end_pending_row(true);
        o.tables = std::max(0, o.tables - 1);
    }
}

void WordXml::text(QStringView t)
{
    if (hidden_ || t.isEmpty())
        return;
    out_.builder->set_in_table(out_.cells > 0);
    out_.builder->set_char_format(run_);
    // Line ends inside a text element are spaces to Word.
    QString shown = t.toString();
    for (QChar &c : shown)
        if (c.unicode() < 0x20 && c != u'\t')
            c = u' ';
    out_.builder->append(shown);
    written_ += shown.size();
}

void WordXml::note_mark(const QString &mark)
{
    if (hidden_ || mark.isEmpty())
        return;
    const QTextCharFormat plain = run_;
    run_.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    text(mark);
    run_ = plain;
}

// A note's text goes to its own builder, in tables of its own; the text it
// stands in goes on where it was after the note.
void WordXml::begin_note(RtfNotes::Kind kind, const QString &mark)
{
    out_.para = para_;
    out_.run = run_;
    out_.hidden = hidden_;
    outer_.push_back(std::move(out_));
    out_ = Output();
    out_.builder = &notes_.builder(kind);
    note_levels_.push_back(level_);
    mark_ = mark;
}

void WordXml::end_note()
{
    end_pending_row(true);
    if (out_.cell_paragraph)
        out_.builder->end_paragraph(out_.ended);
    out_ = std::move(outer_.back());
    outer_.pop_back();
    note_levels_.pop_back();
    para_ = out_.para;
    run_ = out_.run;
    hidden_ = out_.hidden;
}

void WordXml::style_start(QStringView name)
{
    if (skipped(name)) {
        skip_ = 1;
    } else if (name == u"style") {
        const QString id = value("styleId"_L1).toString();
        const QStringView type = value("type"_L1);
        if (type != u"paragraph" && type != u"character") {
            skip_ = 1; // table and numbering styles: nothing of a run
            return;
        }
        style_ = &styles_[id];
        *style_ = Style();
        const QStringView is_default = value("default"_L1);
        if (type == u"paragraph" &&
            (is_default == u"1" || is_default == u"on" || is_default == u"true"))
            default_style_ = id;
        resolved_.clear();
    } else if (name == u"rPrDefault") {
        style_ = &defaults_style_;
    } else if (!style_) {
        return;
    } else if (name == u"basedOn") {
        style_->based_on = value().toString();
    } else if (name == u"jc") {
        style_->alignment = alignment();
    } else if (name == u"tblStylePr") {
        skip_ = 1;
    } else {
        run_property(name, style_->chars, style_->hidden);
        if (style_ == &defaults_style_)
            defaults_ = style_->chars;
    }
}

const WordXml::Style &WordXml::resolved(const QString &id)
{
    if (const auto it = resolved_.constFind(id); it != resolved_.cend())
        return *it;
    // The chain from the style down to the first it is based on; a chain
    // that loops or runs on is cut where Word's own nesting would end.
    std::vector<const Style *> chain;
    for (auto it = styles_.constFind(id); it != styles_.cend() && chain.size() < 16;
         it = styles_.constFind(it->based_on))
        chain.push_back(&*it);
    Style out;
    for (auto s = chain.rbegin(); s != chain.rend(); ++s) {
        out.chars.merge((*s)->chars);
        if ((*s)->hidden)
            out.hidden = (*s)->hidden;
        if ((*s)->alignment)
            out.alignment = (*s)->alignment;
    }
    return *resolved_.insert(id, out);
}

void WordXml::run_property(QStringView name, QTextCharFormat &f, bool &hidden) const
{
    if (name == u"b")
        f.setFontWeight(on() ? QFont::Bold : QFont::Normal);
    else if (name == u"i")
        f.setFontItalic(on());
    else if (name == u"u")
        f.setUnderlineStyle(on() ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline);
    else if (name == u"strike" || name == u"dstrike")
        f.setFontStrikeOut(on());
    else if (name == u"vanish")
        hidden = on();
    else if (name == u"rFonts" && !value("ascii"_L1).isEmpty())
        f.setFontFamilies(QStringList{value("ascii"_L1).toString()});
    else if (name == u"sz")
        f.setFontPointSize(std::clamp(value().toInt(), 2, 3276) / 2.0);
    else if (name == u"vertAlign")
        f.setVerticalAlignment(value() == u"superscript" ? QTextCharFormat::AlignSuperScript
                               : value() == u"subscript" ? QTextCharFormat::AlignSubScript
                                                         : QTextCharFormat::AlignNormal);
}

Qt::Alignment WordXml::alignment() const
{
    const QStringView v = value();
    return v == u"center"                       ? Qt::AlignHCenter
           : v == u"right" || v == u"end"       ? Qt::AlignRight
           : v == u"both" || v == u"distribute" ? Qt::AlignJustify
                                                : Qt::AlignLeft;
}

int WordXml::side_of(QStringView name)
{
    return name == u"top"                        ? top
           : name == u"left" || name == u"start" ? left
           : name == u"bottom"                   ? bottom
           : name == u"right" || name == u"end"  ? right
           : name == u"insideH"                  ? inside_h
           : name == u"insideV"                  ? inside_v
                                                 : -1;
}

Border WordXml::border() const
{
    Border b;
    const QStringView style = value();
    if (!style.isEmpty() && style != u"none" && style != u"nil") {
        // Eighths of a point.
        b.width = std::clamp(value("sz"_L1).toInt() / 6.0, 1.0, 8.0);
        const QColor colour(u'#' + value("color"_L1).toString());
        b.colour = colour.isValid() ? colour : QColor(Qt::black);
        b.style = style == u"double"          ? QTextFrameFormat::BorderStyle_Double
                  : style == u"dotted"        ? QTextFrameFormat::BorderStyle_Dotted
                  : style.startsWith(u"dash") ? QTextFrameFormat::BorderStyle_Dashed
                                              : QTextFrameFormat::BorderStyle_Solid;
    }
    return b;
}

// A row of the outermost table, laid out on its grid: each cell as wide as
// the grid columns it spans.
void WordXml::end_row()
{
    Output &o = out_;
    DocumentBuilder::RowLayout layout;
    if (!o.grid.empty()) {
        std::size_t column = 0;
        double edge = 0;
        for (std::size_t i = 0; i < o.row.size(); ++i) {
            DocumentBuilder::CellLayout cell = o.row[i];
            for (int s = 0; s < o.spans[i]; ++s, ++column)
                edge += px(o.grid[std::min(column, o.grid.size() - 1)]);
            cell.right = edge;
            const unsigned own = o.own_borders[i];
            if (!(own & 1))
                cell.borders[0] = o.borders[i == 0 ? left : inside_v];
            if (!(own & 2))
                cell.borders[1] = o.borders[o.rows == 0 ? top : inside_h];
            if (!(own & 4))
                cell.borders[2] = o.borders[i + 1 == o.row.size() ? right : inside_v];
            layout.cells.push_back(cell);
        }
    }
    ++o.rows;
    o.ended_row = std::move(layout);
    o.ended_own = o.own_borders;
}

// A row's bottom border is the table's own when no row follows.
void WordXml::end_pending_row(bool last)
{
    Output &o = out_;
    if (!o.ended_row)
        return;
    for (std::size_t i = 0; i < o.ended_row->cells.size(); ++i)
        if (!(o.ended_own[i] & 8))
            o.ended_row->cells[i].borders[3] = o.borders[last ? bottom : inside_h];
    o.builder->set_in_table(true);
    o.builder->end_row(std::move(*o.ended_row));
    o.ended_row.reset();
}

// Where a relationship of the part `source` of `type` points: its target,
// as an entry's name; empty where there is none.
QByteArray related(const ZipArchive &zip, QByteArrayView source, QStringView type)
{
    const qsizetype slash = source.lastIndexOf('/') + 1;
    const QByteArrayView folder = source.first(slash);
    const std::optional<QByteArray> rels =
        zip.entry(folder.toByteArray() + "_rels/" + source.sliced(slash).toByteArray() + ".rels");
    if (!rels)
        return {};
    QXmlStreamReader xml(*rels);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (!a.value("Type"_L1).endsWith(type) || a.value("TargetMode"_L1) == u"External")
            continue;
        const QString target = a.value("Target"_L1).toString();
        QStringList path = target.startsWith(u'/')
                               ? QStringList()
                               : QString::fromUtf8(folder).split(u'/', Qt::SkipEmptyParts);
        for (const QString &step : target.split(u'/', Qt::SkipEmptyParts)) {
            if (step == u"..") {
                if (path.isEmpty())
                    return {}; // out of the package
                path.removeLast();
            } else if (step != u".") {
                path.append(step);
            }
        }
        return path.join(u'/').toUtf8();
    }
    return {};
}

} // namespace

bool is_word_xml(QByteArrayView bytes)
{
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 4096));
    return head.contains("progid=\"Word.Document\"") || head.contains("<w:wordDocument");
}

std::unique_ptr<QTextDocument> read_word_xml(QByteArrayView bytes)
{
    auto document = std::make_unique<QTextDocument>();
    DocumentBuilder builder(document.get());
    RtfNotes notes;
    WordXml reader(builder, notes);
    reader.read(bytes.toByteArray(), false);
    reader.finish();
    builder.finish(QTextBlockFormat());
    notes.append_to(document.get(), builder, QTextBlockFormat());
    return document;
}

bool is_docx(QByteArrayView bytes)
{
    // As far as the viewer looks before it reads a file (LineFile's
    // sample), so that both ways to a file tell the same.
    constexpr qsizetype looked_at = qsizetype(1) << 20;
    return ZipArchive::is_zip(bytes) &&
           bytes.first(std::min(bytes.size(), looked_at)).contains("word/");
}

DocxDocument read_docx(QByteArrayView bytes, qint64 max_characters)
{
    DocxDocument out;
    const std::optional<ZipArchive> zip = ZipArchive::open(bytes);
    if (!zip) {
        out.status =
            is_docx(bytes) ? DocxDocument::Status::damaged : DocxDocument::Status::not_word;
        return out;
    }
    QByteArray main = related(*zip, "", u"/officeDocument");
    if (main.isEmpty() || !zip->has_entry(main))
        main = "word/document.xml";
    if (!zip->has_entry(main)) {
        out.status = DocxDocument::Status::not_word;
        return out;
    }
    // The first screen needs only the start of the text's XML, not all of
    // it inflated.
    const qint64 first = max_characters >= 0 ? std::max<qint64>(64 * max_characters, 1 << 16) : -1;
    const std::optional<QByteArray> part = zip->entry(main, first);
    if (!part) {
        out.status = DocxDocument::Status::damaged;
        return out;
    }
    auto document = std::make_unique<QTextDocument>();
    DocumentBuilder builder(document.get());
    RtfNotes notes;
    WordXml reader(builder, notes);
    // The style sheet first, which the text's paragraphs and runs name; a
    // package without one has its text in direct formatting only.
    const QByteArray folder = main.first(main.lastIndexOf('/') + 1);
    QByteArray styles = related(*zip, main, u"/styles");
    if (const std::optional<QByteArray> sheet =
            zip->entry(styles.isEmpty() ? folder + "styles.xml" : styles))
        reader.read(*sheet, false);
    reader.set_limit(max_characters);
    if (!reader.read(*part, false)) {
        out.status = DocxDocument::Status::not_word; // a spreadsheet's or a slide show's
        return out;
    }
    reader.finish();
    // The notes the text refers to, footnotes first; a notes part that
    // cannot be read leaves the text without them.
    out.complete = !reader.cut() && (first < 0 || part->size() < first);
    if (out.complete && reader.has_note_marks()) {
        for (const auto &[type, fallback] :
             {std::pair{u"/footnotes", "footnotes.xml"}, std::pair{u"/endnotes", "endnotes.xml"}}) {
            QByteArray name = related(*zip, main, type);
            if (name.isEmpty())
                name = folder + fallback;
            if (const std::optional<QByteArray> notes_part = zip->entry(name))
                reader.read(*notes_part, true);
        }
    }
    builder.finish(QTextBlockFormat());
    notes.append_to(document.get(), builder, QTextBlockFormat());
    out.status = DocxDocument::Status::ok;
    out.document = std::move(document);
    return out;
}

} // namespace talvence
