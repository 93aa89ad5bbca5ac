#include "renamestandard.h"

#include <algorithm>
#include <cstdint>

#include "folder.h"
#include "names.h"

namespace talvence {

namespace {

// One pass over a snapshot of the folder. Each entry takes the name it was
// given, so that afterwards the snapshot lists this run's names in the order
// it gave them. False at the first refused rename; `done` counts the
// renames before it.
template <typename NewName>
bool rename_pass(const Folder &folder, std::vector<FileEntry> &names, qsizetype &done,
                 NewName new_name)
{
    for (done = 0; done < qsizetype(names.size()); ++done) {
        FileEntry &e = names[done];
        QByteArray to = new_name(e.raw);
        if (rename_in_folder(folder.fd(), e.raw, to) != 0)
            return false;
        e.raw = std::move(to);
    }
    return true;
}

} // namespace

int rename_standard(const QByteArray &folder_path, const StandardRenameIo &io)
{
    std::int64_t temp_number = 0; // runs on through both cycles
    int finished = 0;
    // The names this run has given, in the order it gave them: every pass
    // takes these first, so the files keep the order the user saw.
    std::vector<FileEntry> ours;
    // After a pass, the files it renamed and those an earlier pass renamed
    // stay this run's; a file it never reached is still a stranger.
    const auto keep_ours = [&](std::vector<FileEntry> &pass, qsizetype taken, qsizetype done) {
        pass.resize(std::max(taken, done));
        ours = std::move(pass);
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        const Folder folder(folder_path);
        if (!folder.is_open())
            continue;
        qsizetype taken = 0, done = 0;
        auto names = list_pass(folder.fd(), ours, &taken);
        if (!names)
            continue;
        // The text box is the only source of the prefix and nothing can type
        // into it while this runs, so one read per pass sees what every
        // rename of the pass would see.
        if (prefix_too_long(io.prefix().toUtf8())) {
            io.prefix_too_long();
            return finished;
        }
        const bool parked = rename_pass(folder, *names, done, [&](const QByteArray &name) {
            return make_temp_name(++temp_number, name);
        });
        keep_ours(*names, taken, done);
        if (!parked)
            continue;

        const QByteArray prefix = io.prefix().toUtf8();
        names = list_pass(folder.fd(), ours, &taken);
        if (!names)
            continue;
        std::int64_t number = 0;
        const bool numbered = rename_pass(folder, *names, done, [&](const QByteArray &name) {
            return make_numbered_name(++number, prefix, name);
        });
        keep_ours(*names, taken, done);
        if (!numbered)
            continue;
        io.reread(ours);
        ++finished;
    }
    return finished;
}

} // namespace talvence
