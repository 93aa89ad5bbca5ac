// SPDX-License-Identifier: GPL-3.0-or-later
#include "plaintext.h"

#include <cstring>
#include <optional>

#include "codepagedecoder.h"
#include "utf8.h"

namespace talvence {

namespace {

constexpr char16_t replacement = 0xFFFD;

// What a decoded character shows as. CR is handled by the caller: whether it
// is dropped or becomes a line end depends on what follows.
inline char16_t visible(char16_t c)
{
    if (c < 0x20)
        return c == '\t' || c == '\n' ? c : char16_t(0x2400 + c);
    if (c == 0x7F)
        return 0x2421;
    if (c >= 0x80 && c < 0xA0)
        return replacement;
    return c;
}

// Writes decoded text into a buffer that is large enough from the start: no
// encoding here gives more UTF-16 units than the file has bytes.
class Output {
public:
    explicit Output(qsizetype capacity) : text_(capacity, Qt::Uninitialized) { p_ = begin(); }
    // A CR is a line end; a CR right before an LF gives way to it.
    void put_cr(bool lf_follows)
    {
        if (!lf_follows)
            *p_++ = '\n';
    }
    void put(char16_t c) { *p_++ = visible(c); }
    void put_raw(char16_t c) { *p_++ = c; }
    QString take()
    {
        text_.truncate(p_ - begin());
        return std::move(text_);
    }

private:
    char16_t *begin() { return reinterpret_cast<char16_t *>(text_.data()); }

    QString text_;
    char16_t *p_;
};

void put_code_point(Output &out, char32_t u)
{
    if (u < 0x10000) {
        out.put(char16_t(u));
    } else {
        out.put_raw(char16_t(0xD800 + ((u - 0x10000) >> 10)));
        out.put_raw(char16_t(0xDC00 + ((u - 0x10000) & 0x3FF)));
    }
}

// Copies eight bytes at p when they are all printable ASCII, which is
// nearly all of a log; false (and nothing written) otherwise.
inline bool put_ascii_block(Output &out, const unsigned char *p)
{
    quint64 word;
    std::memcpy(&word, p, 8);
    // No byte with its top bit set, none below 0x20, none equal to 0x7F.
    const quint64 high = word & 0x8080808080808080ULL;
    const quint64 low = (word - 0x2020202020202020ULL) & ~word & 0x8080808080808080ULL;
    const quint64 del = ((word ^ 0x7F7F7F7F7F7F7F7FULL) - 0x0101010101010101ULL) &
                        ~(word ^ 0x7F7F7F7F7F7F7F7FULL) & 0x8080808080808080ULL;
    if ((high | low | del) != 0)
        return false;
    for (int k = 0; k < 8; ++k)
        out.put_raw(p[k]);
    return true;
}

// One pass, ASCII eight bytes at a time. Without
// `lenient` the first invalid sequence ends it with an empty optional, and
// the file is read as Windows-1252 instead; with it (after a byte order
// mark) an invalid byte becomes U+FFFD.
std::optional<QString> decode_utf8(const unsigned char *p, qsizetype n, bool lenient)
{
    Output out(n);
    qsizetype i = 0;
    while (i < n) {
        if (n - i >= 8 && put_ascii_block(out, p + i)) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c == '\r')
                out.put_cr(i + 1 < n && p[i + 1] == '\n');
            else
                out.put(c);
            ++i;
            continue;
        }
        char32_t u;
        const int len = talvence::decode_utf8(p + i, n - i, &u);
        if (len == 0) {
            if (!lenient)
                return std::nullopt;
            out.put_raw(replacement);
            ++i;
            continue;
        }
        put_code_point(out, u);
        i += len;
    }
    return out.take();
}

QString decode_utf16(const unsigned char *p, qsizetype n, bool big_endian)
{
    Output out(n / 2 + 1);
    auto unit = [&](qsizetype i) {
        return big_endian ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]);
    };
    qsizetype i = 0;
    for (; i + 1 < n; i += 2) {
        const char16_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < n) {
            const char16_t next = unit(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                out.put_raw(c);
                out.put_raw(next);
                i += 2;
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            out.put_raw(replacement);
        else if (c == '\r')
            out.put_cr(i + 3 < n && unit(i + 2) == '\n');
        else
            out.put(c);
    }
    if (i < n)
        out.put_raw(replacement); // half a unit at the end
    return out.take();
}

QString decode_windows_1252(const unsigned char *p, qsizetype n)
{
    Output out(n);
    for (qsizetype i = 0; i < n;) {
        if (n - i >= 8 && put_ascii_block(out, p + i)) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        if (c == '\r')
            out.put_cr(i + 1 < n && p[i + 1] == '\n');
        else
            out.put(CodePageDecoder::windows_1252(c));
        ++i;
    }
    return out.take();
}

} // namespace

QString decode_plain_text(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return *decode_utf8(p + 3, n - 3, true);
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return decode_utf16(p + 2, n - 2, false);
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        return decode_utf16(p + 2, n - 2, true);
    if (std::optional<QString> text = decode_utf8(p, n, false))
        return std::move(*text);
    return decode_windows_1252(p, n);
}

PlainFormat detect_plain_encoding(QByteArrayView sample, bool whole)
{
    const auto *p = reinterpret_cast<const unsigned char *>(sample.data());
    const qsizetype n = sample.size();
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return {PlainEncoding::utf8, 3};
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return {PlainEncoding::utf16le, 2};
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        return {PlainEncoding::utf16be, 2};
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t u;
        const int len = talvence::decode_utf8(p + i, n - i, &u);
        if (len == 0) {
            // A character the sample's end cut in two is no evidence.
            if (!whole && n - i < 4) {
                const int expected = p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : 2;
                bool cut = p[i] >= 0xC2 && p[i] <= 0xF4 && n - i < expected;
                for (qsizetype k = i + 1; cut && k < n; ++k)
                    cut = (p[k] & 0xC0) == 0x80;
                if (cut)
                    break;
            }
            return {PlainEncoding::windows_1252, 0};
        }
        i += len;
    }
    return {PlainEncoding::utf8, 0};
}

QString decode_plain_line(QByteArrayView bytes, PlainEncoding encoding)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    switch (encoding) {
    case PlainEncoding::utf8:
        return *decode_utf8(p, n, true);
    case PlainEncoding::utf16le:
        return decode_utf16(p, n, false);
    case PlainEncoding::utf16be:
        return decode_utf16(p, n, true);
    case PlainEncoding::windows_1252:
        break;
    }
    return decode_windows_1252(p, n);
}

} // namespace talvence
