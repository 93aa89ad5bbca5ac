#pragma once

#include <functional>

#include <QByteArray>

#include "folder.h"
#include "names.h"

namespace talvence {

// Renames every ordinary file of the folder to the target case, the whole
// name with its ending. The first refused rename ends it quietly and the list
// is then not refreshed. `reread` gets the names as renamed, in the order
// taken. Returns whether every file went through.
bool rename_case(const QByteArray &folder, TargetCase target,
                 const std::function<void(const NameList &renamed)> &reread);

} // namespace talvence
