#include "issuer.h"

#include "certificaterules.h"
#include "notes.h"
#include "passwords.h"
#include "pkcs12work.h"
#include "refusals.h"
#include "validity.h"

namespace Rules = CertificateRules;

Refusal readIssuer(const QString& path, const Secret& password, IssuingCertificate& issuer)
{
    IssuerReading reading = ReadIssuingCertificate(path, password);
    switch (reading.outcome)
    {
    case IssuerReading::Missing:
        return Refuse::issuerMissing(path);
    case IssuerReading::Unreadable:
        switch (reading.cause)
        {
        case IssuerReading::Cause::WrongPassword:
            return Refuse::issuerWrongPassword(path);
        case IssuerReading::Cause::PemCertificate:
            return Refuse::issuerWithoutKey(path);
        case IssuerReading::Cause::NotPkcs12:
            return Refuse::issuerNotPkcs12(path);
        case IssuerReading::Cause::TooManyIterations:
            return Refuse::tooManyIterations(path, kPkcs12MostIterations);
        case IssuerReading::Cause::Unknown:
            break;
        }
        return Refuse::issuerUnreadable(path);
    case IssuerReading::Read:
        break;
    }
    if (!reading.certificate.ca)
        return Refuse::issuerIsLeaf(path, reading.certificate.commonName);
    if (!reading.certificate.objects.valid())
        return Refuse::issuerUnreadable(path);
    issuer = std::move(reading.certificate);
    return std::nullopt;
}

Refusal fitPathLength(CertificateType type, bool given, int& pathLength, const IssuingCertificate& issuer)
{
    if (Rules::issuerSignsNothing(issuer.pathLength))
        return Refuse::issuerPathLengthZero();
    if (type != CertificateType::Intermediate)
        return std::nullopt;
    if (!given)
        pathLength = int(Rules::largestPathLengthUnder(issuer.pathLength));
    if (Rules::pathLengthUnderIssuer(pathLength, issuer.pathLength) != Rules::PathLengthFit::Fits)
        return Refuse::pathLengthTooLong(pathLength, issuer.pathLength);
    if (!Rules::authorityPathLengthAllowed(pathLength))
        return Refuse::issuerSignsLeavesOnly();
    return std::nullopt;
}

Refusal readLeafIssuer(const Invocation& invocation, const QString& path, const PeriodRequest& requested,
                       Secret& password, IssuingCertificate& issuer, CertificateRules::ChainPeriod& period)
{
    const PasswordSource source{invocation.value(Option::IssuerPasswordFile), "TALVANE_ISSUER_PASSWORD",
                                Option::IssuerPasswordFile, Note::issuingFilePurpose(path), false};
    if (auto error = ObtainPassword(invocation.console(), source, password))
        return error;
    if (auto error = readIssuer(path, password, issuer))
        return error;
    int pathLength = 0;
    if (auto error = fitPathLength(CertificateType::Leaf, false, pathLength, issuer))
        return error;
    return periodUnderIssuer(requested, issuer, path, QDateTime::currentDateTimeUtc(), period);
}
