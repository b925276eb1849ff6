#pragma once

#include "chaincheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>

#include <openssl/evp.h>
#include <openssl/x509.h>

// Makes profile-conforming certificates straight with OpenSSL, or ones that break exactly one
// rule, so that the checker can be tried on both without the engine.
enum class Fault
{
    None,
    Version1,
    WrongDnQualifier,
    Utf8Name,
    NonPrintableCharacter,
    TwoOrganizationalUnits,
    RoleInAuthorityName,
    OtherOrganization,
    LeafPathLength,
    LeafCa,
    NonCriticalBasicConstraints,
    PathLengthNotBelowParent,
    ExtraKeyUsage,
    MissingSubjectKeyId,
    MissingAuthorityKeyId,
    AuthorityKeyIdMismatch,
    AuthorityIssuerIsParentSubject,
    AuthoritySerialWrong,
    Sha1Signature,
    SmallKey,
    Exponent3,
    ValidityOutsideParent,
    GeneralizedTimeBefore2050,
    IssuerNotParentSubject,
    BadSignature,
    OuterAlgorithmDiffers,
    SerialZero,
};
Q_DECLARE_METATYPE(Fault)

struct CertificateSpec
{
    QByteArray commonName; // ".name" for an authority, "CS.name" for a leaf
    long serial = 1;
    int pathLength = -1; // -1: a leaf
    QDateTime notBefore;
    QDateTime notAfter;
    EVP_PKEY* key = nullptr; // borrowed
    const EVP_MD* digest = nullptr;
    Fault fault = Fault::None;
    // Read the extensions (as OpenSSL caches them) before signing, as issuing code may.
    bool readBeforeSigning = false;
};

class CertificateBuilder
{
public:
    static constexpr const char* kOrganization = "Talvane Test Root";
    static constexpr const char* kOrganizationalUnit = "Quality";

    // issuer and issuerKey null: a self-signed root. Both borrowed.
    static X509Ptr make(const CertificateSpec& spec, X509* issuer, EVP_PKEY* issuerKey);

    // A fresh RSA key; the caller owns it.
    static EvpPkeyPtr rsaKey(int bits, unsigned long exponent = 65537);
};
