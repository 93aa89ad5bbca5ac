// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a run of either batch rename ended: what each returns, and what the
// window tells the user from.

#include <QtGlobal>

namespace talvence {

struct RunOutcome {
    enum class End {
        Finished,      // every pass went through
        Refused,       // a rename was refused and the run stopped there
        Stopped,       // a stop signal or a lack of memory ended it between two
                       // renames; its journal stays for a restore
        NoRecord,      // no journal could be written: no file was touched
        PrefixTooLong, // the prefix was refused: no file was touched
        NoFolder,      // the folder could not be read: no file was touched
    };
    End end = End::Finished;
    int cycles = 0;        // cycles that ran to their end (the case rename has one)
    qsizetype files = 0;   // files of the pass it ended in
    qsizetype reached = 0; // of those, how many that pass renamed
    qsizetype renamed = 0; // files the run gave a new name
    // Why a rename was refused, why no journal could be written, or ENOMEM
    // where the run stopped for want of memory (0 for a stop signal).
    int error = 0;
    bool undo = false; // an undo record of the run was left

    bool finished() const { return end == End::Finished; }
};

} // namespace talvence
