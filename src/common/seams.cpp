// SPDX-License-Identifier: GPL-3.0-or-later
#include "seams.h"

#include <algorithm>
#include <cstdlib>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "programstart.h"

namespace talvence {

namespace {

// The window a message belongs to: the active one, else the frame. A box with
// an owner stays above it, also above a frame kept on top of every window.
QWidget *message_owner()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = w->windowType();
        if (w->isVisible() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen)
            return w;
    }
    return nullptr;
}

} // namespace

Seams Seams::defaults()
{
    Seams s;
    s.message = [](const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvence"), text, QMessageBox::Ok,
                        message_owner());
        box.exec();
    };
    s.terminate = [] { std::_Exit(0); };
    s.ask = [](const QString &text, const QStringList &buttons) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvence"), text,
                        QMessageBox::NoButton, message_owner());
        std::vector<QAbstractButton *> made;
        for (const QString &caption : buttons)
            made.push_back(box.addButton(caption, made.empty() ? QMessageBox::AcceptRole
                                                               : QMessageBox::RejectRole));
        if (!made.empty())
            box.setDefaultButton(static_cast<QPushButton *>(made.front()));
        box.exec();
        const auto it = std::find(made.begin(), made.end(), box.clickedButton());
        return it == made.end() ? -1 : int(it - made.begin());
    };
    s.start_program = [](const QByteArray &path) { return start_detached(path); };
    s.drives = [] { return mounted_drives(); };
    return s;
}

Seams &seams()
{
    static Seams instance = Seams::defaults();
    return instance;
}

} // namespace talvence
