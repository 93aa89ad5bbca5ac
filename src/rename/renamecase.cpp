#include "renamecase.h"

#include "folder.h"

namespace talvence {

bool rename_case(const QByteArray &folder_path, TargetCase target,
                 const std::function<void(const std::vector<FileEntry> &renamed)> &reread)
{
    const Folder folder(folder_path);
    if (!folder.is_open())
        return false;
    auto names = list_ordinary_files(folder.fd());
    if (!names)
        return false;
    const bool turkic = locale_is_turkic();
    for (FileEntry &e : *names) {
        QByteArray to = case_name(e.raw, target, turkic);
        if (rename_in_folder(folder.fd(), e.raw, to) != 0)
            return false;
        e.raw = std::move(to);
    }
    reread(*names);
    return true;
}

} // namespace talvence
