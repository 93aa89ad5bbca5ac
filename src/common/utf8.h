// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Characters of raw names and text. A character is one valid UTF-8 sequence
// or one byte that belongs to none, so every name on disk, text or not, is
// cut, counted and mapped without loss.

#include <string>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace talvence {

enum class TargetCase { Lower, Upper };

// The UTF-8 character at p: its length and code point, or 0 when the bytes
// there are no valid sequence (a stray byte, which counts as a character of
// its own in a name). Overlong forms and surrogates are not valid.
int decode_utf8(const unsigned char *p, qsizetype n, char32_t *out);

// Bytes taken by the character that starts at data[0] (at least 1; 0 for an empty span).
int char_length(const char *data, qsizetype size);
qsizetype char_count(const QByteArray &text);

// Where the last four characters of a name begin, and those characters (the
// whole name when it is shorter): the ending a numbered name keeps and the
// one that decides which viewer opens a file.
qsizetype tail_start(QByteArrayView name);
QByteArray name_tail(const QByteArray &name);

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
