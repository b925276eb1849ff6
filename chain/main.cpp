#include "chaincommand.h"
#include "commandline.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvane-chain"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVANE_VERSION));
    return RunCommandLine(QCoreApplication::arguments());
}
