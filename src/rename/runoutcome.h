// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a run of either batch rename ended, for the window to tell the user.

#include <QtGlobal>

namespace talvence {

struct RunOutcome {
    enum class End {
        Finished,      // every pass went through
        Refused,       // a rename was refused and the run stopped there
        Stopped,       // a stop signal ended it between two renames; its journal stays
        NoRecord,      // no journal could be written: no file was touched
        PrefixTooLong, // the prefix was refused: no file was touched
        NoFolder,      // the folder could not be read: no file was touched
    };
    End end = End::Finished;
    qsizetype files = 0;   // files of the pass it ended in
    qsizetype reached = 0; // of those, how many that pass renamed
    qsizetype renamed = 0; // files the run gave a new name
    int error = 0;         // why a rename was refused, or why no journal could be written
    bool undo = false;     // an undo record of the run was left
};

} // namespace talvence
