// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Giving the files of one recorded run the names they had before it: for a
// run cut short and for an undo alike. Linear in the files: each file moves
// once, straight onto its old name where that is free; files that wait for
// each other's names move from the free end of their chain, and only a ring
// of them steps aside onto a parking name. Never replaces a file.

#include <memory>
#include <utility>
#include <vector>

#include <QByteArray>

#include "folder.h"
#include "journal.h"

namespace talvence {

struct RestoreReport {
    qsizetype restored = 0;
    // Files left as they are: their name now, the one they had before.
    std::vector<std::pair<QByteArray, QByteArray>> taken;    // someone else holds the old name
    std::vector<std::pair<QByteArray, QByteArray>> replaced; // not the file the run renamed
    std::vector<std::pair<QByteArray, QByteArray>> renamed;  // renamed by someone since the run
    std::vector<QByteArray> missing;                         // gone: old names
    // Renames the system refused for another reason (an I/O error, a
    // pulled stick): the old name and the error. The record stays.
    std::vector<std::pair<QByteArray, int>> failed;
    int folder_error = 0;  // the folder could not be opened or read: nothing done
    bool unplaced = false; // most files were not found: nothing done, the record stays
    bool locked = false;   // another Talvence holds the record
    bool damaged = false;  // the record is not one that can be read
    bool stopped = false;  // a stop signal ended it between two renames
    bool finished = false; // the record has done its job and is removed
    bool problems() const
    {
        return !taken.empty() || !replaced.empty() || !renamed.empty() || !missing.empty() ||
               !failed.empty() || folder_error || unplaced || locked || damaged;
    }
    void merge(const RestoreReport &other);
};

enum class RestoreKind {
    Interrupted, // a run cut short: a file is followed by its identity wherever it went
    Undo,        // a run taken back: a file someone renamed since keeps that name
};

// The entries of one folder, read on a thread of their own from the moment
// the reading is made, so that a record can be read meanwhile. The folder is
// opened once, here: the restore renames in the folder that was read.
class FolderReading {
public:
    // `likely_files`, `likely_bytes`: the entries and name bytes to make room for.
    explicit FolderReading(const QByteArray &folder, std::size_t likely_files = 0,
                           std::size_t likely_bytes = 0);
    // A reading no one waited for is stopped, then waited for.
    ~FolderReading();
    FolderReading(const FolderReading &) = delete;
    FolderReading &operator=(const FolderReading &) = delete;

    const Folder &folder() const;
    // Waits for the reading: 0, or the errno value that ended it early.
    int wait();

private:
    struct State;
    std::unique_ptr<State> d_;
    friend RestoreReport restore_record(FolderReading &reading, const RunRecord &record,
                                        bool identity, RestoreKind kind,
                                        const RenameProgress &progress);
};

// Gives every file of `record` its name from before the run. `identity`:
// the record's ids may be held against the folder's (the record's file
// system gives files lasting inode numbers, and this is its folder, not a
// copy). Safe to cut short: running it again finishes the job.
// `progress` hears of every file given back; false stops it there.
RestoreReport restore_record(const QByteArray &folder, const RunRecord &record, bool identity,
                             RestoreKind kind, const RenameProgress &progress = {});
// The same with the reading of the folder begun already.
RestoreReport restore_record(FolderReading &reading, const RunRecord &record, bool identity,
                             RestoreKind kind, const RenameProgress &progress = {});

} // namespace talvence
