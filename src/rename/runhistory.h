// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The recorded runs of a folder and what is done with them: runs cut short
// are restored newest first, each giving back the names the one before
// left, up to one that does not finish; finished runs are taken back one by
// one, the last first. A record goes only once it has done its job.

#include <optional>
#include <vector>

#include <QByteArray>

#include "folder.h"
#include "journal.h"
#include "restore.h"

namespace talvence {

// A record of a run cut short, found beside a folder or in the state folder.
struct InterruptedRun {
    QByteArray journal; // the record file's path
    qint64 started = 0; // when the run began, for the order of several
    bool undo = false;  // an undo of a finished run, cut short
};

// The runs cut short in this folder, the newest first; a run still going
// on in another process does not count. Only the records' heads are read.
// `damaged`, where given, learns the records that cannot be read.
std::vector<InterruptedRun> find_interrupted_runs(const QByteArray &folder,
                                                  std::vector<QByteArray> *damaged = nullptr);

// Gives every file of one run its name from before the run (see
// restore_record); the record goes when that is done.
RestoreReport restore_interrupted_run(const QByteArray &folder, const InterruptedRun &run,
                                      const RenameProgress &progress = {});
// All of them, newest first, up to the first that does not finish; one
// report for all.
RestoreReport restore_interrupted_runs(const QByteArray &folder,
                                       const std::vector<InterruptedRun> &runs,
                                       const RenameProgress &progress = {});

// Forgets a run cut short: the folder stays as it is.
void drop_interrupted_run(const InterruptedRun &run);

// The last run of a folder that can be taken back.
struct UndoableRun {
    QByteArray record;
    qint64 started = 0;
    PassKind kind = PassKind::Numbering; // Numbering, or Case
    TargetCase target = TargetCase::Lower;
    qsizetype files = 0;
};
std::optional<UndoableRun> last_undoable_run(const QByteArray &folder);

// Takes the last run of the folder back; its record goes when that is done.
// Cut short, the record is an interrupted run for the next opening.
RestoreReport undo_run(const QByteArray &folder, const UndoableRun &run,
                       const RenameProgress &progress = {});

} // namespace talvence
