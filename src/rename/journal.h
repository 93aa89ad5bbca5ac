// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The record of a rename run: its format, how it is written, read, found
// and locked. Written and made durable before the first rename, it holds
// what every file was called before the run and the file's identity, and
// before every pass what the pass is; the names a pass gives follow from
// that (passnames.h). While the run goes on the record is its journal: one
// found unlocked belongs to a run that was cut short. When the run comes to
// its end, at its end or at a refused rename, the record moves to the
// user's state folder and becomes the run's undo record.
//
// Records come from outside too (a folder unpacked from an archive, a
// shared stick), so reading one is bounded: regular files only, opened
// without waiting, size, counts and ranges capped, every name a plain name
// of the folder. One that breaks a rule is damaged and left alone.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QByteArray>

#include "folder.h"
#include "namelist.h"
#include "names.h"
#include "passnames.h"

namespace talvence {

// What a record may take; a real run stays far below each.
inline constexpr std::int64_t record_max_bytes = std::int64_t(512) << 20;
inline constexpr std::uint32_t record_max_files = 8000000;
inline constexpr std::size_t record_max_passes = 16;
inline constexpr int journals_per_folder = 100;
// Undo records kept: the last runs of each folder, and a bound on them all;
// the oldest go first.
inline constexpr int undo_records_per_folder = 10;
inline constexpr int undo_records_total = 200;
inline constexpr std::int64_t undo_bytes_total = std::int64_t(1) << 30;

struct RecordPass {
    PassRule rule;
    std::vector<std::uint32_t> order; // the record of each file, in the pass's order
    qsizetype done = -1;              // renames the pass made; -1 where it was cut short
};

// A record as read.
struct RunRecord {
    qint64 started = 0; // nanoseconds since 1970
    QByteArray folder;  // the folder's path when the run began
    std::uint64_t folder_id = 0;
    QByteArray park;                    // the stem of the run's parking names
    bool identity = false;              // the ids are the files' own inode numbers
    PassKind run = PassKind::Numbering; // Numbering, or Case
    QByteArray prefix;
    TargetCase target = TargetCase::Lower;
    bool turkic = false;
    bool ready = false;    // the record was whole before the first rename
    bool ended = false;    // the run came to its end
    bool undoing = false;  // taking the run back has begun
    std::size_t files = 0; // of the first pass
    NameList names;        // before the run; one per record
    std::vector<std::uint64_t> ids;
    std::vector<RecordPass> passes;
    // Files the run renamed at least once: the largest count of a pass.
    qsizetype renamed() const;
};

// Header: what the record is and whose (up to its "files" line), for a
// look when a folder is opened; Whole: everything.
enum class ParseDepth { Header, Whole };
// Nothing where the text is not a record of ours or breaks a cap or a
// rule. A last line cut off by a crash ends the record. Never throws.
std::optional<RunRecord> parse_record(std::string_view text, ParseDepth depth);

enum class RecordRead { Ok, Absent, Locked, Damaged };
// Reads a record file; `lock`, where given, keeps it open and locked
// against another Talvence (-1 otherwise).
RecordRead read_record(const QByteArray &path, ParseDepth depth, RunRecord &out,
                       int *lock = nullptr);
// Adds "undo" to a record held by `lock`, durable on return: from here on
// the record is an undo that was begun.
bool mark_undo_begun(int lock);
// Removes a record file for good.
void remove_record(const QByteArray &path);

// The user's state folder, $XDG_STATE_HOME/talvence (else
// ~/.local/state/talvence); empty where there is none.
QByteArray state_folder();
// The journals that may belong to a folder: in it, and in the state folder
// under the folder's stem. Not yet read.
std::vector<QByteArray> journal_paths(const QByteArray &folder);
// The undo records under the folder's stem in the state folder, not yet read.
std::vector<QByteArray> undo_paths(const QByteArray &folder);
// Whether a record read from `path` belongs to `folder`: one in the folder
// goes with it; one in the state folder names its path and identity.
bool record_belongs(const QByteArray &path, const RunRecord &record, const QByteArray &folder);

// The journal of a run as it is written.
class RunJournal {
public:
    struct Run {
        PassKind kind = PassKind::Numbering; // Numbering, or Case
        QByteArray prefix;
        TargetCase target = TargetCase::Lower;
        bool turkic = false;
    };

    // Writes the journal of a run over `names` (the first pass's snapshot,
    // `ids` their inode numbers) and makes it durable: in the folder, else in
    // the user's state folder. Null where neither takes it; `error` then
    // says why. A run must not begin without one.
    static std::unique_ptr<RunJournal> begin(int dirfd, const QByteArray &folder, const Run &run,
                                             const NameList &names, const FileIds &ids,
                                             int *error = nullptr);
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
    // The run has come to its end: the journal becomes the run's undo record
    // in the state folder (where `renamed`, else it goes). Where the state
    // folder cannot take it, a run that left files on the way keeps its
    // journal where it is, for a restore. True where an undo record was left.
    bool finish(bool renamed, bool all_done);

    std::uint32_t records() const { return records_; }
    QByteArray park_name(std::uint32_t record) const;

private:
    RunJournal() = default;
    bool append(const std::string &text, bool durable);
    void close_all();

    int fd_ = -1;
    int dirfd_ = -1; // the folder that holds the journal file
    bool in_state_ = false;
    QByteArray name_;   // in dirfd_
    QByteArray folder_; // the renamed folder
    QByteArray stem_;
    qint64 started_ = 0;
    std::uint32_t records_ = 0;
    std::string pending_;
};

} // namespace talvence
