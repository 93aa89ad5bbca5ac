// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "firstpaint.h"
#include "frmmain.h"
#include "module1.h"
#include "platform.h"
#include "stopsignals.h"

int main(int argc, char *argv[])
{
    talvence::prefer_x11_platform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvence"));
    QApplication::setOrganizationName(QStringLiteral("Talvence"));
    const QPointer<QWidget> frame(talvence::Module1::Main());
    talvence::report_first_paint(frame);
    // A kill, Ctrl+C or a logout closes the frame as its close box does,
    // after a rename that runs has stopped between two renames.
    talvence::install_stop_signals([frame] {
        if (frame)
            frame->close();
        QCoreApplication::quit();
    });
    return app.exec();
}
