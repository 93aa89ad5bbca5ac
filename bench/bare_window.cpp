// SPDX-License-Identifier: GPL-3.0-or-later
// The peer for start-up: a bare Qt main window with the frame's menu bar
// (two entries, two menus) and a status bar of three panels, nothing else.
// With TALVENCE_FIRST_PAINT set it tells when it painted, as the program does.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

#include "firstpaint.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    QMenuBar *bar = window.menuBar();
    bar->addAction(QStringLiteral("Start"));
    bar->addMenu(QStringLiteral("Ansicht"))->addAction(QStringLiteral("immer im Vordergrund"));
    QMenu *help = bar->addMenu(QStringLiteral("Hilfe"));
    help->addAction(QStringLiteral("Dateinamen standardisieren"));
    bar->addAction(QStringLiteral("Ende"));
    for (const char *text : {"Status", "01.01.2026", "12:00"})
        window.statusBar()->addPermanentWidget(new QLabel(QString::fromLatin1(text)));
    window.resize(525, 600);
    talvence::report_first_paint(&window);
    window.show();
    return app.exec();
}
