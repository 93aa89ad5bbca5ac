// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace talvence {

enum class ButtonPicture { Upper, Lower, Numbering, Quit };

// The pictures of the rename window's buttons, 49 by 49, drawn in code.
QPixmap button_picture(ButtonPicture which);

// The rename window's icon: 32 by 32 in the 16 colours of the classic palette.
QIcon rename_window_icon();

} // namespace talvence
