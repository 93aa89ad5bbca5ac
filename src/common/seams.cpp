#include "seams.h"

#include <cstdlib>

#include <QMessageBox>
#include <QProcess>

namespace talvence {

Seams Seams::defaults()
{
    Seams s;
    s.message = [](const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Talvence"), text, QMessageBox::Ok);
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
