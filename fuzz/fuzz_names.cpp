// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as file names for the naming rules. A folder can hold any
// byte sequence without "/" and NUL as a name, and the rules must cut, count
// and map every one of them without losing a byte; the checks below are the
// promises the two batch renames stand on.
//
// Input: the first byte picks the running number and where the rest is split;
// the rest is the name, its front part the prefix and its back part a second name.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include "names.h"

namespace {

using talvence::TargetCase;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

bool is_stray(const QByteArray &s, qsizetype at, int len)
{
    return len == 1 && static_cast<unsigned char>(s[at]) >= 0x80;
}

// Character starts of a name, walked the only way that is sure with stray
// bytes about: from the front.
std::vector<qsizetype> char_starts(const QByteArray &s)
{
    std::vector<qsizetype> starts;
    for (qsizetype i = 0; i < s.size(); i += talvence::char_length(s.constData() + i, s.size() - i))
        starts.push_back(i);
    return starts;
}

bool has_stray(const QByteArray &s)
{
    for (const qsizetype i : char_starts(s)) {
        if (is_stray(s, i, talvence::char_length(s.constData() + i, s.size() - i)))
            return true;
    }
    return false;
}

// Read straight from the fuzzer's buffer, which ends exactly where the input
// does, so a look past the end is caught.
void check_char_lengths(const std::uint8_t *data, std::size_t size)
{
    const auto *p = reinterpret_cast<const char *>(data);
    check(talvence::char_length(p, 0) == 0);
    for (std::size_t i = 0; i < size;) {
        const int len = talvence::char_length(p + i, qsizetype(size - i));
        check(len >= 1 && len <= 4 && std::size_t(len) <= size - i);
        if (len > 1) {
            // A sequence taken as one character is one that Qt reads as one
            // character too, and writes back unchanged. (A byte order mark is
            // a character here, so Qt is told to keep it.)
            const QByteArray seq(p + i, len);
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
            const QString text = utf8(seq);
            check(text.toUcs4().size() == 1 && text.toUtf8() == seq);
        }
        i += std::size_t(len);
    }
}

void check_tail(const QByteArray &name)
{
    const QByteArray tail = talvence::name_tail(name);
    const qsizetype count = talvence::char_count(name);
    check(name.endsWith(tail));
    check(talvence::char_count(tail) == std::min<qsizetype>(4, count));
    // The tail starts where a character of the whole name starts, not in the
    // middle of one.
    const auto starts = char_starts(name);
    check(qsizetype(starts.size()) == count);
    check(tail.isEmpty() ||
          std::find(starts.begin(), starts.end(), name.size() - tail.size()) != starts.end());
}

void check_case(const QByteArray &name, TargetCase target, bool turkic)
{
    const QByteArray mapped = talvence::case_name(name, target, turkic);
    check(talvence::char_count(mapped) == talvence::char_count(name));
    check(talvence::case_name(mapped, target, turkic) == mapped);
    check(mapped.count('/') == name.count('/'));
    check(mapped.count('\0') == name.count('\0'));

    // Character by character: a stray byte stays where it was, as it was, and
    // a character stays a character.
    const auto from = char_starts(name);
    const auto to = char_starts(mapped);
    check(from.size() == to.size());
    for (std::size_t k = 0; k < from.size(); ++k) {
        const int a = talvence::char_length(name.constData() + from[k], name.size() - from[k]);
        const int b = talvence::char_length(mapped.constData() + to[k], mapped.size() - to[k]);
        const bool stray = is_stray(name, from[k], a);
        check(stray == is_stray(mapped, to[k], b));
        if (stray)
            check(mapped[to[k]] == name[from[k]]);
    }

    check(talvence::same_but_case(name, mapped) == (mapped != name));
    check(talvence::same_but_case(mapped, name) == (mapped != name));
}

void check_display(const QByteArray &name)
{
    const QString text = talvence::display_name(name);
    // Every character of the name shows as one character, a stray byte as
    // U+FFFD; a byte order mark at the start is a character like any other.
    check(text.toUcs4().size() == talvence::char_count(name));
    if (!has_stray(name))
        check(text.toUtf8() == name);
    else
        check(text.contains(QChar::ReplacementCharacter));
}

void check_made_names(std::int64_t number, const QByteArray &prefix, const QByteArray &name)
{
    const QByteArray digits = QByteArray::number(qlonglong(number));
    const QByteArray tail = talvence::name_tail(name);

    const QByteArray temp = talvence::make_temp_name(number, name);
    check(temp == "_zyx_ " + digits + tail);
    check(!temp.contains('/') || name.contains('/'));
    check(!temp.contains('\0') || name.contains('\0'));

    const QByteArray made = talvence::make_numbered_name(number, prefix, name);
    check(!made.isEmpty() && made != "." && made != "..");
    check(!made.startsWith(' '));
    check(made.contains(digits));
    check(!made.contains('/') || prefix.contains('/') || name.contains('/'));
    check(!made.contains('\0') || prefix.contains('\0') || name.contains('\0'));
    if (!prefix.isEmpty())
        check(made.endsWith(digits + tail));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    check_char_lengths(data, size);
    if (size == 0)
        return 0;

    static constexpr std::int64_t numbers[] = {
        1, 2, 9, 10, 12345, 100000, std::int64_t(1) << 32, std::numeric_limits<std::int64_t>::max(),
    };
    const std::uint8_t control = data[0];
    const QByteArray name(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = name.size() * control / 256;
    const QByteArray prefix = name.left(split);
    const QByteArray other = name.mid(split);

    // Cut where a character starts, the two parts hold the characters of the
    // whole; cut inside one, its pieces count as stray bytes.
    const auto starts = char_starts(name);
    const qsizetype parts = talvence::char_count(prefix) + talvence::char_count(other);
    if (split == name.size() || std::find(starts.begin(), starts.end(), split) != starts.end())
        check(parts == talvence::char_count(name));
    else
        check(parts > talvence::char_count(name));

    check_tail(name);
    check_tail(other);
    for (const TargetCase target : {TargetCase::Lower, TargetCase::Upper}) {
        for (const bool turkic : {false, true}) {
            check_case(name, target, turkic);
            check_case(other, target, turkic);
        }
        check(talvence::case_name(name, target) ==
              talvence::case_name(name, target, talvence::locale_is_turkic()));
    }
    check(!talvence::same_but_case(name, name));
    check(talvence::same_but_case(prefix, other) == talvence::same_but_case(other, prefix));
    check_display(name);
    check_display(other);
    check_made_names(numbers[control % 8], prefix, name);
    check_made_names(numbers[(control / 8) % 8], QByteArray(), other);
    return 0;
}
