// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

#include "folder.h"
#include "runoutcome.h"

namespace talvence {

// What the numbering rename needs from its window, so that it runs on any
// folder without one.
struct StandardRenameIo {
    std::function<QString()> prefix;       // the prefix text as typed
    std::function<void()> prefix_too_long; // tell the user; the operation then ends
    // Refresh the file list after a cycle; it gets the names the cycle gave,
    // in the order it gave them.
    std::function<void(const NameList &numbered)> reread;
    // The folder's list as the window shows it, if any: the first pass reads
    // the folder all the same, and where it still holds just those files,
    // needs no new sort.
    const NameList *shown = nullptr;
    // Told after every rename; may stop the run (see RenameProgress).
    RenameProgress progress;
};

// Gives every ordinary file of the folder a running number (behind the prefix,
// if any) and keeps its last four characters. Runs two cycles; each parks all
// files on "_zyx_" names and then numbers them, so no new name can meet an
// old one still waiting. A failed rename ends its cycle quietly; nothing is
// ever replaced. A journal keeps every name recoverable while the run goes
// on, and becomes the run's undo record at its end; where none can be
// written, no file is touched. Returns how the run ended: among others how
// many cycles ran to their end, and Stopped where `progress` or a lack of
// memory stopped it.
RunOutcome rename_standard(const QByteArray &folder, const StandardRenameIo &io);

} // namespace talvence
