#pragma once

// Small readers shared by the verifier's rules and sources (and by the tests' container checks).

#include "chainverifier.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include <array>

namespace chainverify
{

// The keyUsage bits by their RFC 5280 positions.
constexpr std::array<const char*, 9> kKeyUsageBits = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                                      "dataEncipherment", "keyAgreement",   "keyCertSign",
                                                      "cRLSign",          "encipherOnly",   "decipherOnly"};
// The names of the bits set, in bit order; a set bit past the named ones reads "bit <n>".
QStringList keyUsageNames(const ASN1_BIT_STRING* usage);

// The roles a common name carries: the text before its first "." (empty for an authority's
// ".name", and for a name without any ".").
QString rolesOf(const QString& commonName);
// The same as a list, split at spaces: "LE SPB MD.x" gives LE, SPB, MD.
QStringList roleList(const QString& commonName);
// Whether the verifier knows the role (the list in chainverifier.h).
bool isKnownRole(const QString& role);

// The attribute's name as OpenSSL spells it in long form ("organizationName", "dnQualifier").
QString objectName(int nid);
int entryCount(const X509_NAME* name, int nid);
// The first entry of that attribute as UTF-8 text; empty when there is none.
QString nameText(const X509_NAME* name, int nid);
// One-line form "CN=..., O=..." for messages.
QString nameLine(const X509_NAME* name);
// RFC 2253 form "dnQualifier=...,CN=...,OU=...,O=...", as signatures name an issuer.
QString nameRfc2253(const X509_NAME* name);
// The DER of the name; empty when it cannot be encoded.
QByteArray nameDer(const X509_NAME* name);
// Names are compared by their DER encoding: the profile wants the very same bytes, and
// X509_NAME_cmp would let a UTF8String equal a PrintableString.
bool sameName(const X509_NAME* a, const X509_NAME* b);

QString integerText(const ASN1_INTEGER* value);
QString bignumText(const BIGNUM* value);
QString hex(const ASN1_OCTET_STRING* value);
QString timeText(const ASN1_TIME* time);
QDateTime toDateTime(const ASN1_TIME* time);
long pathLengthOf(const X509* certificate); // -1 when absent or undecodable

QByteArray sha1(const QByteArray& data);
QByteArray derOf(const X509* certificate);
// The DER SubjectPublicKeyInfo; empty when unreadable.
QByteArray publicKeyInfoDer(const X509* certificate);
// Base64 of the SHA-1 of the DER RSAPublicKey, the form a dnQualifier takes.
QByteArray publicKeyThumbprint(const EVP_PKEY* key);
// The same from the certificate's own bytes: for an RSA key the subjectPublicKey BIT STRING
// holds exactly the DER RSAPublicKey, so no key object is encoded anew (which costs more than
// the rest of the rule). Other keys go through publicKeyThumbprint.
QByteArray publicKeyThumbprint(const X509* certificate);
// The TBSCertificate exactly as the certificate's encoding holds it (not encoded anew, so a
// certificate read from a file gives the bytes that were signed); empty when unreadable.
QByteArray tbsCertificateDer(const X509* certificate);
// Base64 of the SHA-1 of the DER TBSCertificate: the certificate thumbprint of this field.
QByteArray certificateThumbprint(const X509* certificate);

enum class FileRead
{
    Read,
    Unreadable,
    TooLarge,
};
// Reads a whole file of at most `limit` bytes into `content`; a larger one (a device, a sparse
// file) is given up after reading at most limit + 1 bytes, leaving `content` empty.
FileRead readBounded(const QString& path, qint64 limit, QByteArray& content);

// The newest OpenSSL error as text, for messages.
QString lastOpenSslError();

// Drops the OpenSSL errors raised while it lives and keeps those the caller had queued, so the
// verifier neither leaves errors behind nor eats the ones a test is about to look at.
class ErrorScope
{
public:
    ErrorScope() { ERR_set_mark(); }
    ~ErrorScope() { ERR_pop_to_mark(); }
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;
};

} // namespace chainverify
