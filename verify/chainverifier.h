#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "osslptr.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <optional>
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
    // Where the rule comes from, as the field's checkers cite it: "ST 430-2 6.2 step 10" (a step
    // of the standard's certificate validation), "ST 430-2 5.3" (a clause), "CTP 2.1.4" (an item
    // of the compliance test plan), "RFC 5280 4.1.2.2", or "practice/<name>" for a warning the
    // field's checkers give without a clause behind it. Never empty.
    QString ruleId{};
    // The certificate the finding is about, as the caller passed it; null for the chain. Borrowed.
    const X509* about = nullptr;

    bool isError() const { return severity == Severity::Error; }
    // "<rule>: <certificate>: <text>"
    QString line() const { return rule + QStringLiteral(": ") + certificate + QStringLiteral(": ") + text; }
};

struct ChainVerifyOptions
{
    // The certificate profile of the two kinds of package. Both share every rule but two:
    //   Smpte    every signature sha256WithRSAEncryption; serial numbers at most 64 bits
    //   Interop  sha1WithRSAEncryption or sha256WithRSAEncryption, one of them for the whole
    //            chain; serial numbers at most 160 bits
    enum class Profile
    {
        Smpte,
        Interop
    };
    Profile profile = Profile::Smpte;

    enum class Digest
    {
        Sha256, // sha256WithRSAEncryption on every certificate
        Sha1,   // sha1WithRSAEncryption on every certificate
        Either  // either of the two, as long as the whole chain uses one
    };
    // Unset: the profile's (Smpte: Sha256, Interop: Either). Set: replaces the profile's digest
    // rule, for a caller that knows which digest the chain was made with.
    std::optional<Digest> digest;

    // The leaf must be a content signer (what signs a playlist or a package): its CN carries the
    // role CS; another role beside it is a warning. Unset: any leaf with roles passes, and a role
    // this verifier does not know is a warning.
    bool signer = false;

    // The root every chain must lead to: a certificate (borrowed; verifyCertificates takes it as
    // the root of certificates that come without theirs), or its thumbprint (Base64 of the SHA-1 of the
    // TBSCertificate, as `show` prints it). A chain ending elsewhere is the error "trust anchor".
    X509* trustedRoot = nullptr;
    QString trustedThumbprint;

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

// Who a certificate is, the way signatures, device lists and key deliveries name it.
struct CertificateIdentity
{
    const X509* certificate = nullptr; // borrowed
    QString subject;                   // RFC 2253: "dnQualifier=...,CN=...,OU=...,O=..."
    QString issuer;                    // RFC 2253
    QString serialDecimal;
    QString serialHex;  // upper case, whole bytes: "0A"
    QString thumbprint; // Base64(SHA-1(DER TBSCertificate))
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
    // Every distinct certificate in chain order (ChainSorting::ordered).
    std::vector<CertificateIdentity> identities;
    // The self-signed root every chain ends at, taken as trusted (the trusted root itself when the
    // options name one and the chains lead to it); null when the chains end at no single root.
    // Borrowed.
    const X509* trustedRoot = nullptr;
};

// The digital-cinema certificate profile as the public checkers of this field apply it.
// Rules, by the names findings carry, and the identifiers they cite (ChainFinding::ruleId):
//   version                 ST 430-2 6.2 step 2    X.509 v3
//   public key              ST 430-2 6.2 step 11   RSA, 2048 bits, exponent 65537
//   signature algorithm     ST 430-2 6.2 step 10   the profile's digest with RSA on every
//                                                  certificate, one algorithm for the chain;
//                           RFC 5280 4.1.1.2       inner and outer algorithm identifiers equal
//   name string type        ST 430-2 5.3           every issuer and subject attribute a valid
//                                                  PrintableString
//   subject attributes      ST 430-2 6.2 step 4    exactly one O, OU, CN and dnQualifier
//   dnQualifier             ST 430-2 6.2 step 13   Base64(SHA-1(DER RSAPublicKey)) of the
//                                                  certificate's own key
//   organization            ST 430-2 6.2 step 7    the same O in issuer and subject
//   common name role        ST 430-2 6.2 step 8    an authority's CN starts with "." (no role);
//                                                  a leaf's is roles (space-separated), ".",
//                                                  entity; a role not in the list below is a
//                                                  warning; options.signer: CS among them,
//                           DCSS 9.4.3.5           and another role beside it a warning
//   basicConstraints        ST 430-2 6.2 step 5    present (step 3), critical; authority
//                                                  CA:TRUE with a path length, leaf CA:FALSE
//                                                  without one; each path length below the one
//                                                  above it
//   keyUsage                ST 430-2 6.2 step 6    present (step 3); keyCertSign, and at most
//                                                  cRLSign beside it (authority); exactly
//                                                  digitalSignature and keyEncipherment (leaf)
//   serial number           RFC 5280 4.1.2.2       greater than 0;
//                           CTP 2.1.4              at most 64 bits long (Interop: 160)
//   subjectKeyIdentifier    ST 430-2 6.2 step 3    present
//   authorityKeyIdentifier  ST 430-2 6.2 step 14   present (step 3); key identifier = issuer's
//                                                  SKI; issuer name and serial = the issuer
//                                                  certificate's own issuer name and serial
//   issuer name             ST 430-2 6.2 step 17   the root's equals its subject, a child's its
//                                                  parent's subject
//   signature               ST 430-2 6.2 step 15   verifies with the issuer's key
//   validity                ST 430-2 6.2 step 18   inside the parent's;
//                           RFC 5280 4.1.2.5       UTCTime for 1950-2049, GeneralizedTime
//                                                  otherwise, not ending before it starts;
//                           ST 430-2 6.2 step 9    valid at options.at when that is set
//   path validation         RFC 5280 6.1           X509_verify_cert with X509_V_FLAG_X509_STRICT,
//                                                  root trusted
//   distinct keys           practice/distinct-keys no two certificates of a chain with one key
//   validity now            ST 430-2 6.2 step 9    (options.now) valid at that time
//   validity past 2038      practice/2038          (options.now, warning) ends after
//                                                  2038-01-19 03:14:07 UTC
//   validity over 10 years  practice/10-years      (options.now, warning) ends more than 10
//                                                  years after options.now
//   expiry                  practice/expiry        (options.now and options.warnDays, warning)
//                                                  ends within warnDays days after options.now
//   chain                   ST 430-2 6.2 step 16   at least one certificate, a leaf not alone
// and over a set of certificates (verifyCertificates):
//   chain order             ST 430-2 6.2 step 17   the certificates sort into chains
//   missing issuer          ST 430-2 6.2 step 14   every issuer among the certificates
//   issuer and serial       RFC 5280 4.1.2.2       no two certificates with one issuer name and
//                                                  serial number (signatures name their signer
//                                                  by that pair)
//   trust anchor            ST 430-2 6.2 step 19   (options.trustedRoot or trustedThumbprint)
//                                                  every chain ends at that root
// The "validity now" rule is named "validity at <time>" when options.nowChosen is set.
// The roles this verifier knows: CS (content signer), SM (security manager), SMS (screen
// management system), SPB (secure processing block), MD (media decryptor), LE and LD (link
// encryptor and decryptor), FM (forensic marker), PR (projector).
//
// No function throws; each leaves the OpenSSL error queue as it found it.
class ChainVerifier
{
public:
    using Options = ChainVerifyOptions;

    // rootFirst: the root, then each certificate issued by the one before it; borrowed. Each
    // certificate is judged from its DER encoding, as a file would hold it.
    static std::vector<ChainFinding> verify(const std::vector<X509*>& rootFirst,
                                            const Options& options = Options());

    // Sorts certificates into chains, linking each to its parent by name or, where the name is
    // what is broken, by key identifier; duplicates are dropped. Borrowed in, borrowed out.
    static ChainSorting sortIntoChains(const std::vector<X509*>& certificates);

    // Sorts the certificates (with options.trustedRoot where they lack a root) into chains and
    // judges each
    // (options.lastIsLeaf is decided per chain by endsInLeaf); each certificate in each place is
    // judged once, however many chains share it. A branch whose issuer is missing gets the one
    // error "missing issuer" naming that issuer, and nothing else of it is judged; certificates
    // that cannot be sorted get the error "chain order" and are judged in the order given.
    // Borrowed.
    static ChainReport verifyCertificates(const std::vector<X509*>& certificates, const Options& options);

    // Whether a chain ends in a leaf: its last certificate is not an authority (no CA:TRUE)
    // or its CN carries a role.
    static bool endsInLeaf(const std::vector<X509*>& rootFirst);

    // What the readers below take at most: far above any chain (a certificate is about 1.3 KiB
    // as PEM), far below what would strain memory. A larger file is refused after reading at
    // most one byte more than this, whatever it is (a device, a sparse file).
    static constexpr qint64 kLargestFile = 4 * 1024 * 1024;

    // Every "CERTIFICATE" block of a PEM file in file order, up to the first one that cannot be
    // read; empty when none can be read.
    static std::vector<X509Ptr> loadPemCertificates(const QString& path);

    // A certificate file told by its content, not its name.
    struct CertificateFile
    {
        enum class Kind
        {
            Unreadable, // cannot be opened or read
            Empty,      // no bytes at all
            TooLarge,   // more than kLargestFile bytes
            Pem,        // a "-----BEGIN " line, every PEM block readable
            Damaged,    // PEM, but block damagedBlock cannot be read (cut, bad Base64, bad DER)
            Der,        // the whole file is one DER certificate
            Pkcs12,     // a DER SEQUENCE whose first element is INTEGER 3: a PKCS#12 container
            Other       // anything else
        };
        Kind kind = Kind::Unreadable;
        // Pem: every certificate block, in file order; Damaged: those before the damaged block;
        // Der: the one.
        std::vector<X509Ptr> certificates;
        int damagedBlock = 0; // Damaged: the number of the first bad block, counting from 1
    };
    static CertificateFile loadCertificateFile(const QString& path);

    struct Pkcs12Contents
    {
        enum class Outcome
        {
            Ok,
            Unreadable,        // cannot be opened or read
            TooLarge,          // more than kLargestFile bytes
            NotPkcs12,         // not a PKCS#12 structure
            IterationsTooHigh, // asks for more key derivation than kPkcs12MostIterations allows
            WrongPassword,     // the MAC does not verify with the password
            Damaged,           // the MAC verifies (or there is none) but the content cannot be read
            NoCertificate      // opened, but no certificate matches a key
        };
        Outcome outcome = Outcome::Unreadable;
        EvpPkeyPtr key;
        X509Ptr certificate;
        std::vector<X509Ptr> chain; // in container order
        QString error;              // empty on success
        bool ok() const { return outcome == Outcome::Ok; }
    };
    // Opens a PKCS#12 file with OpenSSL's PKCS12_parse (legacy algorithms enabled), once its
    // iteration counts are known to be within the bounds of pkcs12work.h.
    static Pkcs12Contents loadPkcs12(const QString& path, const QByteArray& password);

    // `CN "<common name>" serial <serial>`, the way findings name a certificate.
    static QString describe(const X509* certificate);
    static CertificateIdentity identify(const X509* certificate);

    // Loads OpenSSL's "default" and "legacy" providers once (RC2-40 needs the latter); every
    // function above calls it.
    static void initOpenSsl();
};
