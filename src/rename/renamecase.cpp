// SPDX-License-Identifier: GPL-3.0-or-later
#include "renamecase.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <sys/stat.h>

#include "folder.h"
#include "journal.h"
#include "names.h"
#include "passnames.h"

namespace talvence {

namespace {

// The run itself; `outcome` learns how far it came as it goes, so that a
// lack of memory anywhere still tells that.
void run_case(const QByteArray &folder_path, TargetCase target,
              const std::function<void(const NameList &renamed)> &reread, const NameList *shown,
              const RenameProgress &progress, RunOutcome &outcome)
{
    outcome.end = RunOutcome::End::NoFolder;
    const Folder folder(folder_path);
    if (!folder.is_open())
        return;
    // The identities come with the one reading of the folder: the run's
    // record keeps them.
    Result<IdentifiedFiles> listing = list_identified_files(folder.fd(), shown);
    if (!listing)
        return;
    const NameList *const names = &listing->names;
    const FileIds &ids = listing->ids;
    PassRule rule;
    rule.kind = PassKind::Case;
    rule.target = target;
    rule.turkic = locale_is_turkic();
    // Every new name first, then the renames one after the other: between
    // two system calls as little as possible pushes the kernel's own data
    // out of the caches.
    NameList renamed;
    renamed.reserve(names->size(), names->name_bytes() + names->size());
    std::string to;
    qsizetype changes = 0;
    for (qsizetype i = 0; i < names->size(); ++i) {
        pass_new_name(rule, std::size_t(i), (*names)[i], to);
        renamed.append(QByteArrayView(to));
        changes += renamed[i] != (*names)[i];
    }
    outcome.files = names->size();
    outcome.end = RunOutcome::End::Finished;
    if (changes == 0) {
        // Every name is as it would become: nothing to record or take back.
        for (qsizetype i = 0; i < names->size(); ++i)
            if (const int e = rename_in_folder(folder.fd(), (*names)[i], renamed[i])) {
                outcome.end = RunOutcome::End::Refused;
                outcome.error = e;
                return;
            }
        outcome.reached = names->size();
        outcome.cycles = 1;
        reread(renamed);
        return;
    }
    RunJournal::Run run;
    run.kind = PassKind::Case;
    run.target = target;
    run.turkic = rule.turkic;
    std::unique_ptr<RunJournal> journal =
        RunJournal::begin(folder.fd(), folder_path, run, *names, ids, &outcome.error);
    std::vector<std::uint32_t> order(std::size_t(names->size()));
    std::iota(order.begin(), order.end(), 0u);
    if (!journal || !journal->begin_pass(PassKind::Case, 0, order)) {
        // No run without its record: no file is touched.
        if (journal)
            journal->finish(false, false);
        outcome.end = RunOutcome::End::NoRecord;
        return;
    }
    QByteArray park;
    for (qsizetype i = 0; i < names->size(); ++i) {
        names->prefetch(i + 1);
        renamed.prefetch(i + 1);
        park = journal->park_name(std::uint32_t(i));
        if (const int e =
                rename_in_folder(folder.fd(), (*names)[i], renamed[i], park.constData())) {
            journal->end_pass(i);
            outcome.end = RunOutcome::End::Refused;
            outcome.error = e;
            outcome.undo = journal->finish(outcome.renamed > 0, false);
            return;
        }
        outcome.reached = i + 1;
        outcome.renamed += renamed[i] != (*names)[i];
        if (progress && !progress(1, 1, i + 1, names->size())) {
            outcome.end = RunOutcome::End::Stopped;
            return; // the journal stays for a restore
        }
    }
    journal->end_pass(names->size());
    outcome.undo = journal->finish(true, true);
    outcome.cycles = 1;
    reread(renamed);
}

} // namespace

RunOutcome rename_case(const QByteArray &folder_path, TargetCase target,
                       const std::function<void(const NameList &renamed)> &reread,
                       const NameList *shown, const RenameProgress &progress)
{
    RunOutcome outcome;
    try {
        run_case(folder_path, target, reread, shown, progress, outcome);
    } catch (const std::bad_alloc &) {
        // Between two renames, as a stop signal would: the journal, closed
        // on the way out, stays for a restore.
        outcome.end = RunOutcome::End::Stopped;
        outcome.error = ENOMEM;
    }
    return outcome;
}

} // namespace talvence
