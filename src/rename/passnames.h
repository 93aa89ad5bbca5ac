// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The names a pass of a run gives, in one place: the run renames by them and
// a restore or an undo works out from them where each file stands now. The
// record of a run holds only what a pass is (its kind, where its counter
// starts, the order of its files), never the names it gave.

#include <cstdint>
#include <string>
#include <string_view>

#include <QByteArray>
#include <QByteArrayView>

#include "names.h"

namespace talvence {

enum class PassKind : char { Parking = 't', Numbering = 'n', Case = 'c' };

// What a pass needs besides the file's name and its place in the pass.
struct PassRule {
    PassKind kind = PassKind::Parking;
    std::int64_t counter_start = 0; // the number before the pass's first
    QByteArray prefix;              // the numbering's prefix as the run read it
    TargetCase target = TargetCase::Lower;
    bool turkic = false;
};

// The new name of the file a pass takes at `place` (0 for the first),
// written into `out`.
void pass_new_name(const PassRule &rule, std::size_t place, QByteArrayView name, std::string &out);
QByteArray pass_new_name(const PassRule &rule, std::size_t place, QByteArrayView name);

// The parking names of a run: "<stem>-<record>.tmp", where the stem names
// the process and the moment the run began, so that no two runs share one.
// A file caught on its parking name (a change of case on a file system that
// ignores case, a ring of names in a restore) is found there again.
QByteArray park_stem(std::int64_t pid, std::int64_t started_ms);
// How every stem, and so every parking name, begins.
inline constexpr std::string_view park_stem_start = "talvence-";
QByteArray park_name(QByteArrayView stem, std::uint32_t record);
void park_name(QByteArrayView stem, std::uint32_t record, std::string &out);
// Whether a stem read from a record is one of ours: "talvence-", digits,
// "-", digits; nothing that could name another place.
bool is_park_stem(QByteArrayView stem);

} // namespace talvence
