#include "issuer.h"

#include "certificaterules.h"
#include "certificatesources.h"
#include "notes.h"
#include "passwords.h"
#include "pkcs12work.h"
#include "refusals.h"
#include "secret.h"
#include "tokenaccess.h"
#include "validity.h"

#include <cstring>

namespace Rules = CertificateRules;

namespace
{

// Compared as their encodings: a token's key and a certificate's key are of different kinds.
bool samePublicKey(X509* certificate, EVP_PKEY* key)
{
    unsigned char* first = nullptr;
    unsigned char* second = nullptr;
    const int firstSize = i2d_PUBKEY(X509_get0_pubkey(certificate), &first);
    const int secondSize = i2d_PUBKEY(key, &second);
    const bool same =
        firstSize > 0 && firstSize == secondSize && std::memcmp(first, second, size_t(firstSize)) == 0;
    OPENSSL_free(first);
    OPENSSL_free(second);
    return same;
}

// The certificates above `certificate` among `others` (borrowed), root first, each the issuer of
// the one after it; a certificate of `others` that is no ancestor stays out.
OwnedX509StackPtr chainAbove(X509* certificate, const std::vector<X509*>& others)
{
    OwnedX509StackPtr chain(sk_X509_new_null());
    X509* current = certificate;
    for (size_t step = 0; chain && step < others.size(); ++step)
    {
        if (X509_check_issued(current, current) == X509_V_OK)
            break;
        X509* parent = nullptr;
        for (X509* candidate : others)
            if (candidate != current && X509_check_issued(candidate, current) == X509_V_OK)
                parent = candidate;
        if (!parent || X509_up_ref(parent) != 1)
            break;
        if (sk_X509_unshift(chain.get(), parent) <= 0)
        {
            X509_free(parent);
            return OwnedX509StackPtr();
        }
        current = parent;
    }
    return chain;
}

// The certificate of the token's key, from the token or else --issuer-cert, and the chain above it.
Refusal tokenIssuerObjects(const Invocation& invocation, const TokenAccess& access, EvpPkeyPtr key,
                           const QString& label, const QByteArray& id, IssuerObjects& objects)
{
    objects.certificate = access.session->findCertificate(label, id);
    std::vector<X509*> others;
    CertificateSources sources(invocation);
    const QString file = invocation.value(Option::IssuerCert);
    if (!file.isEmpty())
    {
        if (auto error = sources.add(file))
            return error;
        others = sources.borrowed();
    }
    if (!objects.certificate)
        for (X509* candidate : others)
            if (samePublicKey(candidate, key.get()) && X509_up_ref(candidate) == 1)
            {
                objects.certificate.reset(candidate);
                break;
            }
    if (!objects.certificate)
        return file.isEmpty()
                   ? Refuse::tokenCertificateMissing(access.uriText, OptionText(Option::IssuerCert))
                   : Refuse::tokenCertificateNotOfKey(file, access.uriText);
    // A certificate stored beside the key by another tool may not be the key's.
    if (!samePublicKey(objects.certificate.get(), key.get()))
        return Refuse::tokenCertificateNotOfKey(access.uriText, access.uriText);
    objects.chain = chainAbove(objects.certificate.get(), others);
    objects.key = std::move(key);
    objects.keyHolder = access.session;
    return objects.valid() ? Refusal() : Refuse::issuerUnreadable(access.uriText);
}

Refusal readTokenIssuer(const Invocation& invocation, const QString& uri, IssuingCertificate& issuer,
                        TokenAccess& access)
{
    if (auto error = OpenToken(invocation, uri, Option::Issuer, access))
        return error;
    EvpPkeyPtr key;
    const TokenFinding found = access.session->findKey(access.uri, key, access.keyLabel, access.keyId);
    if (found != TokenFinding::Done)
        return TokenRefusal(found, access);
    IssuerObjects objects;
    if (auto error =
            tokenIssuerObjects(invocation, access, std::move(key), access.keyLabel, access.keyId, objects))
        return error;
    IssuingCertificate described = DescribeIssuer(std::move(objects));
    if (!described.ca)
        return Refuse::issuerIsLeaf(uri, described.commonName);
    issuer = std::move(described);
    return std::nullopt;
}

} // namespace

std::vector<CommandOption> IssuerOptions()
{
    return {{Option::Issuer,
             "PKCS#12 file of the issuing certificate with its key, or the pkcs11: URI of a key "
             "in a token (pkcs11:token=LABEL;object=KEY-LABEL)."},
            {Option::IssuerPasswordFile},
            {Option::IssuerCert},
            {Option::Module},
            {Option::PinFile}};
}

std::vector<CommandOption> IssuerOptionsWith(const std::vector<CommandOption>& own)
{
    std::vector<CommandOption> options = IssuerOptions();
    options.insert(options.end(), own.begin(), own.end());
    return options;
}

bool IssuerInToken(const Invocation& invocation)
{
    return IsPkcs11Uri(invocation.value(Option::Issuer));
}

Refusal ObtainIssuer(const Invocation& invocation, IssuingCertificate& issuer, TokenAccess* token)
{
    const QString given = invocation.value(Option::Issuer);
    if (given.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Issuer), QStringLiteral("the issuing PKCS#12 file"));
    if (IssuerInToken(invocation))
    {
        TokenAccess access;
        if (auto error = readTokenIssuer(invocation, given, issuer, access))
            return error;
        if (token)
            *token = std::move(access);
        return std::nullopt;
    }
    Secret password;
    const PasswordSource source{invocation.value(Option::IssuerPasswordFile), "TALVANE_ISSUER_PASSWORD",
                                Option::IssuerPasswordFile, Note::issuingFilePurpose(given), false};
    if (auto error = ObtainPassword(invocation.console(), source, password))
        return error;
    return readIssuer(given, password, issuer);
}

Refusal ObtainTokenIssuer(const Invocation& invocation, const QString& uri, IssuingCertificate& issuer,
                          TokenAccess& token)
{
    return readTokenIssuer(invocation, uri, issuer, token);
}

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

Refusal readLeafIssuer(const Invocation& invocation, const PeriodRequest& requested,
                       IssuingCertificate& issuer, CertificateRules::ChainPeriod& period)
{
    if (auto error = ObtainIssuer(invocation, issuer))
        return error;
    int pathLength = 0;
    if (auto error = fitPathLength(CertificateType::Leaf, false, pathLength, issuer))
        return error;
    return periodUnderIssuer(requested, issuer, invocation.value(Option::Issuer),
                             QDateTime::currentDateTimeUtc(), period);
}

CertificateSettings LeafSettingsUnder(const IssuingCertificate& issuer, const QString& organization,
                                      const CertificateRules::ChainPeriod& period, bool sha1)
{
    CertificateSettings settings;
    settings.ca = false;
    settings.pathLength = 0;
    settings.organizationName = organization.isEmpty() ? issuer.organizationalUnit : organization;
    settings.signingAlgorithm = sha1 ? 0 : 1;
    settings.validityStart = period.start;
    settings.validityEnd = period.end;
    return settings;
}
