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
    NameList renamed;
    renamed.reserve(names->size(), names->name_bytes() + names->size());
    std::string to;
    for (qsizetype i = 0; i < names->size(); ++i) {
        const QByteArrayView from = (*names)[i];
        names->prefetch(i + 1);
        case_name(from, target, turkic, to);
        if (rename_in_folder(folder.fd(), from, to) != 0)
            return false;
        renamed.append(QByteArrayView(to));
    }
    reread(renamed);
    return true;
}

} // namespace talvence
