#include "renamestandard.h"

#include <cstdint>

#include "folder.h"
#include "names.h"

namespace talvence {

namespace {

// One pass over a snapshot of the folder; false at the first refused rename.
template <typename NewName>
bool rename_pass(const Folder &folder, const std::vector<FileEntry> &names, NewName new_name)
{
    for (const FileEntry &e : names) {
        if (rename_in_folder(folder.fd(), e.raw, new_name(e.raw)) != 0)
            return false;
    }
    return true;
}

} // namespace

int rename_standard(const QByteArray &folder_path, const StandardRenameIo &io)
{
    std::int64_t temp_number = 0; // runs on through both cycles
    int finished = 0;
    for (int cycle = 0; cycle < 2; ++cycle) {
        const Folder folder(folder_path);
        if (!folder.is_open())
            continue;
        const auto names = list_ordinary_files(folder.fd());
        if (!names)
            continue;
        // The text box is the only source of the prefix and nothing can type
        // into it while this runs, so one read per pass sees what every
        // rename of the pass would see.
        if (prefix_too_long(io.prefix().toUtf8())) {
            io.prefix_too_long();
            return finished;
        }
        if (!rename_pass(folder, *names, [&](const QByteArray &name) {
                return make_temp_name(++temp_number, name);
            }))
            continue;

        const QByteArray prefix = io.prefix().toUtf8();
        const auto parked = list_ordinary_files(folder.fd());
        if (!parked)
            continue;
        std::int64_t number = 0;
        if (!rename_pass(folder, *parked, [&](const QByteArray &name) {
                return make_numbered_name(++number, prefix, name);
            }))
            continue;
        io.reread();
        ++finished;
    }
    return finished;
}

} // namespace talvence
