// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every window test sets up the same way: a home of its own, so that
// the settings, the undo records and the caches of a test never touch the
// user's, and the message box and the immediate end recorded instead of
// shown or carried out.

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include "seams.h"

namespace talvence::test {

// Once per process: QSettings finds its folder only once, so all the tests
// of an executable share the one private home.
inline QString use_private_home()
{
    static QTemporaryDir home;
    static const bool set = [] {
        const QByteArray path = home.path().toUtf8();
        qputenv("HOME", path);
        qputenv("XDG_CONFIG_HOME", path + "/config");
        qputenv("XDG_STATE_HOME", path + "/state");
        qputenv("XDG_CACHE_HOME", path + "/cache");
        return true;
    }();
    Q_UNUSED(set)
    return home.path();
}

// Messages and ends go to these until the seams are restored
// (`seams() = Seams::defaults()`).
inline void record_seams(QStringList &messages, int &terminations)
{
    seams().message = [&messages](const QString &text) { messages << text; };
    seams().terminate = [&terminations] { ++terminations; };
}

} // namespace talvence::test
