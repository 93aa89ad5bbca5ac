// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The font table of an RTF document (\fonttbl): each font's name, the
// families that show it, its code page and whether it is a symbol font, and
// the document's code page for text in no font. A font's name may come in
// pieces, after groups of its own (\panose, \falt), and ends with ";" or
// with the font's group.

#include <cstddef>
#include <map>
#include <string_view>

#include <QByteArray>
#include <QFont>
#include <QStringList>

#include "codepagedecoder.h"
#include "symbolfonts.h"

namespace talvence {

class RtfFontTable {
public:
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

    // Fonts of one document that get their own face: each face costs the
    // view a search through the system's fonts when it lays the text out.
    static constexpr int max_faces = 256;

    explicit RtfFontTable(CodePageDecoder &decoder) : decoder_(decoder) {}

    void set_document_code_page(int code_page) { document_code_page_ = code_page; }
    int document_code_page() const { return document_code_page_; }
    void set_default_font(int number) { default_font_ = number; }

    // Font `number`, -1 for the document's default; null where the table
    // has none.
    const Font *font(int number) const;
    // The code page of text in `font` (null: in no font). A symbol font's
    // is below 0 (CodePageDecoder::of_symbol_font).
    int code_page_of(const Font *font) const;
    int code_page(int number) const { return code_page_of(font(number)); }

    // The entry \f`number` of the table starts; `depth` is the number of
    // groups open there.
    void begin_entry(int number, std::size_t depth);
    bool reading_entry() const { return entry_ >= 0; }
    std::size_t entry_depth() const { return entry_depth_; }
    // Text of the entry: its name up to the ";" that ends it.
    void entry_text(std::string_view bytes);
    void set_charset(int charset);
    void set_code_page(int code_page);
    void set_hint(QFont::StyleHint hint);
    // The entry's name is complete (its ";" or the end of its group).
    void finish_entry();

    // The font whose face draws text in font `number`: that font while the
    // document has faces to spare, else the default font where it has one.
    const Font *face_for(int number);

private:
    Font *entry();

    CodePageDecoder &decoder_;
    std::map<int, Font> fonts_;
    int document_code_page_ = 1252;
    int default_font_ = 0;
    int faces_used_ = 0;
    int entry_ = -1;              // the entry being read
    std::size_t entry_depth_ = 0; // the groups open where it started
};

} // namespace talvence
