#include "issuingcertificate.h"

#include "opensslutil.h"
#include "secret.h"
#include "zidcertificate.h"

#include <QFile>

#include <openssl/pkcs12.h>

namespace
{

// More than any container or certificate file; the classification reads no further.
constexpr qint64 kMostBytesClassified = 4 * 1024 * 1024;

IssuerReading::Cause causeOfFailure(const QString& path, const Secret& password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IssuerReading::Cause::Unknown;
    const QByteArray content = file.read(kMostBytesClassified);
    const auto* cursor = reinterpret_cast<const unsigned char*>(content.constData());
    const Pkcs12Ptr container(d2i_PKCS12(nullptr, &cursor, long(content.size())));
    if (container &&
        OpenSSLUtil::PKCS12IterationsTooHigh(QFile::encodeName(path).constData(), password.data()) != 0)
        return IssuerReading::Cause::TooManyIterations;
    if (container)
        return PKCS12_verify_mac(container.get(), password.data(), password.size()) == 1
                   ? IssuerReading::Cause::Unknown
                   : IssuerReading::Cause::WrongPassword;
    if (content.contains("-----BEGIN CERTIFICATE-----") && !content.contains("PRIVATE KEY-----"))
        return IssuerReading::Cause::PemCertificate;
    return IssuerReading::Cause::NotPkcs12;
}

void describe(const ZIDCertificate& issuer, IssuingCertificate& certificate)
{
    certificate.pathLength = issuer.getPathLength();
    certificate.printedStart = QString::fromStdString(issuer.getValidityStart());
    certificate.printedEnd = QString::fromStdString(issuer.getValidityEnd());
    certificate.start = parseIssuerTime(certificate.printedStart);
    certificate.end = parseIssuerTime(certificate.printedEnd);
    certificate.organization = QString::fromStdString(issuer.mSubject.organizationName);
    certificate.organizationalUnit = QString::fromStdString(issuer.mSubject.organizationUnitName);
    certificate.commonName = QString::fromStdString(issuer.mSubject.commonName);
    certificate.ca = issuer.mCA;
}

} // namespace

IssuingCertificate DescribeIssuer(IssuerObjects objects)
{
    IssuingCertificate certificate;
    ZIDCertificate issuer;
    if (objects.certificate)
        issuer.Init(objects.certificate.get());
    describe(issuer, certificate);
    certificate.objects = std::move(objects);
    return certificate;
}

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
        reading.cause = causeOfFailure(path, password);
        return reading;
    }
    reading.outcome = IssuerReading::Read;
    IssuingCertificate& certificate = reading.certificate;
    describe(issuer, certificate);
    // References of the reading's own: the object frees its copies when it goes.
    if (issuer.mpX509 != nullptr && issuer.mpKey != nullptr && X509_up_ref(issuer.mpX509) == 1)
    {
        certificate.objects.certificate.reset(issuer.mpX509);
        if (EVP_PKEY_up_ref(issuer.mpKey) == 1)
            certificate.objects.key.reset(issuer.mpKey);
        certificate.objects.chain.reset(issuer.mpChain != nullptr ? X509_chain_up_ref(issuer.mpChain)
                                                                  : sk_X509_new_null());
    }
    return reading;
}
