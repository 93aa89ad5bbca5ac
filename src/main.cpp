#include <QApplication>

#include "module1.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvence"));
    QApplication::setOrganizationName(QStringLiteral("Talvence"));
    talvence::Module1::Main();
    return app.exec();
}
