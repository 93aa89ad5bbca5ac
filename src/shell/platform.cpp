// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform.h"

#include <QtGlobal>

namespace talvence {

QByteArray preferred_platform(const QByteArray &chosen, const QByteArray &display)
{
    if (!chosen.isEmpty() || display.isEmpty())
        return {};
    // Where the X server does not answer after all, Qt goes on down the list.
    return "xcb;wayland";
}

void prefer_x11_platform()
{
    const QByteArray platform = preferred_platform(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace talvence
