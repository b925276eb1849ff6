#pragma once

#include "osslptr.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Certificate requests (PKCS#10): made here for a key of our own, and read from a device or
// another tool, whose proposals an authority does not take on trust. Each check answers with a
// finding; the front end says it.
namespace CertificateRequests
{

// Far beyond any request of an RSA-2048 key with a few extensions, far below what would tie up
// memory.
constexpr qint64 kLargestRequest = 64 * 1024;

// The dnQualifier of a key: Base64 of the SHA-1 of its DER RSAPublicKey, the key identifier the
// certificates carry. Empty when the key is not RSA or cannot be encoded.
QString dnQualifierOf(EVP_PKEY* key);

// The subject texts of a request made here; each given one goes in as a PrintableString, and the
// dnQualifier of the key beside them.
struct RequestNames
{
    QString organization;
    QString organizationalUnit;
    QString commonName;
};

// A version 1 request of `key` (borrowed), signed by it with SHA-256; null when it cannot be made.
X509ReqPtr makeRequest(EVP_PKEY* key, const RequestNames& names);

enum class RequestFinding
{
    Valid,
    Unreadable,  // the file cannot be read
    TooLarge,    // more than kLargestRequest bytes
    NotARequest, // neither a PEM nor a DER request, or trailing bytes after it
    NotVersion1,
    SignatureFails, // the self-signature does not verify: no proof of possession
    WeakDigest,     // signed with a digest weaker than SHA-256
    NotRsa,
    NotRsa2048,
    NotExponent65537,
    KeyCheckFails,       // OpenSSL's public-key check refuses it
    DnQualifierDiffers,  // it proposes a dnQualifier that is not its key's
    CommonNameUnreadable // a CN that is not text
};

// What a request holds that the authority may use, once read and checked.
struct ReadRequest
{
    RequestFinding finding = RequestFinding::Unreadable;
    X509ReqPtr request;
    EvpPkeyPtr key;         // its public key
    QString dnQualifier;    // computed from the key
    QString commonName;     // as proposed, empty when none
    QStringList extensions; // the extensions it asks for, by short name, in its order
    bool valid() const { return finding == RequestFinding::Valid; }
};

// PEM ("CERTIFICATE REQUEST" or "NEW CERTIFICATE REQUEST") or DER, checked in the order of the
// findings above. Leaves the OpenSSL error queue empty.
ReadRequest parseRequest(const QByteArray& content);
// The file at `path`, read no further than kLargestRequest.
ReadRequest readRequestFile(const QString& path);

} // namespace CertificateRequests
