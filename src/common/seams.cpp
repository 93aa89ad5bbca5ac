#include "seams.h"

#include <cstdlib>

#include <QApplication>
#include <QMessageBox>
#include <QProcess>

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
    s.start_program = [](const QString &path) { return QProcess::startDetached(path, {}); };
    s.drives = [] { return mounted_drives(); };
    return s;
}

Seams &seams()
{
    static Seams instance = Seams::defaults();
    return instance;
}

} // namespace talvence
