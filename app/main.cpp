#include "quorrelstyle.h"
#include "talvane.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);

    try
    {
        QApplication::setStyle(new QuorrelStyle);
    }
    catch (...)
    {
        // Without our style the window is still usable in the platform's own.
    }

    Talvane controller;
    return application.exec();
}
