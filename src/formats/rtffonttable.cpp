// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtffonttable.h"

#include <algorithm>

#include <QString>

namespace talvence {

namespace {

constexpr int max_font_name = 256;

// Word writes a font for each script ("Arial CE", "Times New Roman Cyr");
// the face installed is the one without the suffix.
QStringList font_families(const QString &name)
{
    static const char *const suffixes[] = {" CE",     " Cyr",      " Greek",    " Tur",
                                           " Baltic", " (Hebrew)", " (Arabic)", " (Vietnamese)"};
    // The family without the suffix comes first: the system's substitutes
    // ("Times New Roman" drawn by a metric twin) are found only for the
    // first family asked for.
    for (const char *suffix : suffixes) {
        if (name.endsWith(QLatin1String(suffix)))
            return {name.chopped(qsizetype(qstrlen(suffix))), name};
    }
    return {name};
}

} // namespace

const RtfFontTable::Font *RtfFontTable::font(int number) const
{
    const auto it = fonts_.find(number < 0 ? default_font_ : number);
    return it == fonts_.end() ? nullptr : &it->second;
}

int RtfFontTable::code_page_of(const Font *f) const
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

RtfFontTable::Font *RtfFontTable::entry()
{
    const auto it = fonts_.find(entry_);
    return entry_ < 0 || it == fonts_.end() ? nullptr : &it->second;
}

void RtfFontTable::begin_entry(int number, std::size_t depth)
{
    if (entry_ >= 0)
        finish_entry();
    entry_ = number;
    entry_depth_ = depth;
    fonts_[number] = Font();
}

void RtfFontTable::entry_text(std::string_view bytes)
{
    if (entry_ < 0)
        return;
    Font &f = fonts_[entry_];
    if (f.name_done)
        return;
    const std::size_t end = std::min(bytes.find(';'), bytes.size());
    if (f.name_bytes.size() + qsizetype(end) <= max_font_name)
        f.name_bytes.append(bytes.data(), qsizetype(end));
    if (end < bytes.size())
        finish_entry();
}

void RtfFontTable::set_charset(int charset)
{
    if (Font *f = entry())
        f->charset = charset;
}

void RtfFontTable::set_code_page(int code_page)
{
    if (Font *f = entry())
        f->code_page = std::max(code_page, 0);
}

void RtfFontTable::set_hint(QFont::StyleHint hint)
{
    if (Font *f = entry())
        f->hint = hint;
}

void RtfFontTable::finish_entry()
{
    Font *f = entry();
    if (!f || f->name_done)
        return;
    f->name_done = true;
    // The name is in the font's own code page, like its text.
    int cp = f->code_page > 0 ? f->code_page : CodePageDecoder::code_page_of_charset(f->charset);
    if (cp == 0 || cp == CodePageDecoder::symbol)
        cp = document_code_page_;
    QString name;
    decoder_.append(name, f->name_bytes, cp);
    name = name.trimmed();
    if (!name.isEmpty()) {
        f->families = font_families(name);
        f->symbol = symbol_font_of(name);
    }
    f->name_bytes.clear();
}

const RtfFontTable::Font *RtfFontTable::face_for(int number)
{
    const auto it = fonts_.find(number < 0 ? default_font_ : number);
    if (it == fonts_.end())
        return nullptr;
    Font &f = it->second;
    if (f.face_used)
        return &f;
    if (faces_used_ < max_faces) {
        ++faces_used_;
        f.face_used = true;
        return &f;
    }
    const Font *fallback = font(-1);
    return fallback && fallback->face_used ? fallback : nullptr;
}

} // namespace talvence
