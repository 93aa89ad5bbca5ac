// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf8.h"

#include <cstdint>
#include <cstring>

#include <QByteArrayView>
#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringDecoder>

namespace talvence {

namespace {

bool is_cont(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

} // namespace

int decode_utf8(const unsigned char *p, qsizetype n, char32_t *out)
{
    const unsigned char c = p[0];
    if (c < 0x80) {
        *out = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        if (n >= 2 && is_cont(p[1])) {
            *out = (char32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
            return 2;
        }
        return 0;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (n < 3 || !is_cont(p[2]))
            return 0;
        const unsigned char c1 = p[1];
        const bool ok = (c == 0xE0)   ? (c1 >= 0xA0 && c1 <= 0xBF)
                        : (c == 0xED) ? (c1 >= 0x80 && c1 <= 0x9F)
                                      : is_cont(c1);
        if (!ok)
            return 0;
        *out = (char32_t(c & 0x0F) << 12) | (char32_t(c1 & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (n < 4 || !is_cont(p[2]) || !is_cont(p[3]))
            return 0;
        const unsigned char c1 = p[1];
        const bool ok = (c == 0xF0)   ? (c1 >= 0x90 && c1 <= 0xBF)
                        : (c == 0xF4) ? (c1 >= 0x80 && c1 <= 0x8F)
                                      : is_cont(c1);
        if (!ok)
            return 0;
        *out = (char32_t(c & 0x07) << 18) | (char32_t(c1 & 0x3F) << 12) |
               (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

namespace {

// Writes the character at `out`; returns where the next one goes.
char *encode(char32_t u, char *out)
{
    if (u < 0x80) {
        *out++ = char(u);
    } else if (u < 0x800) {
        *out++ = char(0xC0 | (u >> 6));
        *out++ = char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        *out++ = char(0xE0 | (u >> 12));
        *out++ = char(0x80 | ((u >> 6) & 0x3F));
        *out++ = char(0x80 | (u & 0x3F));
    } else {
        *out++ = char(0xF0 | (u >> 18));
        *out++ = char(0x80 | ((u >> 12) & 0x3F));
        *out++ = char(0x80 | ((u >> 6) & 0x3F));
        *out++ = char(0x80 | (u & 0x3F));
    }
    return out;
}

char32_t map_case(char32_t u, TargetCase target, bool turkic)
{
    if (turkic) {
        if (target == TargetCase::Upper) {
            if (u == U'i')
                return U'\u0130';
            if (u == U'\u0131')
                return U'I';
        } else {
            if (u == U'I')
                return U'\u0131';
            if (u == U'\u0130')
                return U'i';
        }
    }
    const char32_t mapped = target == TargetCase::Upper ? QChar::toUpper(u) : QChar::toLower(u);
    // A mapping must stay a character that UTF-8 can carry; otherwise keep it.
    return (mapped >= 0xD800 && mapped <= 0xDFFF) || mapped > 0x10FFFF ? u : mapped;
}

} // namespace

int char_length(const char *data, qsizetype size)
{
    if (size <= 0)
        return 0;
    char32_t u;
    const int n = decode_utf8(reinterpret_cast<const unsigned char *>(data), size, &u);
    return n ? n : 1;
}

qsizetype char_count(const QByteArray &text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i += char_length(text.data() + i, text.size() - i))
        ++count;
    return count;
}

// A forward walk: with stray bytes about, only the start knows where
// characters begin.
qsizetype tail_start(QByteArrayView name)
{
    // Four ASCII bytes at the end are four characters whatever stands
    // before them, since no character's bytes reach into an ASCII byte.
    const qsizetype size = name.size();
    if (size > 4) {
        const auto *const end = reinterpret_cast<const unsigned char *>(name.data()) + size;
        if (((end[-1] | end[-2] | end[-3] | end[-4]) & 0x80) == 0)
            return size - 4;
    }
    qsizetype starts[4] = {0, 0, 0, 0};
    qsizetype count = 0;
    const char *const data = name.constData();
    for (qsizetype i = 0; i < size;) {
        starts[count++ % 4] = i;
        i += static_cast<unsigned char>(data[i]) < 0x80 ? 1 : char_length(data + i, size - i);
    }
    return count <= 4 ? 0 : starts[count % 4];
}

QByteArray name_tail(const QByteArray &name)
{
    return name.mid(tail_start(name));
}

namespace {

// Eight ASCII bytes at once: the high bit of each byte that lies in
// [lo, hi], which every byte below 0x80 reaches without a carry into the next.
std::uint64_t in_range(std::uint64_t w, unsigned char lo, unsigned char hi)
{
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    return (w + ones * (0x80u - lo)) & ~(w + ones * (0x7Fu - hi)) & highs;
}

} // namespace

std::size_t case_name(QByteArrayView name, TargetCase target, bool turkic, std::string &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(name.data());
    const qsizetype n = name.size();
    const bool upper = target == TargetCase::Upper;
    // No character takes more than four bytes, whatever it had before. The
    // buffer only grows: it goes from name to name.
    if (out.size() < std::size_t(4 * n))
        out.resize(std::size_t(4 * n));
    char *const start = out.data();
    char *o = start;
    const unsigned char lo = upper ? 'a' : 'A';
    for (qsizetype i = 0; i < n;) {
        // Most names are ASCII, most of the rest mostly: eight bytes at a
        // time where they are; the Turkic i takes the long way.
        if (!turkic && i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (!(w & 0x8080808080808080u)) {
                w ^= in_range(w, lo, lo + 25) >> 2; // 0x80 >> 2: the case bit
                std::memcpy(o, &w, 8);
                o += 8;
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80 && !(turkic && (c == 'i' || c == 'I'))) {
            *o++ = char(unsigned(c - lo) < 26u ? c ^ 0x20 : c);
            ++i;
            continue;
        }
        char32_t u;
        const int len = decode_utf8(p + i, n - i, &u);
        if (len == 0) {
            *o++ = char(c);
            ++i;
            continue;
        }
        o = encode(map_case(u, target, turkic), o);
        i += len;
    }
    return std::size_t(o - start);
}

QByteArray case_name(QByteArrayView name, TargetCase target, bool turkic)
{
    std::string out;
    out.resize(case_name(name, target, turkic, out));
    return QByteArray(out.data(), qsizetype(out.size()));
}

bool locale_is_turkic()
{
    const QLocale::Language lang = QLocale().language();
    return lang == QLocale::Turkish || lang == QLocale::Azerbaijani;
}

QByteArray case_name(QByteArrayView name, TargetCase target)
{
    return case_name(name, target, locale_is_turkic());
}

bool same_but_case(const QByteArray &a, const QByteArray &b)
{
    if (a == b)
        return false;
    for (const bool turkic : {false, true}) {
        if (case_name(a, TargetCase::Lower, turkic) == case_name(b, TargetCase::Lower, turkic) ||
            case_name(a, TargetCase::Upper, turkic) == case_name(b, TargetCase::Upper, turkic))
            return true;
    }
    return false;
}

QString display_name(QByteArrayView raw)
{
    // A name may well begin with a byte order mark; it must not look like
    // the same name without one. Stateless: a sequence cut off at the end is
    // shown, not held back for bytes that will never come.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8(raw);
}

} // namespace talvence
