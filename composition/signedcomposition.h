#pragma once

#include <QDateTime>
#include <QString>

#include "osslptr.h"

#include <openssl/x509.h>

#include <optional>
#include <vector>

// How an XML signature names a certificate: its issuer's distinguished name and its serial.
struct IssuerSerial
{
    // X509IssuerName as written: an RFC 2253 string, most specific attribute first
    // ("dnQualifier=...,CN=.Intermediate,OU=...,O=...").
    QString issuerName;
    // X509SerialNumber as written, trimmed: decimal digits, of any length.
    QString serial;
};

// One certificate of the signature's KeyInfo.
struct KeyInfoCertificate
{
    X509Ptr certificate;
    int x509Data = 0; // which X509Data element of KeyInfo holds it, from 0
    // That X509Data's X509IssuerSerial, when it has one (the field's tools write one per
    // certificate, beside it).
    std::optional<IssuerSerial> issuerSerial;
};

// What CompositionReader found in a signed composition playlist or packing list. It decides no
// trust: the certificates are handed over as they came, for the chain verifier to judge.
struct SignedComposition
{
    enum class Type
    {
        Unknown,
        CompositionPlaylist,
        PackingList
    };
    enum class Dialect
    {
        Unknown,
        Smpte,
        Interop
    };
    enum class SignatureMethod
    {
        Unknown,
        RsaSha256,
        RsaSha1
    };
    enum class DigestMethod
    {
        Unknown,
        Sha256,
        Sha1
    };
    // The first thing that stopped the reading, in the order the reader meets them. Everything
    // read before it stays filled in: with DigestMismatch or SignatureMismatch the type, dates,
    // signer, certificates and methods are all there, so the chain can be judged as well.
    enum class Failure
    {
        None,                 // read, and the signature verifies with the signing certificate's key
        Unreadable,           // the file cannot be opened or read (missing, a folder, no permission)
        TooLarge,             // larger than CompositionReader::kMaxFileBytes
        NotXml,               // not well-formed XML
        UnsafeXml,            // a document type declaration (entities, external subsets)
        NotComposition,       // the root is no playlist or packing list of a known namespace
        BadField,             // Id or IssueDate missing, doubled or unreadable; an X509IssuerSerial
                              // without a name or with a serial that is not decimal digits (an
                              // empty one is taken as absent)
        NoSignature,          // no Signature element under the root
        NotEnveloped,         // the signature covers less or more than the whole document by one
                              // enveloped reference: other references, transforms, Objects, or a
                              // second Signature
        UnsupportedAlgorithm, // a canonicalization, signature or digest method other than
                              // c14n, rsa-sha256 / rsa-sha1, sha256 / sha1; a key that is not RSA
        BadCertificate,       // no X509Certificate in KeyInfo, or one that is not a DER certificate
        NoSigningCertificate, // several certificates could be the signer's, none named by Signer
        CheckUnavailable,     // libxmlsec1 could not be set up in this process
        DigestMismatch,       // the document was changed after it was signed
        SignatureMismatch     // SignedInfo does not verify with the signing certificate's key
                              // (another key signed, or SignedInfo or SignatureValue changed)
    };

    Type type = Type::Unknown;
    Dialect dialect = Dialect::Unknown;
    QString id;                                   // the document's Id as written, trimmed ("urn:uuid:...")
    QString issueDateText;                        // IssueDate as written, trimmed
    QDateTime issueDate;                          // in UTC; a time written without offset is taken as UTC
    std::optional<IssuerSerial> signer;           // the Signer's X509IssuerSerial; empty when missing
    std::vector<KeyInfoCertificate> certificates; // in document order
    // Index into `certificates` of the one whose key the signature was checked with; -1 when none
    // was chosen. See CompositionReader for how it is chosen.
    int signingIndex = -1;
    SignatureMethod signatureMethod = SignatureMethod::Unknown;
    DigestMethod digestMethod = DigestMethod::Unknown;

    Failure failure = Failure::None;
    // What the document or the library underneath said, for the front end to show after its own
    // sentence: the parser's message with its line, the algorithm or reference refused, xmlsec's
    // reason. Never a sentence of its own.
    QString detail;

    bool verified() const { return failure == Failure::None; }
    // The signing certificate, borrowed from `certificates`; null when none was chosen.
    X509* signingCertificate() const
    {
        return signingIndex >= 0 ? certificates[size_t(signingIndex)].certificate.get() : nullptr;
    }
};
