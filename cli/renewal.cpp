#include "renewal.h"

#include "certificatefacts.h"
#include "certificatesources.h"
#include "chainverifier.h"
#include "console.h"
#include "notes.h"
#include "refusals.h"
#include "reissue.h"
#include "secret.h"
#include "values.h"

#include <QFileInfo>

namespace Rules = CertificateRules;

namespace
{

Refusal checkProfile(const QString& path, const CertificateFacts& facts)
{
    Rules::RenewalSubject subject;
    subject.rsa2048 = facts.keyAlgorithm == QLatin1String("RSA") && facts.keyBits == 2048;
    subject.basicConstraints = facts.hasBasicConstraints;
    subject.keyUsage = facts.hasKeyUsage;
    subject.dnQualifierOfKey = facts.dnQualifierMatchesKey();
    subject.names =
        !facts.organization.isEmpty() && !facts.organizationalUnit.isEmpty() && !facts.commonName.isEmpty();
    const Rules::RenewalFinding finding = Rules::checkRenewable(subject);
    if (finding == Rules::RenewalFinding::Renewable)
        return std::nullopt;
    return Refuse::notOfProfile(path, facts.commonName, finding);
}

} // namespace

Refusal readRenewed(const QString& path, const Secret& password, RenewedContainer& container)
{
    if (!QFileInfo::exists(path))
        return Refuse::fileMissing(path);
    // Borrows the password's bytes: a copy would outlive the wiping.
    ChainVerifier::Pkcs12Contents contents =
        ChainVerifier::loadPkcs12(path, QByteArray::fromRawData(password.data(), password.size()));
    if (auto error = ContainerRefusal(path, contents))
        return error;
    if (!contents.key)
        return Refuse::noKeyIn(path);
    if (X509_check_private_key(contents.certificate.get(), contents.key.get()) != 1)
        return Refuse::keyNotOfCertificate(path);
    const CertificateFacts facts = ReadCertificateFacts(contents.certificate.get());
    if (auto error = checkProfile(path, facts))
        return error;
    container.path = path;
    container.key = std::move(contents.key);
    container.certificate = std::move(contents.certificate);
    container.chain = std::move(contents.chain);
    container.commonName = facts.commonName;
    container.issuerCommonName = facts.issuerCommonName;
    container.authority = facts.ca;
    container.root = IsSelfSigned(container.certificate.get()) == 1;
    return std::nullopt;
}

IssuingCertificate issuerFacts(const Rules::ChainPeriod& period)
{
    IssuingCertificate issuer;
    issuer.start = period.start;
    issuer.end = period.end;
    issuer.printedStart = printed(period.start);
    issuer.printedEnd = printed(period.end);
    issuer.ca = true;
    return issuer;
}

Refusal reissue(X509* old, EVP_PKEY* newKey, X509* issuer, EVP_PKEY* issuerKey, qint64 serial,
                const Rules::ChainPeriod& period, X509Ptr& made)
{
    const ReissueParameters parameters{serial, period.start.toSecsSinceEpoch(),
                                       period.end.toSecsSinceEpoch()};
    X509* out = nullptr;
    if (ReissueCertificate(old, newKey, issuer, issuerKey, parameters, &out) == 0)
        return Refuse::issuingFailed(QString());
    made.reset(out);
    return std::nullopt;
}
