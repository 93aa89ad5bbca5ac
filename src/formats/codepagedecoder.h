// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Text in the code pages of the word processors that write RTF. The three
// the program must show right (Windows-1252 Western, 1250 Central European,
// 1251 Cyrillic) and the symbol fonts come from tables of our own; any other
// code page (the Mac ones too) from Qt's converter where this Qt build has
// one (Debian's Qt carries ICU's), else read as Windows-1252.

#include <map>

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include "symbolfonts.h"

namespace talvence {

class CodePageDecoder {
public:
    // Windows' own number for the code page of the Symbol charset.
    static constexpr int symbol = 42;
    // Ours, below 0: the code page of a symbol font known by its name.
    static constexpr int of_symbol_font(SymbolFont font) { return -int(font); }

    // The code page an RTF \fcharset stands for; 0 for the default charset,
    // which takes the document's code page (\ansicpg).
    static int code_page_of_charset(int charset);

    // One byte of Windows-1252; the five bytes it leaves undefined give U+FFFD.
    static char16_t windows_1252(unsigned char byte);

    // Appends `bytes` in `code_page` to `out`. A code page of several bytes
    // per character needs its bytes in one call: a lead byte at the end of
    // one call does not wait for its trail byte in the next.
    void append(QString &out, QByteArrayView bytes, int code_page);

private:
    QStringDecoder *converter(int code_page);

    std::map<int, QStringDecoder> converters_;
};

} // namespace talvence
