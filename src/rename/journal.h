// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal of a rename run: what every file of the folder was called
// before the run, written and made durable before the first rename, so that
// a run cut short by a kill, a crash or a power cut leaves every name
// recoverable. A run that ends (at its end or at a refused rename) removes
// its journal; one found when a folder is opened belongs to a run that was
// cut short, and restoring it gives every file back the name it had before.
//
// The journal holds each file's original name and identity (its inode
// number) in the order of the run's first pass, and before every pass the
// order of that pass and where its counter starts. The names a pass gives
// follow from those, so they need not be written: a file is found again
// under whichever of its names is on disk.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>

#include "folder.h"
#include "names.h"

namespace talvence {

class RunJournal {
public:
    enum class PassKind : char { Parking = 't', Numbering = 'n', Case = 'c' };
    struct Run {
        PassKind first = PassKind::Parking; // what the run is: parking/numbering, or case
        QByteArray prefix;                  // the numbering's prefix as the run reads it
        TargetCase target = TargetCase::Lower;
        bool turkic = false;
    };

    // Writes the journal of a run over `names` (the first pass's snapshot,
    // `ids` their inode numbers) and makes it durable. Null where no journal
    // can be written, in the folder or in the user's state folder: the run
    // then goes on without one.
    static std::unique_ptr<RunJournal> begin(int dirfd, const QByteArray &folder, const Run &run,
                                             const NameList &names, const FileIds &ids);
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // Files that a pass meets for the first time (someone put them there
    // while the run went on): they get the next record numbers.
    std::uint32_t add(int dirfd, const NameList &names, qsizetype from);
    // Before a pass: its kind, where its counter starts, and which record
    // each of its files is, in the order it takes them. Durable on return,
    // together with the end of the pass before.
    bool begin_pass(PassKind kind, std::int64_t counter_start,
                    const std::vector<std::uint32_t> &order);
    // How many renames the pass made before it ended.
    void end_pass(qsizetype renamed);
    // The run has ended without being cut short: the journal goes.
    void finish();

    std::uint32_t records() const { return records_; }
    // The parking name of a record: one the run and a later restore both
    // know, so that a file caught on it is found again.
    QByteArray park_name(std::uint32_t record) const;

private:
    RunJournal() = default;
    bool append(const std::string &text, bool durable);

    int fd_ = -1;
    int dirfd_ = -1; // the folder that holds the journal file
    QByteArray path_;
    QByteArray stem_;
    std::uint32_t records_ = 0;
    std::string pending_;
};

// A journal of a run that was cut short, found beside a folder.
struct InterruptedRun {
    QByteArray journal; // the journal file's path
    qint64 started = 0; // when the run began, for the order of several
};

// The journals of runs cut short in this folder, the newest first; a run
// still going on in another process does not count.
std::vector<InterruptedRun> find_interrupted_runs(const QByteArray &folder);

struct RestoreReport {
    qsizetype restored = 0;
    // Files left as they are: their name now, the one they had before.
    std::vector<std::pair<QByteArray, QByteArray>> taken;    // someone else holds the old name
    std::vector<std::pair<QByteArray, QByteArray>> replaced; // not the file the run renamed
    std::vector<QByteArray> missing;                         // gone: old names
    bool finished = false;                                   // the journal is done with and removed
    bool problems() const { return !taken.empty() || !replaced.empty() || !missing.empty(); }
};

// Gives every file of the run its name from before the run. Never replaces
// a file; a file that someone else renamed or replaced since is left alone
// and reported. Safe to cut short too: running it again finishes the job.
// `progress` hears of every file given back; false stops the restore there.
RestoreReport restore_interrupted_run(const QByteArray &folder, const InterruptedRun &run,
                                      const RenameProgress &progress = {});

// Forgets a run cut short: the folder stays as it is.
bool drop_interrupted_run(const InterruptedRun &run);

} // namespace talvence
