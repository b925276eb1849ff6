#include "commandline.h"
#include "console.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvane-chain"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVANE_VERSION));
    Console console;
    return RunCommandLine(QCoreApplication::arguments(), console);
}
