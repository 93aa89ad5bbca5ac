// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The naming rules of the two batch renames. File names are raw bytes; a
// character is one valid UTF-8 sequence or one byte that belongs to none, so
// every name on disk, text or not, is cut, counted and mapped without loss.

#include <cstdint>
#include <string>

#include <QByteArray>
#include <QByteArrayView>

namespace talvence {

enum class TargetCase { Lower, Upper };

// The UTF-8 character at p: its length and code point, or 0 when the bytes
// there are no valid sequence (a stray byte, which counts as a character of
// its own in a name). Overlong forms and surrogates are not valid.
int decode_utf8(const unsigned char *p, qsizetype n, char32_t *out);

// Bytes taken by the character that starts at data[0] (at least 1; 0 for an empty span).
int char_length(const char *data, qsizetype size);
qsizetype char_count(const QByteArray &text);

// The last four characters of a name, or the whole name when it is shorter.
QByteArray name_tail(const QByteArray &name);

// "_zyx_ " + number + tail: the parking name every file takes before its final one.
QByteArray make_temp_name(std::int64_t number, QByteArrayView name);

// The final name. A non-empty prefix (counted raw, blanks included) is used with
// its outer blanks removed; without one the name is number + tail, blanks trimmed.
QByteArray make_numbered_name(std::int64_t number, QByteArrayView prefix, QByteArrayView name);

// The same two names written into `out`, which the renames keep from one
// file to the next, so that a new name costs no allocation.
void make_temp_name(std::int64_t number, QByteArrayView name, std::string &out);
void make_numbered_name(std::int64_t number, QByteArrayView prefix, QByteArrayView name,
                        std::string &out);

// Longest prefix that the numbering rename accepts: 235 characters, and no
// more than 235 bytes once encoded, so that the number and the kept ending
// still fit the 255 bytes a file system allows for a name.
inline constexpr qsizetype max_prefix_chars = 235;
inline constexpr qsizetype max_prefix_bytes = 235;
bool prefix_too_long(const QByteArray &prefix);

// Maps every character to the target case with the simple (one-to-one) case
// mapping, so the name keeps its length; bytes that are no character stay as
// they are. Turkic rules map i/İ and ı/I as Turkish and Azerbaijani do.
QByteArray case_name(QByteArrayView name, TargetCase target, bool turkic);
// The same into the first bytes of `out`, which it may grow; the new name's length.
std::size_t case_name(QByteArrayView name, TargetCase target, bool turkic, std::string &out);
// The same with the rules of the user's language.
QByteArray case_name(QByteArrayView name, TargetCase target);
bool locale_is_turkic();

// Whether two names differ in letter case alone.
bool same_but_case(const QByteArray &a, const QByteArray &b);

// Display text of a raw name: invalid bytes become U+FFFD.
QString display_name(QByteArrayView raw);

} // namespace talvence
