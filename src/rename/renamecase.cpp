#include "renamecase.h"

#include <string>

#include "folder.h"
#include "names.h"

namespace talvence {

bool rename_case(const QByteArray &folder_path, TargetCase target,
                 const std::function<void(const NameList &renamed)> &reread, const NameList *shown)
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
    renamed.reserve(names->size(), names->name_bytes() + names->size());
    std::string to;
    for (qsizetype i = 0; i < names->size(); ++i) {
        const std::size_t length = case_name((*names)[i], target, turkic, to);
        renamed.append(QByteArrayView(to.data(), qsizetype(length)));
    }
    for (qsizetype i = 0; i < names->size(); ++i) {
        names->prefetch(i + 1);
        renamed.prefetch(i + 1);
        if (rename_in_folder(folder.fd(), (*names)[i], renamed[i]) != 0)
            return false;
    }
    reread(renamed);
    return true;
}

} // namespace talvence
