// Outputs hands RSA objects, which the engine's interfaces still pass, to their owner;
// OpenSSL 3 deprecates RSA_free.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "enginetestsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>

namespace EngineTest
{

namespace
{

bool addEntries(X509_NAME* name, const std::vector<NameEntry>& entries)
{
    for (const NameEntry& entry : entries)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(entry.text.constData());
        int ok;
        if (entry.type == MBSTRING_ASC)
            ok = X509_NAME_add_entry_by_NID(name, entry.nid, MBSTRING_ASC, bytes, int(entry.text.size()), -1,
                                            0);
        else
        {
            // Forced type, no character or length checks: for entries the engine must cope with.
            X509_NAME_ENTRY* made =
                X509_NAME_ENTRY_create_by_NID(nullptr, entry.nid, entry.type, bytes, int(entry.text.size()));
            ok = made != nullptr && X509_NAME_add_entry(name, made, -1, 0);
            X509_NAME_ENTRY_free(made);
        }
        if (!ok)
            return false;
    }
    return true;
}

char typeLetter(int type)
{
    switch (type)
    {
    case V_ASN1_PRINTABLESTRING:
        return 'P';
    case V_ASN1_T61STRING:
        return 'T';
    case V_ASN1_UTF8STRING:
        return 'U';
    case V_ASN1_IA5STRING:
        return 'I';
    case V_ASN1_BMPSTRING:
        return 'B';
    default:
        return '?';
    }
}

} // namespace

X509Ptr makeCertificate(const CertificateRecipe& recipe)
{
    X509Ptr certificate(X509_new());
    if (!certificate || recipe.key == nullptr)
        return nullptr;
    X509* x = certificate.get();
    X509_set_version(x, X509_VERSION_3);
    if (!recipe.serialHex.isEmpty())
    {
        BIGNUM* number = nullptr;
        BN_hex2bn(&number, recipe.serialHex.constData());
        BN_to_ASN1_INTEGER(number, X509_get_serialNumber(x));
        BN_free(number);
    }
    else
        ASN1_INTEGER_set_int64(X509_get_serialNumber(x), recipe.serial);

    const std::time_t now = std::time(nullptr);
    ASN1_TIME_set(X509_getm_notBefore(x), recipe.notBefore != 0 ? recipe.notBefore : now);
    ASN1_TIME_set(X509_getm_notAfter(x), recipe.notAfter != 0 ? recipe.notAfter : now + 86400);
    X509_set_pubkey(x, recipe.key);
    if (!addEntries(X509_get_subject_name(x), recipe.subject))
        return nullptr;
    if (recipe.issuer.empty())
        X509_set_issuer_name(x, X509_get_subject_name(x));
    else if (!addEntries(X509_get_issuer_name(x), recipe.issuer))
        return nullptr;

    X509* issuer = recipe.issuerCertificate != nullptr ? recipe.issuerCertificate : x;
    for (const auto& [nid, value] : recipe.extensions)
    {
        X509V3_CTX context;
        X509V3_set_ctx(&context, issuer, x, nullptr, nullptr, 0);
        X509V3_set_ctx_nodb(&context);
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.constData());
        const bool added = extension != nullptr && X509_add_ext(x, extension, -1);
        X509_EXTENSION_free(extension);
        if (!added)
            return nullptr;
    }
    if (recipe.digest != nullptr)
    {
        EVP_PKEY* signer = recipe.signingKey != nullptr ? recipe.signingKey : recipe.key;
        if (X509_sign(x, signer, recipe.digest) <= 0)
            return nullptr;
    }
    ERR_clear_error();
    return certificate;
}

Outputs::~Outputs()
{
    const EvpPkeyPtr ownedKey(key);
    const X509Ptr ownedCertificate(certificate);
    const OwnedX509StackPtr ownedChain(chain);
    const RsaPtr ownedRsa(rsa);
}

EvpPkeyPtr makeRsaKey(int bits)
{
    return EvpPkeyPtr(EVP_RSA_gen(static_cast<unsigned>(bits)));
}

std::vector<NameEntry> names(const QByteArray& cn, const QByteArray& o, const QByteArray& ou)
{
    return {{NID_commonName, cn}, {NID_organizationName, o}, {NID_organizationalUnitName, ou}};
}

QString takeOpenSslErrors()
{
    QStringList lines;
    while (const unsigned long code = ERR_get_error())
    {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        lines << QString::fromLatin1(text);
    }
    return lines.isEmpty() ? QStringLiteral("(no OpenSSL error)") : lines.join(QLatin1String("; "));
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size() &&
           file.flush();
}

unsigned fileMode(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray der(const X509* certificate)
{
    unsigned char* bytes = nullptr;
    const int length = i2d_X509(certificate, &bytes);
    if (length <= 0)
        return QByteArray();
    QByteArray result(reinterpret_cast<const char*>(bytes), length);
    OPENSSL_free(bytes);
    return result;
}

QByteArray pemOf(X509* certificate)
{
    const BioPtr memory(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(memory.get(), certificate);
    return memoryContents(memory.get());
}

QByteArray memoryContents(BIO* memory)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    return QByteArray(data, int(length));
}

QByteArray sha1(const QByteArray& data)
{
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(data.constData()), std::size_t(data.size()), digest);
    return QByteArray(reinterpret_cast<const char*>(digest), SHA_DIGEST_LENGTH);
}

QByteArray keyThumbprint(EVP_PKEY* key)
{
    // i2d_PublicKey of an RSA key is the PKCS#1 RSAPublicKey, the BIT STRING's content.
    unsigned char* bytes = nullptr;
    const int length = i2d_PublicKey(key, &bytes);
    if (length <= 0)
        return QByteArray();
    const QByteArray digest = sha1(QByteArray(reinterpret_cast<const char*>(bytes), length));
    OPENSSL_free(bytes);
    return digest;
}

QByteArray keyThumbprintBase64(EVP_PKEY* key)
{
    return keyThumbprint(key).toBase64();
}

bool sameKey(EVP_PKEY* a, EVP_PKEY* b)
{
    const bool same = a != nullptr && b != nullptr && EVP_PKEY_eq(a, b) == 1;
    ERR_clear_error();
    return same;
}

QString nameText(const X509_NAME* name, bool withTypes)
{
    QStringList parts;
    for (int i = 0; name != nullptr && i < X509_NAME_entry_count(name); ++i)
    {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
        QString part = QString::fromLatin1(OBJ_nid2sn(OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry))));
        if (withTypes)
        {
            part += QLatin1Char(':');
            part += QLatin1Char(typeLetter(ASN1_STRING_type(value)));
        }
        part += QLatin1Char('=') +
                QString::fromLatin1(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                                    ASN1_STRING_length(value));
        parts << part;
    }
    return parts.join(QLatin1Char('/'));
}

QString extensionOrder(X509* certificate)
{
    QStringList parts;
    for (int i = 0; i < X509_get_ext_count(certificate); ++i)
        parts << QString::fromLatin1(
            OBJ_nid2sn(OBJ_obj2nid(X509_EXTENSION_get_object(X509_get_ext(certificate, i)))));
    return parts.join(QLatin1Char(','));
}

std::int64_t seconds(const ASN1_TIME* time)
{
    struct tm broken;
    if (time == nullptr || ASN1_TIME_to_tm(time, &broken) != 1)
        return -1;
    return static_cast<std::int64_t>(timegm(&broken));
}

} // namespace EngineTest
