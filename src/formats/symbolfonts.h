// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The symbol fonts of word processors: fonts whose bytes stand for signs
// rather than letters (Symbol's Greek and mathematics, the Wingdings and
// Webdings pictures, Zapf Dingbats). A document written in one of them
// means the signs, so the viewer shows the Unicode character of each sign,
// whichever fonts this system has.

#include <QString>
#include <QStringView>

namespace talvence {

enum class SymbolFont : signed char {
    none,
    symbol,
    wingdings,
    wingdings_2,
    wingdings_3,
    webdings,
    zapf_dingbats,
    marlett,
    mt_extra,
};

// The symbol font a font name stands for ("Wingdings 2", "ITC Zapf
// Dingbats", "SymbolMT"), none for any other name.
SymbolFont symbol_font_of(QStringView name);

// Appends the signs `bytes` stand for in `font` (not none): the Unicode
// character where Unicode has one, U+FFFD where it has none.
void append_symbols(QString &out, QByteArrayView bytes, SymbolFont font);

} // namespace talvence
