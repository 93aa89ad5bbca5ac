// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QByteArray>

#include "folder.h"
#include "names.h"
#include "runoutcome.h"

namespace talvence {

// Renames every ordinary file of the folder to the target case, the whole
// name with its ending. The first refused rename ends it quietly and the list
// is then not refreshed. `reread` gets the names as renamed, in the order
// taken. Returns how the run ended: Finished where every file went through
// (its one cycle counted), Refused with the error of the rename that was
// refused, Stopped by `progress` or a lack of memory. `shown`, where given, is
// the folder's list as the window shows it: the pass reads the folder all
// the same, and where it still holds just those files, needs no new sort.
// Where the file system ignores case, each file passes over a parking name.
// A journal keeps every name recoverable while the run goes on and becomes
// its undo record at its end; where none can be written, no file is touched.
// `progress`, where given, hears of every rename and may stop the run.
RunOutcome rename_case(const QByteArray &folder, TargetCase target,
                       const std::function<void(const NameList &renamed)> &reread,
                       const NameList *shown = nullptr, const RenameProgress &progress = {});

} // namespace talvence
