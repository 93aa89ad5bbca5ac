#include "renamecase.h"

#include "folder.h"

namespace talvence {

bool rename_case(const QByteArray &folder_path, TargetCase target,
                 const std::function<void()> &reread)
{
    const Folder folder(folder_path);
    if (!folder.is_open())
        return false;
    const auto names = list_ordinary_files(folder.fd());
    if (!names)
        return false;
    const bool turkic = locale_is_turkic();
    for (const FileEntry &e : *names) {
        if (rename_in_folder(folder.fd(), e.raw, case_name(e.raw, target, turkic)) != 0)
            return false;
    }
    reread();
    return true;
}

} // namespace talvence
