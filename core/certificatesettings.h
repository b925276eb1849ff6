#pragma once

#include <QDateTime>
#include <QString>

// Every parameter of the next certificate. Owned by the controller; the form shows it at
// start-up and overwrites it right before it asks for a certificate, and the creation
// workflow reads it.
struct CertificateSettings
{
    QString destinationFileName;
    QString destinationPassword;
    QString issuerFileName; // empty for a self-signed root
    QString issuerPassword;
    bool ca = false;
    int pathLength = 3;
    QString rootName = QStringLiteral(".CertificateUsage.CompanyName");     // subject O of a root
    QString organizationName = QStringLiteral(".DepartmentName.CompanyName"); // subject OU
    QString entityName = QStringLiteral(".CertificateHolder");                // subject CN
    qint64 serialNumber = 0;
    int signingAlgorithm = 1; // 0 SHA-1, 1 SHA-256
    QDateTime validityStart = QDateTime::currentDateTime();
    QDateTime validityEnd = validityStart.addYears(1);
};
