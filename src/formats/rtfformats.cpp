// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtfformats.h"

#include <algorithm>

#include <QStringList>
#include <QTextOption>

#include "rtfcolourtable.h"
#include "rtffonttable.h"
#include "twips.h"

namespace talvence {

namespace {

// Formats carry these keys besides what they show: Qt finds a format in its
// collection by a hash that sees of a font list or a brush only its type,
// so formats that differ in nothing else (a document of many fonts) would
// all be compared with each other.
constexpr int font_key = QTextFormat::UserProperty + 1;
constexpr int colour_key = QTextFormat::UserProperty + 2;

} // namespace

RtfFormats::RtfFormats(RtfFontTable &fonts, const RtfColourTable &colours)
    : fonts_(fonts), colours_(colours)
{
}

void RtfFormats::forget()
{
    recent_.clear();
    applied_valid_ = false;
}

const QTextCharFormat *RtfFormats::changed_char_format(const RtfCharProps &p)
{
    if (applied_valid_ && p == applied_)
        return nullptr;
    auto cached = std::find_if(recent_.begin(), recent_.end(),
                               [&p](const auto &entry) { return entry.first == p; });
    if (cached == recent_.end()) {
        if (recent_.size() == max_recent)
            recent_.pop_back();
        recent_.emplace(recent_.begin(), p, make_char_format(p));
        cached = recent_.begin();
    }
    applied_ = p;
    applied_valid_ = true;
    return &cached->second;
}

QTextCharFormat RtfFormats::make_char_format(const RtfCharProps &p)
{
    QTextCharFormat f;
    if (const RtfFontTable::Font *font = fonts_.font(p.font)) {
        // A symbol font's signs have become Unicode characters on the way
        // in; the face that drew them from bytes would draw them wrong now
        // (Symbol's own face draws an arrow for ¬), so the document's
        // default face draws them.
        if (font->symbol == SymbolFont::none) {
            // Past the faces a document gets, further fonts' text takes the
            // default face.
            const RtfFontTable::Font *face = fonts_.face_for(p.font);
            if (face && !face->families.isEmpty())
                f.setFontFamilies(face->families);
        } else {
            // Faces with many of the signs follow for what the document's
            // face lacks.
            static const QStringList sign_faces{QStringLiteral("DejaVu Sans"),
                                                QStringLiteral("Noto Sans Symbols 2"),
                                                QStringLiteral("Symbola")};
            const RtfFontTable::Font *face = fonts_.font(-1);
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
    f.setProperty(font_key, p.font);
    if (p.colour != 0 || p.background != 0)
        f.setProperty(colour_key, int(unsigned(p.colour) * 65599u + unsigned(p.background)));
    if (const QColor c = colours_.colour(p.colour); c.isValid())
        f.setForeground(c);
    // Background 0 is none: \cb0, \highlight0 and \chcbpat0 switch it off,
    // whatever colour entry 0 of the table holds.
    if (const QColor c = colours_.colour(p.background); p.background > 0 && c.isValid())
        f.setBackground(c);
    if (!p.href.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(p.href);
    }
    return f;
}

QTextBlockFormat RtfFormats::block_format(const RtfParaProps &p)
{
    if (p == block_props_)
        return block_format_;
    QTextBlockFormat f;
    f.setAlignment(p.alignment);
    f.setLeftMargin(px(p.left));
    f.setRightMargin(px(p.right));
    f.setTextIndent(px(p.first));
    // A hanging paragraph (a list item) has a tab stop at its left indent,
    // where the text after its number starts. A number that ends at the
    // first-line indent, or is centred on it, needs room before it: the
    // first line starts at the margin, and a tab stop of the number's kind
    // stands at the indent (tab stops count from the first line's start).
    if (p.number_align != 0 && p.left + p.first > 0) {
        const double at = px(p.left + p.first);
        f.setTextIndent(-px(p.left));
        QList<QTextOption::Tab> tabs{QTextOption::Tab(
            at, p.number_align == 1 ? QTextOption::CenterTab : QTextOption::RightTab)};
        if (p.first < 0)
            tabs.append(QTextOption::Tab(px(p.left), QTextOption::LeftTab));
        f.setTabPositions(tabs);
    } else if (p.first < 0) {
        f.setTabPositions({QTextOption::Tab(px(-p.first), QTextOption::LeftTab)});
    }
    f.setTopMargin(px(p.before));
    f.setBottomMargin(px(p.after));
    f.setLayoutDirection(p.right_to_left ? Qt::RightToLeft : Qt::LeftToRight);
    block_props_ = p;
    block_format_ = f;
    return f;
}

} // namespace talvence
