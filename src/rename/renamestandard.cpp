// SPDX-License-Identifier: GPL-3.0-or-later
#include "renamestandard.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <unordered_map>

#include "folder.h"
#include "journal.h"
#include "names.h"
#include "passnames.h"

namespace talvence {

namespace {

enum class PassEnd { Done, Refused, Stopped };

// One pass over a snapshot of the folder, its names by `rule`. `given`
// learns the new name of each file, so that afterwards it lists this run's
// names in the order it gave them; `refusal` the error of a refused rename.
PassEnd rename_pass(const Folder &folder, const NameList &names, NameList &given, int pass,
                    const RenameProgress &progress, const PassRule &rule, int &refusal)
{
    std::string to;
    given.reserve(names.size(), names.name_bytes() + 8 * names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArrayView from = names[i];
        names.prefetch(i + 1);
        pass_new_name(rule, std::size_t(i), from, to);
        if (const int e = rename_in_folder(folder.fd(), from, to)) {
            refusal = e;
            return PassEnd::Refused;
        }
        given.append(QByteArrayView(to));
        if (progress && !progress(pass, 4, i + 1, names.size()))
            return PassEnd::Stopped;
    }
    return PassEnd::Done;
}

// Which journal record each file of a pass is. The files this run renamed
// keep theirs; a file it met before but never reached is found by its name;
// a file that came while it ran gets a record of its own before it is touched.
class Records {
public:
    // The journal's records are the first snapshot's files, in its order.
    explicit Records(RunJournal *journal) : journal_(journal), first_(journal->records()) {}

    std::vector<std::uint32_t> of_pass(int dirfd, const NameList &names, qsizetype taken,
                                       const std::vector<std::uint32_t> &kept)
    {
        std::vector<std::uint32_t> order;
        if (first_ > 0) {
            order.resize(first_);
            std::iota(order.begin(), order.end(), 0u);
            first_ = 0;
            return order;
        }
        order.reserve(std::size_t(names.size()));
        for (const std::uint32_t k : kept)
            order.push_back(ours_[k]);
        for (qsizetype i = taken; i < names.size(); ++i) {
            const auto it = idle_.find(std::string(names[i].data(), std::size_t(names[i].size())));
            if (it != idle_.end()) {
                order.push_back(it->second);
                idle_.erase(it);
            } else {
                NameList one;
                one.append(names[i]);
                order.push_back(journal_->add(dirfd, one, 0));
            }
        }
        return order;
    }
    // After a pass that renamed `given` files of a snapshot whose first
    // `taken` were this run's.
    void after_pass(const NameList &names, const std::vector<std::uint32_t> &order, qsizetype taken,
                    qsizetype given)
    {
        const std::size_t ours = std::size_t(std::max(taken, given));
        ours_.assign(order.begin(), order.begin() + std::ptrdiff_t(ours));
        for (std::size_t i = ours; i < order.size(); ++i)
            idle_.emplace(
                std::string(names[qsizetype(i)].data(), std::size_t(names[qsizetype(i)].size())),
                order[i]);
    }

private:
    RunJournal *journal_;
    std::uint32_t first_;
    std::vector<std::uint32_t> ours_; // the record of each of the run's names
    std::unordered_map<std::string, std::uint32_t> idle_;
};

// The run's first snapshot: the folder's files with their identities, which
// its journal keeps.
Result<PassSnapshot> first_snapshot(int dirfd, const NameList *shown, FileIds &ids)
{
    Result<IdentifiedFiles> files = list_identified_files(dirfd, shown);
    if (!files)
        return Result<PassSnapshot>::failure(files.error());
    ids = std::move(files->ids);
    PassSnapshot snapshot;
    snapshot.names = std::move(files->names);
    return snapshot;
}

// The run itself; `outcome` learns how far it came as it goes, so that a
// lack of memory anywhere still tells that.
void run_standard(const QByteArray &folder_path, const StandardRenameIo &io, RunOutcome &outcome)
{
    outcome.end = RunOutcome::End::NoFolder;
    std::int64_t temp_number = 0; // runs on through both cycles
    // The names this run has given, in the order it gave them: every pass
    // takes these first, so the files keep the order the user saw.
    NameList ours;
    // After a pass, the files it renamed and those an earlier pass renamed
    // stay this run's; a file it never reached is still a stranger.
    const auto keep_ours = [&](const PassSnapshot &pass, NameList &given) {
        for (qsizetype i = given.size(); i < pass.ours_taken; ++i)
            given.append(pass.names[i]);
        ours = std::move(given);
    };
    std::unique_ptr<RunJournal> journal;
    std::unique_ptr<Records> records;
    bool last_cycle_done = false;

    // One pass with its journal: the order first, durable; then the renames.
    const auto run_pass = [&](const Folder &folder, const PassSnapshot &snapshot,
                              const PassRule &rule, int pass, NameList &given) {
        const NameList &names = snapshot.names;
        const std::vector<std::uint32_t> order =
            records->of_pass(folder.fd(), names, snapshot.ours_taken, snapshot.kept);
        if (!journal->begin_pass(rule.kind, rule.counter_start, order)) {
            outcome.error = errno;
            return PassEnd::Refused;
        }
        const PassEnd end =
            rename_pass(folder, names, given, pass, io.progress, rule, outcome.error);
        journal->end_pass(given.size());
        records->after_pass(names, order, snapshot.ours_taken, given.size());
        outcome.files = names.size();
        outcome.reached = given.size();
        outcome.renamed = std::max(outcome.renamed, given.size());
        return end;
    };
    const auto stopped = [&] {
        outcome.end = RunOutcome::End::Stopped; // the journal stays for a restore
    };

    for (int cycle = 0; cycle < 2; ++cycle) {
        last_cycle_done = false;
        const Folder folder(folder_path);
        if (!folder.is_open())
            continue;
        FileIds ids;
        Result<PassSnapshot> pass = ours.empty() ? first_snapshot(folder.fd(), io.shown, ids)
                                                 : list_pass(folder.fd(), ours);
        if (!pass)
            continue;
        // The text box is the only source of the prefix and nothing can type
        // into it while this runs, so one read per pass sees what every
        // rename of the pass would see.
        if (prefix_too_long(io.prefix().toUtf8())) {
            if (journal)
                outcome.undo = journal->finish(outcome.renamed > 0, false);
            outcome.end = RunOutcome::End::PrefixTooLong;
            io.prefix_too_long();
            return;
        }
        if (pass->names.empty() && !journal) {
            outcome.end = RunOutcome::End::Finished;
            last_cycle_done = true;
            io.reread(ours);
            ++outcome.cycles;
            continue;
        }
        if (!journal) {
            RunJournal::Run run;
            run.prefix = io.prefix().toUtf8();
            journal =
                RunJournal::begin(folder.fd(), folder_path, run, pass->names, ids, &outcome.error);
            // No run without its record: where none can be written, no
            // file is touched.
            if (!journal) {
                outcome.end = RunOutcome::End::NoRecord;
                return;
            }
            records = std::make_unique<Records>(journal.get());
        }
        outcome.end = RunOutcome::End::Refused;
        PassRule rule;
        rule.kind = PassKind::Parking;
        rule.counter_start = temp_number;
        NameList parking;
        const PassEnd parked = run_pass(folder, *pass, rule, 2 * cycle + 1, parking);
        // The counter is raised before each rename, also before one refused.
        temp_number += parking.size() + (parked == PassEnd::Refused ? 1 : 0);
        if (parked == PassEnd::Stopped)
            return stopped();
        keep_ours(*pass, parking);
        if (parked != PassEnd::Done)
            continue;

        rule.kind = PassKind::Numbering;
        rule.counter_start = 0;
        rule.prefix = io.prefix().toUtf8();
        pass = list_pass(folder.fd(), ours);
        if (!pass)
            continue;
        NameList numbering;
        const PassEnd numbered = run_pass(folder, *pass, rule, 2 * cycle + 2, numbering);
        if (numbered == PassEnd::Stopped)
            return stopped();
        keep_ours(*pass, numbering);
        if (numbered != PassEnd::Done)
            continue;
        io.reread(ours);
        ++outcome.cycles;
        last_cycle_done = true;
        outcome.end = RunOutcome::End::Finished;
        outcome.error = 0;
    }
    if (!last_cycle_done && outcome.end == RunOutcome::End::Finished)
        outcome.end = RunOutcome::End::NoFolder;
    if (journal)
        outcome.undo = journal->finish(outcome.renamed > 0, last_cycle_done);
}

} // namespace

RunOutcome rename_standard(const QByteArray &folder_path, const StandardRenameIo &io)
{
    RunOutcome outcome;
    try {
        run_standard(folder_path, io, outcome);
    } catch (const std::bad_alloc &) {
        // Between two renames, as a stop signal would: the journal, closed
        // on the way out, stays for a restore.
        outcome.end = RunOutcome::End::Stopped;
        outcome.error = ENOMEM;
    }
    return outcome;
}

} // namespace talvence
