#pragma once

#include "chaincheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <vector>

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
    SerialOver64Bits, // 2^64, one bit more than the test plans allow
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
    // An authority's keyUsage has cRLSign beside keyCertSign, as OpenSSL's one-call roots do.
    bool crlSign = false;
    // When not empty: the serial number as hex digits, for values a long cannot hold.
    QByteArray serialHex = QByteArray();
    // The authorityKeyIdentifier names only the issuer's key, as many tools write it.
    bool keyIdOnly = false;
};

// The keys test chains are signed with, made once per suite (key generation is slow): one per
// certificate, and a 1024-bit one and one with exponent 3 for the faults that need them.
struct ChainKeys
{
    EvpPkeyPtr certificates[3];
    EvpPkeyPtr small;
    EvpPkeyPtr exponent3;

    bool make();
};

// A root (path length 2) → intermediate (1) → leaf chain: each certificate's validity, the
// digest, and optionally one certificate that breaks one rule.
struct ChainLayout
{
    const EVP_MD* digest = EVP_sha256();
    Fault fault = Fault::None;
    int faulty = -1; // index of the certificate that breaks the rule
    QDateTime notBefore[3];
    QDateTime notAfter[3];
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

    // Root first. A fault that needs another key or another value than the layout's takes the
    // key from `keys` or the value from the parent.
    static std::vector<X509Ptr> chain(const ChainKeys& keys, const ChainLayout& layout);
};
