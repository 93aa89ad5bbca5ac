// SPDX-License-Identifier: GPL-3.0-or-later
#include "runhistory.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace talvence {

namespace {

// Whether the record's identities may be held against the folder's files: a
// record that travelled with a copy of its folder names other inodes.
bool identity_holds(const Folder &folder, const RunRecord &record)
{
    struct stat st {};
    return record.identity && folder.is_open() && ::fstat(folder.fd(), &st) == 0 &&
           record.folder_id == std::uint64_t(st.st_ino);
}

// Restores from the record at `path`, locked for the time; removes it once
// it has done its job.
RestoreReport restore_from(const QByteArray &folder, const QByteArray &path, RestoreKind kind,
                           const RenameProgress &progress)
{
    RestoreReport report;
    // The folder is read while the record is: a record's file line is about
    // as long as a name and its inode number. Room is made for what real
    // runs write, whatever a hostile record's size.
    struct stat st {};
    const std::size_t likely = ::stat(path.constData(), &st) == 0 && st.st_size > 0
                                   ? std::size_t(std::min<off_t>(st.st_size, off_t(32) << 20))
                                   : 0;
    FolderReading reading(folder, likely / 16 + 16, likely);
    RunRecord record;
    int lock = -1;
    switch (read_record(path, ParseDepth::Whole, record, &lock)) {
    case RecordRead::Ok:
        break;
    case RecordRead::Absent:
        report.finished = true; // someone else has finished it
        return report;
    case RecordRead::Locked:
        report.locked = true;
        return report;
    case RecordRead::Damaged:
        report.damaged = true;
        return report;
    }
    if (kind == RestoreKind::Undo && !record.undoing && !mark_undo_begun(lock)) {
        ::close(lock);
        report.failed.emplace_back(QByteArray(), errno ? errno : EIO);
        return report;
    }
    try {
        report = restore_record(reading, record, identity_holds(reading.folder(), record), kind,
                                progress);
    } catch (const std::bad_alloc &) {
        // No room to work out the names: nothing more is moved, and the
        // record stays for a later go.
        report = RestoreReport();
        report.failed.emplace_back(QByteArray(), ENOMEM);
    }
    if (report.finished)
        remove_record(path);
    ::close(lock);
    return report;
}

} // namespace

std::vector<InterruptedRun> find_interrupted_runs(const QByteArray &folder,
                                                  std::vector<QByteArray> *damaged)
{
    std::vector<InterruptedRun> runs;
    const auto look = [&](const QByteArray &path, bool undo) {
        RunRecord record;
        switch (read_record(path, ParseDepth::Header, record)) {
        case RecordRead::Ok:
            break;
        case RecordRead::Damaged:
            if (damaged)
                damaged->push_back(path);
            return;
        default:
            return;
        }
        if (!record_belongs(path, record, folder) || (undo && !record.undoing))
            return;
        // A journal in the folder is a journal whatever it holds; one owned
        // by someone else was put there by them and is not ours to follow.
        struct stat st {};
        if (::stat(path.constData(), &st) != 0 || (st.st_uid != ::geteuid() && ::geteuid() != 0))
            return;
        runs.push_back({path, record.started, undo});
    };
    for (const QByteArray &path : journal_paths(folder))
        look(path, false);
    for (const QByteArray &path : undo_paths(folder))
        look(path, true);
    std::sort(runs.begin(), runs.end(), [](const InterruptedRun &a, const InterruptedRun &b) {
        return a.started > b.started;
    });
    return runs;
}

RestoreReport restore_interrupted_run(const QByteArray &folder, const InterruptedRun &run,
                                      const RenameProgress &progress)
{
    return restore_from(folder, run.journal,
                        run.undo ? RestoreKind::Undo : RestoreKind::Interrupted, progress);
}

RestoreReport restore_interrupted_runs(const QByteArray &folder,
                                       const std::vector<InterruptedRun> &runs,
                                       const RenameProgress &progress)
{
    RestoreReport all;
    all.finished = true;
    // The newest run first: each gives back the names the one before left.
    for (const InterruptedRun &run : runs) {
        const RestoreReport report = restore_interrupted_run(folder, run, progress);
        all.merge(report);
        if (!report.finished) {
            all.finished = false;
            break;
        }
    }
    return all;
}

void drop_interrupted_run(const InterruptedRun &run)
{
    remove_record(run.journal);
}

std::optional<UndoableRun> last_undoable_run(const QByteArray &folder)
{
    std::optional<UndoableRun> last;
    for (const QByteArray &path : undo_paths(folder)) {
        RunRecord record;
        if (read_record(path, ParseDepth::Header, record) != RecordRead::Ok ||
            !record_belongs(path, record, folder) || !record.ended)
            continue;
        if (last && last->started >= record.started)
            continue;
        last =
            UndoableRun{path, record.started, record.run, record.target, qsizetype(record.files)};
    }
    return last;
}

RestoreReport undo_run(const QByteArray &folder, const UndoableRun &run,
                       const RenameProgress &progress)
{
    return restore_from(folder, run.record, RestoreKind::Undo, progress);
}

} // namespace talvence
