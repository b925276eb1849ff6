// A start-up probe: the window program as main() starts it, or (without TALVANE_PROBE_FULL)
// a bare widget of the same size, each reporting its first paint. The full probe also takes
// one stage argument, so that the benchmark can tell where start-up time goes:
//   style   the bare widget under our style
//   form    the main form under our style, without the controller (no board, no trace file)
//   (none)  everything main() does
// The bare probe takes "text" to show one label, the least a window with words must load
// (the font configuration and a font).
#include "probepaint.h"

#include <QApplication>
#include <QLabel>

#ifdef TALVANE_PROBE_FULL
#include "certificatesettings.h"
#include "quorrelstyle.h"
#include "talvane.h"
#include "talvanewidget.h"

#include <cstring>
#endif

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    FirstPaintReporter reporter;
    application.installEventFilter(&reporter);

#ifdef TALVANE_PROBE_FULL
    const char* stage = argc > 1 ? argv[1] : "";
    QApplication::setStyle(new QuorrelStyle);
    if (std::strcmp(stage, "style") == 0)
    {
        QWidget window;
        window.setFixedSize(400, 450);
        window.show();
        return application.exec();
    }
    if (std::strcmp(stage, "form") == 0)
    {
        CertificateSettings settings;
        TalvaneWidget form(nullptr, &settings);
        form.show();
        return application.exec();
    }
    Talvane controller;
    return application.exec();
#else
    QWidget window;
    window.setFixedSize(400, 450);
    if (argc > 1 && QByteArray(argv[1]) == "text")
        new QLabel(QStringLiteral("Certificate Type"), &window);
    window.show();
    return application.exec();
#endif
}
