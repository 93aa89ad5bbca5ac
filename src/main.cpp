#include <QApplication>

#include "module1.h"
#include "platform.h"

int main(int argc, char *argv[])
{
    talvence::prefer_x11_platform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvence"));
    QApplication::setOrganizationName(QStringLiteral("Talvence"));
    talvence::Module1::Main();
    return app.exec();
}
