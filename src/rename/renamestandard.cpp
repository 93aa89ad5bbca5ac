#include "renamestandard.h"

#include <cstdint>
#include <string>

#include "folder.h"
#include "names.h"

namespace talvence {

namespace {

// One pass over a snapshot of the folder. `given` learns the new name of
// each file, so that afterwards it lists this run's names in the order it
// gave them. False at the first refused rename.
template <typename NewName>
bool rename_pass(const Folder &folder, const NameList &names, NameList &given, NewName new_name)
{
    std::string to;
    given.reserve(names.size(), names.name_bytes() + 8 * names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArrayView from = names[i];
        names.prefetch(i + 1);
        new_name(from, to);
        if (rename_in_folder(folder.fd(), from, to) != 0)
            return false;
        given.append(QByteArrayView(to));
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
    NameList ours;
    // After a pass, the files it renamed and those an earlier pass renamed
    // stay this run's; a file it never reached is still a stranger.
    const auto keep_ours = [&](const NameList &pass, qsizetype taken, NameList &given) {
        for (qsizetype i = given.size(); i < taken; ++i)
            given.append(pass[i]);
        ours = std::move(given);
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        const Folder folder(folder_path);
        if (!folder.is_open())
            continue;
        qsizetype taken = 0;
        auto names = ours.empty() && io.shown ? list_ordinary_files_again(folder.fd(), *io.shown)
                                              : list_pass(folder.fd(), ours, &taken);
        if (!names)
            continue;
        // The text box is the only source of the prefix and nothing can type
        // into it while this runs, so one read per pass sees what every
        // rename of the pass would see.
        if (prefix_too_long(io.prefix().toUtf8())) {
            io.prefix_too_long();
            return finished;
        }
        NameList parking;
        const bool parked =
            rename_pass(folder, *names, parking, [&](QByteArrayView name, std::string &to) {
                make_temp_name(++temp_number, name, to);
            });
        keep_ours(*names, taken, parking);
        if (!parked)
            continue;

        const QByteArray prefix = io.prefix().toUtf8();
        names = list_pass(folder.fd(), ours, &taken);
        if (!names)
            continue;
        std::int64_t number = 0;
        NameList numbering;
        const bool numbered =
            rename_pass(folder, *names, numbering, [&](QByteArrayView name, std::string &to) {
                make_numbered_name(++number, prefix, name, to);
            });
        keep_ours(*names, taken, numbering);
        if (!numbered)
            continue;
        io.reread(ours);
        ++finished;
    }
    return finished;
}

} // namespace talvence
