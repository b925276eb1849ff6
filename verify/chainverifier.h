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
    // `now` is a time the caller chose rather than the present: findings say "at <time>" where
    // they would say "now" ("validity at 2030-01-01T00:00:00Z").
    bool nowChosen = false;
    // With `now` valid and warnDays > 0: the warning "expiry" for a certificate still valid at
    // `now` that ends within this many days after it.
    int warnDays = 0;
};

// The certificates of one or more files sorted into chains.
struct ChainSorting
{
    // Each chain to judge, root first: from a self-signed root down to a certificate that issued
    // none of the others, so an authority above several leaves is in each of their chains. Borrowed.
    std::vector<std::vector<X509*>> chains;
    // The top certificate of each branch whose issuer is not among the certificates; the
    // branch is not in `chains`. Borrowed.
    std::vector<X509*> orphans;
    // Every certificate once (duplicates dropped), in chain order: each root or orphan, then
    // depth-first what it issued. Borrowed.
    std::vector<X509*> ordered;
    // Set when the certificates cannot be sorted (several self-signed roots, or issuers in a
    // circle): then `chains` is the one list of the certificates as given, duplicates dropped.
    QString problem;
};

// What verifying a set of certificates found.
struct ChainReport
{
    std::vector<ChainFinding> findings; // each finding once, chain by chain
    size_t certificates = 0;            // distinct certificates judged or named
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
//   keyUsage                keyCertSign, and at most cRLSign beside it (authority); exactly
//                           digitalSignature and keyEncipherment (leaf)
//   serial number           greater than 0, at most 64 bits long
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
//   expiry                  (options.now and options.warnDays, warning) ends within warnDays
//                           days after options.now
// The "validity now" rule is named "validity at <time>" when options.nowChosen is set.
//
// No function throws; each leaves the OpenSSL error queue as it found it.
class ChainVerifier
{
public:
    using Options = ChainVerifyOptions;

    // rootFirst: the root, then each certificate issued by the one before it; borrowed. Each
    // certificate is judged from its DER encoding, as a file would hold it.
    static std::vector<ChainFinding> verify(const std::vector<X509*>& rootFirst, const Options& options = Options());

    // Sorts certificates into chains, linking each to its parent by name or, where the name is
    // what is broken, by key identifier; duplicates are dropped. Borrowed in, borrowed out.
    static ChainSorting sortIntoChains(const std::vector<X509*>& certificates);

    // Sorts the certificates into chains and judges each (options.lastIsLeaf is decided per
    // chain by endsInLeaf). A branch whose issuer is missing gets the one error "missing
    // issuer" naming that issuer, and nothing else of it is judged; certificates that cannot be
    // sorted get the error "chain order" and are judged in the order given. Borrowed.
    static ChainReport verifyCertificates(const std::vector<X509*>& certificates, const Options& options);

    // Whether a chain ends in a leaf: its last certificate is not an authority (no CA:TRUE)
    // or its CN carries a role.
    static bool endsInLeaf(const std::vector<X509*>& rootFirst);

    // Every "CERTIFICATE" block of a PEM file in file order; empty when none can be read.
    static std::vector<X509Ptr> loadPemCertificates(const QString& path);

    // A certificate file told by its content, not its name.
    struct CertificateFile
    {
        enum class Kind
        {
            Unreadable, // cannot be opened
            Pem,        // a "-----BEGIN " line in its first 64 KiB
            Der,        // the whole file is one DER certificate
            Other       // anything else: a PKCS#12 container, or nothing of use
        };
        Kind kind = Kind::Unreadable;
        std::vector<X509Ptr> certificates; // Pem: every readable block, in file order; Der: the one
    };
    static CertificateFile loadCertificateFile(const QString& path);

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
