// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace talvence {

// The window system platform to ask Qt for, given the user's own choice
// (QT_QPA_PLATFORM) and the X display (DISPLAY); empty to leave Qt to it.
// X11 comes first: on a Wayland desktop the frame could not keep itself above
// other windows, since Wayland gives a program no way to ask for that, and
// XWayland can. The user's choice stands; without an X display Qt chooses.
QByteArray preferred_platform(const QByteArray &chosen, const QByteArray &display);

// Sets QT_QPA_PLATFORM by that rule; call before the application is made.
void prefer_x11_platform();

} // namespace talvence
