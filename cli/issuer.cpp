#include "issuer.h"

#include "certificaterules.h"
#include "pkcs12work.h"
#include "refusals.h"

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
