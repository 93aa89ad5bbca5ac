// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include <QApplication>
#include <QIcon>

#include "designfont.h"
#include "frmmain.h"
#include "germankeynames.h"

namespace talvence::Module1 {

frmMain *Main()
{
    // The program's icon, for the frame and every window inside it that has
    // no icon of its own.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/talvence-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // Menus, message boxes and every window without a font of its own take
    // the design's face too, not whatever fontconfig calls sans-serif (on a
    // small system with the Liberation fonts alone, that is the monospaced one).
    QApplication::setFont(design_font());
    static GermanKeyNames key_names;
    QCoreApplication::installTranslator(&key_names);
    auto *frame = new frmMain;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->place_on_screen();
    frame->show();
    return frame;
}

} // namespace talvence::Module1
