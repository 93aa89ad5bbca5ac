// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Splits RTF bytes into groups, control words, control symbols and text.
// Nothing here depends on what a word means; the reader does that. Every
// read is bounds-checked, so truncated input simply ends the token stream.

#include <string_view>

#include <QByteArrayView>

namespace talvence {

class RtfTokenizer {
public:
    enum class Kind {
        end,            // no more input
        group_open,     // {
        group_close,    // }
        control_word,   // \word or \wordN; `word`, `has_parameter`, `parameter`
        control_symbol, // \x for a non-letter x other than '; `symbol`
        hex_byte,       // \'hh; `byte`
        binary,         // \binN with its N bytes of data, in `text`
        text,           // a run of bytes without \ { } and line ends; `text`
    };

    struct Token {
        Kind kind = Kind::end;
        std::string_view word;
        bool has_parameter = false;
        int parameter = 0;
        char symbol = 0;
        unsigned char byte = 0;
        std::string_view text;
    };

    explicit RtfTokenizer(QByteArrayView data);

    Token next();

    // How far the input has been read, in bytes.
    qsizetype position() const { return pos_; }

    // Skips the rest of the group open at the current position, its closing
    // brace and everything nested in it included, binary data too. A loop
    // with a counter: the input decides how deep it goes, not the stack.
    void skip_group();

private:
    Token control();

    const char *data_;
    qsizetype size_;
    qsizetype pos_ = 0;
};

} // namespace talvence
