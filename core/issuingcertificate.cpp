#include "issuingcertificate.h"

#include "secret.h"
#include "zidcertificate.h"

#include <QFile>

QDateTime parseIssuerTime(const QString& printed)
{
    // Read as UTC from the start: read as local time first, an issuer time inside the local
    // clock's spring-forward gap (02:30 on the last Sunday of March in Berlin) would not exist
    // and be refused.
    QString text = printed;
    text.chop(4);
    text += QStringLiteral(" Z");
    QDateTime time = QDateTime::fromString(text, QStringLiteral("MMM d HH:mm:ss yyyy t"));
    if (!time.isValid())
        time = QDateTime::fromString(text, QStringLiteral("MMM  d HH:mm:ss yyyy t"));
    return time.toUTC();
}

IssuerReading ReadIssuingCertificate(const QString& path, const Secret& password)
{
    IssuerReading reading;
    if (!QFile::exists(path))
        return reading;
    ZIDCertificate issuer;
    if (issuer.ReadPKCS12(path.toStdString().c_str(), password.data()) == 0)
    {
        reading.outcome = IssuerReading::Unreadable;
        return reading;
    }
    reading.outcome = IssuerReading::Read;
    IssuingCertificate& certificate = reading.certificate;
    certificate.pathLength = issuer.getPathLength();
    certificate.printedStart = QString::fromStdString(issuer.getValidityStart());
    certificate.printedEnd = QString::fromStdString(issuer.getValidityEnd());
    certificate.start = parseIssuerTime(certificate.printedStart);
    certificate.end = parseIssuerTime(certificate.printedEnd);
    certificate.organization = QString::fromStdString(issuer.mSubject.organizationName);
    return reading;
}
