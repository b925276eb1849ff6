#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include "chainverifier.h"
#include "osslptr.h"

#include <vector>

// What a chain is checked against (see ChainVerifyOptions). The tests' default sets no time:
// certificates are not held to the present, and no warning is ever raised.
using ChainCheckOptions = ChainVerifyOptions;

// An independent judge of the digital-cinema certificate profile: it reads certificates with
// OpenSSL alone and never asks the code under test what is right. The rules live in the
// chain verifier (ChainVerifier, which `talvane-chain verify` runs); this is the tests' view
// of it, plus the container layout check, which only tests need.
//
// check() returns the errors, one line each, empty when the chain conforms. Every finding reads
//   "<rule>: <certificate>: <what is wrong>"
// where <certificate> is `CN "<common name>" serial <decimal serial>` (or "chain" for findings
// about the whole chain), so a test can look for a rule by the prefix "<rule>:". The rules:
//   version                 X.509 v3
//   public key              RSA, 2048 bits, exponent 65537
//   signature algorithm     the chosen digest with RSA on every certificate (so one algorithm for
//                           the chain), inner and outer algorithm identifiers equal
//   name string type        every issuer and subject attribute a valid PrintableString
//   subject attributes      exactly one O, OU, CN and dnQualifier in the subject
//   dnQualifier             Base64(SHA-1(DER RSAPublicKey)) of the certificate's own key
//   organization            the same O in issuer and subject
//   common name role        an authority's CN starts with "." (no role), a leaf's with "CS."
//                           (options.signer is always set: the tool's leaves are content signers)
//   basicConstraints        present, critical; authority CA:TRUE with a path length, leaf
//                           CA:FALSE without one; each path length below the one above it
//   keyUsage                exactly keyCertSign (authority), exactly digitalSignature and
//                           keyEncipherment (leaf)
//   serial number           greater than 0, at most 64 bits (options.profile Interop: 160)
//   subjectKeyIdentifier    present
//   authorityKeyIdentifier  present; key identifier = issuer's SKI; issuer name and serial =
//                           the issuer certificate's own issuer name and serial
//   issuer name             the root's equals its subject, a child's its parent's subject
//   signature               verifies with the issuer's key (the root's with its own)
//   validity                inside the parent's; UTCTime for 1950-2049, GeneralizedTime
//                           otherwise; at options.at when that is set
//   path validation         X509_verify_cert with X509_V_FLAG_X509_STRICT, root trusted
//
// No function throws; each leaves the OpenSSL error queue as it found it. Typical use:
//   const QStringList findings = ChainCheck::check({root, intermediate, leaf});
//   QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
class ChainCheck
{
public:
    using Options = ChainCheckOptions;

    // chain: root first, then each certificate issued by the one before it; borrowed (owned
    // certificates go through borrow()). Each certificate is judged from its DER encoding, as a
    // file would hold it: OpenSSL caches what it reads of a certificate's extensions and does
    // not refresh that cache when the certificate is changed (signed, say) afterwards.
    static QStringList check(const std::vector<X509*>& chain, const Options& options = Options());
    // The first certificate of each PEM file, root file first. A file that cannot be read
    // gives a "load" finding.
    static QStringList checkPemFiles(const QStringList& rootFirstPaths, const Options& options = Options());
    // The same for a device's leaf, whose roles need not be a content signer's (they must still be
    // there, and known).
    static QStringList checkDevicePemFiles(const QStringList& rootFirstPaths);

    // The layout of a password-protected PKCS#12 container as the issuing tool writes it:
    //   - a MAC with SHA-1, 1 iteration and an 8-byte salt, that verifies with the password;
    //   - first an encrypted safe (pbeWithSHA1And40BitRC2-CBC, 2048 iterations) holding only
    //     certificate bags: the key's own certificate first, then the chain certificates (in
    //     the order of expectedChain when that is given, borrowed);
    //   - then a plain safe holding one key bag shrouded with pbeWithSHA1And3-KeyTripleDES-CBC
    //     (2048 iterations) whose key belongs to the first certificate;
    //   - on every certificate bag and the key bag: friendlyName "friendlyname"; localKeyID =
    //     SHA-1 of the certificate's DER (for the key bag: of its own certificate).
    // Findings read "pkcs12: <what is wrong>"; empty when the container conforms.
    static QStringList checkPkcs12Layout(const QByteArray& der, const QByteArray& password,
                                         const std::vector<X509*>& expectedChain = {});
    static QStringList checkPkcs12File(const QString& path, const QByteArray& password,
                                       const std::vector<X509*>& expectedChain = {});

    // Every "CERTIFICATE" block of a PEM file in file order; empty when none can be read.
    static std::vector<X509Ptr> loadPemCertificates(const QString& path);

    // key, certificate, chain (in container order), error (empty on success), ok().
    using Pkcs12Contents = ChainVerifier::Pkcs12Contents;
    // Opens a PKCS#12 file with OpenSSL's PKCS12_parse (legacy algorithms enabled).
    static Pkcs12Contents loadPkcs12(const QString& path, const QByteArray& password);

    // Borrowed views of owned certificates, for check() and checkPkcs12Layout().
    static std::vector<X509*> borrow(const std::vector<X509Ptr>& certificates);

    // `CN "<common name>" serial <serial>`, the way findings name a certificate.
    static QString describe(const X509* certificate);

    // Loads OpenSSL's "default" and "legacy" providers once (RC2-40 needs the latter).
    // Every function above calls it; tests that build legacy containers themselves call it
    // first.
    static void initOpenSsl();

private:
    static QStringList checkFiles(const QStringList& rootFirstPaths, const Options& options, bool signer);
};
