// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The naming rules of the two batch renames. File names are raw bytes,
// cut and counted by characters (utf8.h).

#include <cstdint>
#include <string>

#include <QByteArray>
#include <QByteArrayView>

#include "utf8.h"

namespace talvence {

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

} // namespace talvence
