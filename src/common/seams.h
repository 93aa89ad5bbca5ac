// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few places where the program touches the world beyond its folders:
// each is a function object that tests replace.

#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "drives.h"

namespace talvence {

struct Seams {
    // A modal message: the text, OK only, no icon, caption "Talvence".
    std::function<void(const QString &text)> message;
    // Ends the program at once: no window's closing handling runs.
    std::function<void()> terminate;
    // A modal question with the given buttons, caption "Talvence": the
    // index of the button pressed, -1 when the box was closed without one.
    std::function<int(const QString &text, const QStringList &buttons)> ask;
    // Starts a program by its full path as raw bytes, without a shell; false when refused.
    std::function<bool(const QByteArray &path)> start_program;
    // The drives on offer.
    std::function<std::vector<Drive>()> drives;

    static Seams defaults();
};

Seams &seams();

} // namespace talvence
