// One press of "Create": from the settings record to a signed certificate on disk.

#include "filegroup.h"
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

#include <algorithm>

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
        run.errorText +=
            QStringLiteral("Failed seeding random generator!\n"
                           "No Quorrel ZID card found or card is in use by another application!");
    }
    else
    {
        const SerialReservation reservation = ReserveSerialNumber(run);
        CertificateSettings settings = mSettings;
        settings.serialNumber = run.serialNumber;
        if (!IssueFromSettings(certificate, settings, certComboIndex, Secret(mSettings.issuerPassword)))
        {
            run.errorText += QStringLiteral("Failed creating certificate!\n");
        }
        else
        {
            run.success = true;
            WriteOutputFiles(certificate, run);
        }
        RecordSerialNumber(reservation, run);
    }
    QApplication::restoreOverrideCursor();

    if (!run.success)
        showBox(mpWidget, QMessageBox::Warning, tr("Warning"), run.errorText);
    if (run.pemWritten || run.pfxWritten)
        ShowSuccessReport(run);
    return run.success;
}

SerialReservation Talvane::ReserveSerialNumber(CreationRun& run) const
{
    // The number the form offered stands for "the next one", and another run may have taken it
    // since: the trace, read under its lock, decides it (never below the offer). A number the user
    // typed is the user's, recorded where it passes the trace. Where the trace cannot be used the
    // run goes on with the form's number, as the window always has.
    const qint64 shown = mSettings.serialNumber;
    const SerialReservation reservation =
        shown == mOfferedSerial ? ReserveSerialNumbers(1, shown) : RecordGivenSerialNumbers(shown, 1);
    run.serialNumber = reservation.reserved() ? reservation.first : shown;
    return reservation;
}

void Talvane::RecordSerialNumber(const SerialReservation& reservation, const CreationRun& run)
{
    if (!run.success)
    {
        // Nothing was made with the number: it is offered again, as if never taken.
        ReleaseSerialNumbers(reservation);
        return;
    }
    if (!reservation.reserved())
        WriteSerialNumberTrace(run.serialNumber); // a trace that cannot be written is no failure
    // After a typed number below the trace, the next one offered is the trace's next.
    mSettings.serialNumber = std::max(run.serialNumber, reservation.reserved() ? reservation.last : 0) + 1;
    mOfferedSerial = mSettings.serialNumber;
    if (mpWidget != nullptr)
        mpWidget->setSerialNumber(mSettings.serialNumber);
}

void Talvane::NormalizePemFileName(const QString& name)
{
    mSettings.destinationFileName = OutputFiles::pemFileName(name);
}

void Talvane::WriteOutputFiles(ZIDCertificate& certificate, CreationRun& run)
{
    NormalizePemFileName(mSettings.destinationFileName);
    run.pemFileName = mSettings.destinationFileName;
    run.pfxFileName = OutputFiles::pkcs12FileName(run.pemFileName);
    // Both questions before either file is touched: the certificate and its container are written
    // together or not at all, so that no certificate is left without its key.
    if (QFile::exists(run.pemFileName) &&
        !OutputFiles::confirmOverwrite(QStringLiteral("Write PEM Error!"), run.pemFileName))
    {
        run.success = false;
        run.errorText += QStringLiteral("Writing PEM file aborted!\n");
        return;
    }
    if (QFile::exists(run.pfxFileName) &&
        !OutputFiles::confirmOverwrite(QStringLiteral("Write PFX Error!"), run.pfxFileName))
    {
        run.success = false;
        run.errorText += QStringLiteral("Writing PKCS12 file aborted!\n");
        return;
    }

    const QString failedPem = QStringLiteral("Failed writing certificate!\n");
    const QString failedPfx = QStringLiteral("Failed writing PKCS12 file!\n");
    const Secret password(mSettings.destinationPassword);
    FileGroup files;
    QString failure;
    if (certificate.WritePem(run.pemFileName.toStdString().c_str()) == 0)
        failure = failedPem;
    else if (certificate.WritePKCS12(run.pfxFileName.toStdString().c_str(), password.data()) == 0)
        failure = failedPfx;
    else if (!files.commit())
        failure = files.failedFile() == 0 ? failedPem : failedPfx;
    if (!failure.isEmpty())
    {
        run.success = false;
        run.errorText += failure;
        return;
    }
    run.pemWritten = true;
    run.pfxWritten = true;
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
