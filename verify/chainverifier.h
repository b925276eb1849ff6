#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "osslptr.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <vector>

// One thing wrong with (or worth knowing about) a chain.
struct ChainFinding
{
    enum class Severity
    {
        Error,
        Warning
    };
    Severity severity = Severity::Error;
    QString rule;        // "basicConstraints", "validity now" ...
    QString certificate; // `CN "<common name>" serial <decimal serial>`, or "chain"
    QString text;

    bool isError() const { return severity == Severity::Error; }
    // "<rule>: <certificate>: <text>"
    QString line() const { return rule + QStringLiteral(": ") + certificate + QStringLiteral(": ") + text; }
};

struct ChainVerifyOptions
{
    enum class Digest
    {
        Sha256, // sha256WithRSAEncryption on every certificate
        Sha1,   // sha1WithRSAEncryption on every certificate
        Either  // either of the two, as long as the whole chain uses one
    };
    Digest digest = Digest::Sha256;

    // false: every certificate of the chain is an authority (a root alone, or root and
    // intermediates before a leaf exists).
    bool lastIsLeaf = true;

    // When valid, every certificate must be valid at this time and path validation runs at it.
    // When invalid, no certificate is held to a time and path validation runs one second after
    // the last certificate's notBefore, so that chains dated in the future still validate.
    QDateTime at;

    // When valid: the rule "validity now" (each certificate valid at this time) and the two
    // warnings of the field's checkers, an end past 2038-01-19 03:14:07 UTC (beyond 32-bit
    // time) and an end more than 10 years after this time.
    QDateTime now;
};

// The digital-cinema certificate profile as the public checkers of this field apply it.
// Rules, by the names findings carry:
//   version                 X.509 v3
//   public key              RSA, 2048 bits, exponent 65537
//   signature algorithm     the chosen digest with RSA on every certificate, one algorithm for
//                           the chain, inner and outer algorithm identifiers equal
//   name string type        every issuer and subject attribute a valid PrintableString
//   subject attributes      exactly one O, OU, CN and dnQualifier in the subject
//   dnQualifier             Base64(SHA-1(DER RSAPublicKey)) of the certificate's own key
//   organization            the same O in issuer and subject
//   common name role        an authority's CN starts with "." (no role), a leaf's with "CS."
//   basicConstraints        present, critical; authority CA:TRUE with a path length, leaf
//                           CA:FALSE without one; each path length below the one above it
//   keyUsage                exactly keyCertSign (authority), exactly digitalSignature and
//                           keyEncipherment (leaf)
//   serial number           greater than 0
//   subjectKeyIdentifier    present
//   authorityKeyIdentifier  present; key identifier = issuer's SKI; issuer name and serial =
//                           the issuer certificate's own issuer name and serial
//   issuer name             the root's equals its subject, a child's its parent's subject
//   signature               verifies with the issuer's key (the root's with its own)
//   validity                inside the parent's; UTCTime for 1950-2049, GeneralizedTime
//                           otherwise; at options.at when that is set
//   path validation         X509_verify_cert with X509_V_FLAG_X509_STRICT, root trusted
//   validity now            (options.now) valid at that time
//   validity past 2038      (options.now, warning) ends after 2038-01-19 03:14:07 UTC
//   validity over 10 years  (options.now, warning) ends more than 10 years after options.now
//
// No function throws; each leaves the OpenSSL error queue as it found it.
class ChainVerifier
{
public:
    using Options = ChainVerifyOptions;

    // rootFirst: the root, then each certificate issued by the one before it; borrowed. Each
    // certificate is judged from its DER encoding, as a file would hold it.
    static std::vector<ChainFinding> verify(const std::vector<X509*>& rootFirst, const Options& options = Options());

    // Puts certificates in chain order, root first, linking each to its parent by name or by
    // key identifier; duplicates are dropped. When they do not form one chain from a
    // self-signed root, *problem says why and the result keeps the given order (duplicates
    // dropped), so the rules can still be applied. Borrowed in, borrowed out.
    static std::vector<X509*> orderRootFirst(const std::vector<X509*>& certificates, QString* problem);

    // Whether a chain ends in a leaf: its last certificate is not an authority (no CA:TRUE)
    // or its CN carries a role.
    static bool endsInLeaf(const std::vector<X509*>& rootFirst);

    // Every "CERTIFICATE" block of a PEM file in file order; empty when none can be read.
    static std::vector<X509Ptr> loadPemCertificates(const QString& path);

    struct Pkcs12Contents
    {
        EvpPkeyPtr key;
        X509Ptr certificate;
        std::vector<X509Ptr> chain; // in container order
        QString error;              // empty on success
        bool ok() const { return error.isEmpty(); }
    };
    // Opens a PKCS#12 file with OpenSSL's PKCS12_parse (legacy algorithms enabled).
    static Pkcs12Contents loadPkcs12(const QString& path, const QByteArray& password);

    // `CN "<common name>" serial <serial>`, the way findings name a certificate.
    static QString describe(const X509* certificate);

    // Loads OpenSSL's "default" and "legacy" providers once (RC2-40 needs the latter); every
    // function above calls it.
    static void initOpenSsl();
};
