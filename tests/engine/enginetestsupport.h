#pragma once

// Fixtures for the engine's tests. Certificates, keys and containers are made here with OpenSSL
// directly, never with the code under test, so that a fault in the engine cannot hide itself.

#include <QByteArray>
#include <QString>
#include <QTest>

#include "filecontent.h"
#include "osslptr.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

// After a successful engine call nothing may be left in OpenSSL's error queue.
#define QVERIFY_OPENSSL_QUEUE_EMPTY()                                                                        \
    QVERIFY2(ERR_peek_error() == 0, qPrintable(EngineTest::takeOpenSslErrors()))

namespace EngineTest
{

struct NameEntry
{
    int nid;
    QByteArray text;
    // MBSTRING_ASC lets OpenSSL choose the string type; a V_ASN1_* type forces that type as is.
    int type = MBSTRING_ASC;
};

struct CertificateRecipe
{
    std::vector<NameEntry> subject;
    std::vector<NameEntry> issuer; // empty: the subject
    // nid and value in OpenSSL's configuration syntax, made with issuerCertificate as issuer.
    std::vector<std::pair<int, QByteArray>> extensions;
    std::int64_t serial = 1;
    QByteArray serialHex;                // when set, the serial as hex digits (for serials beyond 64 bits)
    EVP_PKEY* key = nullptr;             // the subject's key, borrowed
    EVP_PKEY* signingKey = nullptr;      // null: key
    X509* issuerCertificate = nullptr;   // for the extension context; null: the certificate itself
    const EVP_MD* digest = EVP_sha256(); // null: left unsigned
    std::time_t notBefore = 0;           // 0: now
    std::time_t notAfter = 0;            // 0: a day from now
};

X509Ptr makeCertificate(const CertificateRecipe& recipe);
EvpPkeyPtr makeRsaKey(int bits = 2048);

// A subject of CN, O, OU for quick certificates.
std::vector<NameEntry> names(const QByteArray& cn, const QByteArray& o = "Org",
                             const QByteArray& ou = "Unit");

// The raw slots the engine's T** interfaces fill (and refill, freeing what they held): whatever
// they hold last goes to its owner when the test ends, whatever its outcome.
struct Outputs
{
    Outputs() = default;
    ~Outputs();
    Outputs(const Outputs&) = delete;
    Outputs& operator=(const Outputs&) = delete;

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509) * chain = nullptr;
    RSA* rsa = nullptr;
};

// The OpenSSL error queue as text, emptied.
QString takeOpenSslErrors();

// Reading a file is readAll() of the shared test support.
bool writeAll(const QString& path, const QByteArray& data);
// Mode bits of a file (0 when it cannot be read).
unsigned fileMode(const QString& path);
// Names in a folder, for checking that no temporary file was left behind.
QStringList folderEntries(const QString& folder);

QByteArray der(const X509* certificate);
QByteArray pemOf(X509* certificate);
// Everything written to a memory BIO so far.
QByteArray memoryContents(BIO* memory);
QByteArray sha1(const QByteArray& data);
// Base64 of the SHA-1 of the DER RSAPublicKey: the profile's dnQualifier and key identifier.
QByteArray keyThumbprintBase64(EVP_PKEY* key);
QByteArray keyThumbprint(EVP_PKEY* key);
bool sameKey(EVP_PKEY* a, EVP_PKEY* b);

// "CN=x/O=y/OU=z" in entry order; with types, "CN:P=x" (P printable, T t61, U utf8, I ia5, B bmp).
QString nameText(const X509_NAME* name, bool withTypes = false);
// Short names of the extensions in order, e.g. "basicConstraints,keyUsage".
QString extensionOrder(X509* certificate);
// Seconds since 1970 of an ASN1_TIME, -1 when it cannot be read.
std::int64_t seconds(const ASN1_TIME* time);

} // namespace EngineTest
