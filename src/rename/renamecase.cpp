// SPDX-License-Identifier: GPL-3.0-or-later
#include "renamecase.h"

#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string>
#include <sys/stat.h>

#include "folder.h"
#include "journal.h"
#include "names.h"

namespace talvence {

namespace {

// Whether the folder's file system takes a name in another case for the
// same file: then a change of case passes over a parking name. A name of
// another case that the folder does not list but still finds says so.
bool ignores_case(int dirfd, const NameList &names, const NameList &renamed)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i] == renamed[i])
            continue;
        struct stat st {};
        if (::fstatat(dirfd, renamed[i].data(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        for (qsizetype k = 0; k < names.size(); ++k)
            if (names[k] == renamed[i])
                return false;
        return true;
    }
    return false;
}

} // namespace

bool rename_case(const QByteArray &folder_path, TargetCase target,
                 const std::function<void(const NameList &renamed)> &reread, const NameList *shown,
                 const RenameProgress &progress)
{
    const Folder folder(folder_path);
    if (!folder.is_open())
        return false;
    auto names =
        shown ? list_ordinary_files_again(folder.fd(), *shown) : list_ordinary_files(folder.fd());
    if (!names)
        return false;
    const bool turkic = locale_is_turkic();
    // Every new name first, then the renames one after the other: between
    // two system calls as little as possible pushes the kernel's own data
    // out of the caches.
    NameList renamed;
    const auto make_new_names = [&] {
        renamed = NameList();
        renamed.reserve(names->size(), names->name_bytes() + names->size());
        std::string to;
        for (qsizetype i = 0; i < names->size(); ++i) {
            const std::size_t length = case_name((*names)[i], target, turkic, to);
            renamed.append(QByteArrayView(to.data(), qsizetype(length)));
        }
    };
    make_new_names();
    // Only a file on a parking name could lose its name if the run were cut
    // short; elsewhere every file has its old name or its new one.
    std::unique_ptr<RunJournal> journal;
    if (ignores_case(folder.fd(), *names, renamed)) {
        // Only here does the run need each file's identity: the folder is
        // read once more for it, which leaves the list as it was unless the
        // folder changed meanwhile.
        FileIds ids;
        names = list_ordinary_files_again(folder.fd(), *names, &ids);
        if (!names)
            return false;
        make_new_names();
        RunJournal::Run run;
        run.first = RunJournal::PassKind::Case;
        run.target = target;
        run.turkic = turkic;
        journal = RunJournal::begin(folder.fd(), folder_path, run, *names, ids);
        std::vector<std::uint32_t> order(std::size_t(names->size()));
        std::iota(order.begin(), order.end(), 0u);
        if (journal && !journal->begin_pass(RunJournal::PassKind::Case, 0, order))
            return false;
    }
    QByteArray park;
    for (qsizetype i = 0; i < names->size(); ++i) {
        names->prefetch(i + 1);
        renamed.prefetch(i + 1);
        if (journal)
            park = journal->park_name(std::uint32_t(i));
        if (rename_in_folder(folder.fd(), (*names)[i], renamed[i],
                             journal ? park.constData() : nullptr) != 0) {
            if (journal)
                journal->finish();
            return false;
        }
        if (progress && !progress(1, 1, i + 1, names->size()))
            return false;
    }
    if (journal)
        journal->finish();
    reread(renamed);
    return true;
}

} // namespace talvence
