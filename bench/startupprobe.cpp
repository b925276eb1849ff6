// A start-up probe: the window program as main() starts it, or (without TALVANE_PROBE_FULL)
// a bare widget of the same size, each reporting its first paint.
#include "probepaint.h"

#include <QApplication>

#ifdef TALVANE_PROBE_FULL
#include "quorrelstyle.h"
#include "talvane.h"
#endif

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    FirstPaintReporter reporter;
    application.installEventFilter(&reporter);

#ifdef TALVANE_PROBE_FULL
    QApplication::setStyle(new QuorrelStyle);
    Talvane controller;
    return application.exec();
#else
    QWidget window;
    window.setFixedSize(400, 450);
    window.show();
    return application.exec();
#endif
}
