// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtftokenizer.h"

#include <limits>

namespace talvence {

namespace {

bool is_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes that end a run of text.
bool is_special(char c)
{
    return c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n';
}

} // namespace

RtfTokenizer::RtfTokenizer(QByteArrayView data) : data_(data.data()), size_(data.size()) {}

RtfTokenizer::Token RtfTokenizer::next()
{
    Token t;
    for (;;) {
        if (pos_ >= size_)
            return t;
        const char c = data_[pos_];
        if (c == '\r' || c == '\n') {
            ++pos_; // line ends in RTF are for people reading the source
            continue;
        }
        if (c == '{') {
            ++pos_;
            t.kind = Kind::group_open;
            return t;
        }
        if (c == '}') {
            ++pos_;
            t.kind = Kind::group_close;
            return t;
        }
        if (c == '\\')
            return control();
        const qsizetype start = pos_;
        while (pos_ < size_ && !is_special(data_[pos_]))
            ++pos_;
        t.kind = Kind::text;
        t.text = std::string_view(data_ + start, std::size_t(pos_ - start));
        return t;
    }
}

RtfTokenizer::Token RtfTokenizer::control()
{
    Token t;
    ++pos_; // the backslash
    if (pos_ >= size_)
        return t;
    const char c = data_[pos_];
    if (!is_letter(c)) {
        ++pos_;
        if (c == '\'') {
            if (size_ - pos_ >= 2) {
                const int hi = hex_value(data_[pos_]);
                const int lo = hex_value(data_[pos_ + 1]);
                if (hi >= 0 && lo >= 0) {
                    pos_ += 2;
                    t.kind = Kind::hex_byte;
                    t.byte = static_cast<unsigned char>(hi << 4 | lo);
                    return t;
                }
            }
            // A broken \' shows nothing; what follows it is read as usual.
        }
        t.kind = Kind::control_symbol;
        t.symbol = c;
        return t;
    }

    const qsizetype start = pos_;
    while (pos_ < size_ && is_letter(data_[pos_]))
        ++pos_;
    t.kind = Kind::control_word;
    t.word = std::string_view(data_ + start, std::size_t(pos_ - start));

    // The parameter: an optional minus and digits. Values beyond the range
    // of int stop growing at its ends; the digits are all consumed anyway.
    bool negative = false;
    if (pos_ < size_ && data_[pos_] == '-' && pos_ + 1 < size_ && is_digit(data_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    if (pos_ < size_ && is_digit(data_[pos_])) {
        long long value = 0;
        constexpr long long limit = std::numeric_limits<int>::max();
        while (pos_ < size_ && is_digit(data_[pos_])) {
            if (value <= limit)
                value = value * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (value > limit)
            value = limit;
        t.has_parameter = true;
        t.parameter = int(negative ? -value : value);
    }
    if (pos_ < size_ && data_[pos_] == ' ')
        ++pos_; // the space that ends a control word belongs to it

    if (t.word == "bin") {
        // Raw bytes follow, braces and backslashes among them: they must be
        // stepped over whole, or they would be read as RTF.
        const qsizetype n = t.has_parameter && t.parameter > 0 ? t.parameter : 0;
        const qsizetype taken = qMin(n, size_ - pos_);
        t.text = std::string_view(data_ + pos_, std::size_t(taken));
        pos_ += taken;
        t.kind = Kind::binary;
    }
    return t;
}

void RtfTokenizer::skip_group()
{
    qsizetype depth = 1;
    while (pos_ < size_) {
        const char c = data_[pos_];
        if (c == '{') {
            ++depth;
            ++pos_;
        } else if (c == '}') {
            ++pos_;
            if (--depth == 0)
                return;
        } else if (c == '\\') {
            if (pos_ + 1 < size_ && is_letter(data_[pos_ + 1])) {
                const Token t = control();
                (void)t; // \bin has skipped its data inside control()
            } else {
                pos_ += 2; // an escaped brace or backslash counts for nothing
            }
        } else {
            ++pos_;
        }
    }
    pos_ = qMin(pos_, size_);
}

} // namespace talvence
