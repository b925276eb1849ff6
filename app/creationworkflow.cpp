// One press of "Create": from the settings record to a signed certificate on disk.

#include "outputfiles.h"
#include "prngseed.h"
#include "secret.h"
#include "serialnumbertrace.h"
#include "settingsissue.h"
#include "talvane.h"
#include "talvanewidget.h"
#include "zidcertificate.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace
{

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.setDefaultButton(box.addButton(Talvane::tr("OK"), QMessageBox::AcceptRole));
    box.setEscapeButton(nullptr);
    box.exec();
}

} // namespace

bool Talvane::CreateCertificate(int certComboIndex)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ZIDCertificate certificate;
    CreationRun run;
    run.serialNumber = mSettings.serialNumber;

    if (seed_prng_kavra(MAX_BYTES) == 0)
    {
        run.errorText += QStringLiteral("Failed seeding random generator!\n"
                                        "No Quorrel ZID card found or card is in use by another application!");
    }
    else if (!IssueFromSettings(certificate, mSettings, certComboIndex, Secret(mSettings.issuerPassword)))
    {
        run.errorText += QStringLiteral("Failed creating certificate!\n");
    }
    else
    {
        run.success = true;
        WriteOutputFiles(certificate, run);
    }
    QApplication::restoreOverrideCursor();

    if (!run.success)
        showBox(mpWidget, QMessageBox::Warning, tr("Warning"), run.errorText);
    if (run.pemWritten || run.pfxWritten)
        ShowSuccessReport(run);
    return run.success;
}

void Talvane::NormalizePemFileName(const QString& name)
{
    mSettings.destinationFileName = OutputFiles::pemFileName(name);
}

void Talvane::WriteOutputFiles(ZIDCertificate& certificate, CreationRun& run)
{
    NormalizePemFileName(mSettings.destinationFileName);
    run.pemFileName = mSettings.destinationFileName;
    if (QFile::exists(run.pemFileName) &&
        !OutputFiles::confirmOverwrite(QStringLiteral("Write PEM Error!"), run.pemFileName))
    {
        run.success = false;
        run.errorText += QStringLiteral("Writing PEM file aborted!\n");
        return;
    }
    if (certificate.WritePem(run.pemFileName.toStdString().c_str()) == 0)
    {
        run.success = false;
        run.errorText += QStringLiteral("Failed writing certificate!\n");
        return;
    }
    run.pemWritten = true;

    run.pfxFileName = OutputFiles::pkcs12FileName(run.pemFileName);
    if (QFile::exists(run.pfxFileName) &&
        !OutputFiles::confirmOverwrite(QStringLiteral("Write PFX Error!"), run.pfxFileName))
    {
        run.success = false;
        run.errorText += QStringLiteral("Writing PKCS12 file aborted!\n");
        return;
    }
    const Secret password(mSettings.destinationPassword);
    if (certificate.WritePKCS12(run.pfxFileName.toStdString().c_str(), password.data()) == 0)
    {
        run.success = false;
        run.errorText += QStringLiteral("Failed writing PKCS12 file!\n");
        return;
    }
    run.pfxWritten = true;

    WriteSerialNumberTrace(mSettings.serialNumber); // a trace that cannot be written is no failure
    mSettings.serialNumber += 1;
    if (mpWidget != nullptr)
        mpWidget->setSerialNumber(mSettings.serialNumber);
}

void Talvane::ShowSuccessReport(const CreationRun& run)
{
    const auto absolute = [](const QString& name) { return QFileInfo(name).absoluteFilePath(); };
    const QString text =
        QStringLiteral("The following files were successfully created:\n") +
        (run.pemWritten ? absolute(run.pemFileName) : QString()) + QStringLiteral("\n") +
        (run.pfxWritten ? absolute(run.pfxFileName) : QString()) + QStringLiteral("\n\n") +
        QStringLiteral("Root Name: ") + mSettings.rootName + QStringLiteral("\n") +
        QStringLiteral("Organisation Name: ") + mSettings.organizationName + QStringLiteral("\n") +
        QStringLiteral("Entity Name: ") + mSettings.entityName + QStringLiteral("\n") +
        QStringLiteral("Serial Number: ") + QString::number(run.serialNumber) + QStringLiteral("\n") +
        QStringLiteral("valid from: ") + mSettings.validityStart.toLocalTime().toString(Qt::TextDate) +
        QStringLiteral("\n") + QStringLiteral("valid until: ") +
        mSettings.validityEnd.toLocalTime().toString(Qt::TextDate) + QStringLiteral("\n") +
        QStringLiteral("allow derived certificates: ") + QString::number(mSettings.pathLength);
    showBox(mpWidget, QMessageBox::Information, tr("Congratulations"), text);
}
