#pragma once

#include "certificatesettings.h"
#include "serialnumbertrace.h"

#include <QObject>
#include <QString>

class TalvaneWidget;
class ZIDCertificate;

// The application controller: owns the certificate parameters and the main form, refuses
// to run without the cryptographic board, and turns each accepted press of "Create" into
// one certificate with its files.
class Talvane : public QObject
{
    Q_OBJECT

public:
    // Seeds the random generator from the board (or shows the warning and ends the process
    // with status 0), prepares the next serial number and shows the form.
    Talvane();
    ~Talvane() override;

    // The record the form fills before each creation (also filled directly by tests).
    CertificateSettings& settings() { return mSettings; }

public slots:
    // Creates one certificate of the given form type (0 root, 1 intermediate, 2 leaf) from
    // the settings record, writes its files and reports the outcome. True when the
    // certificate was created and both files were written.
    bool CreateCertificate(int certComboIndex);

private:
    // What one creation has done so far; its flags decide the closing boxes.
    struct CreationRun
    {
        QString errorText; // the one failure message for the user
        bool success = false;
        bool pemWritten = false;
        bool pfxWritten = false;
        QString pemFileName;
        QString pfxFileName;
        qint64 serialNumber = 0; // of the certificate being made
    };

    // The certificate's serial number, taken under the trace's lock before its key is made.
    SerialReservation ReserveSerialNumber(CreationRun& run) const;
    // After the run: the number given back when nothing was made, else the next one offered.
    void RecordSerialNumber(const SerialReservation& reservation, const CreationRun& run);
    void NormalizePemFileName(const QString& name);
    void WriteOutputFiles(ZIDCertificate& certificate, CreationRun& run);
    void ShowSuccessReport(const CreationRun& run);

    CertificateSettings mSettings;
    TalvaneWidget* mpWidget = nullptr; // owned
    qint64 mOfferedSerial = 0;         // the number last put in the form as the next one
};
