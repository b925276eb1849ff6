#include "talvane.h"

#include "prngseed.h"
#include "serialnumbertrace.h"
#include "talvanewidget.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace
{

const char kNoBoardText[] = "No QUORREL hardware accelerator board was found or the board is in use by "
                            "another application!\nApplication quits immediately!";

} // namespace

Talvane::Talvane()
{
    if (seed_prng_kavra(MAX_BYTES) == 0)
    {
        QMessageBox box(QMessageBox::Warning, tr("Warning"), QString::fromLatin1(kNoBoardText));
        box.setEscapeButton(nullptr);
        box.setDefaultButton(box.addButton(tr("OK"), QMessageBox::AcceptRole));
        box.exec();
        // Nothing has been shown and nothing is open: leave before any window exists.
        std::fflush(stdout);
        std::exit(0);
    }

    ReadSerialNumberTrace(mSettings.serialNumber);
    mSettings.serialNumber += 1;
    mOfferedSerial = mSettings.serialNumber;

    try
    {
        mpWidget = new TalvaneWidget(nullptr, &mSettings);
    }
    catch (...)
    {
        mpWidget = nullptr;
    }
    if (mpWidget == nullptr)
        qFatal("Talvane::Talvane() Allocation of gui failed");

    connect(mpWidget, &TalvaneWidget::CreateCertificatePressed, this, &Talvane::CreateCertificate);
    mpWidget->show();
}

Talvane::~Talvane()
{
    delete mpWidget;
    mpWidget = nullptr;
}
