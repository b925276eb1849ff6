#include "verifyutil.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <cstring>

namespace chainverify
{

QString objectName(int nid)
{
    const char* name = OBJ_nid2ln(nid);
    return name ? QString::fromLatin1(name) : QStringLiteral("NID %1").arg(nid);
}

int entryCount(const X509_NAME* name, int nid)
{
    int count = 0;
    for (int i = X509_NAME_get_index_by_NID(name, nid, -1); i >= 0;
         i = X509_NAME_get_index_by_NID(name, nid, i))
        ++count;
    return count;
}

QString nameText(const X509_NAME* name, int nid)
{
    const int index = name ? X509_NAME_get_index_by_NID(name, nid, -1) : -1;
    if (index < 0)
        return QString();
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0)
        return QString();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
    OPENSSL_free(utf8);
    return text;
}

QString nameLine(const X509_NAME* name)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return QString();
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return QString::fromUtf8(data, int(length));
}

QString nameRfc2253(const X509_NAME* name)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !name || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return QString();
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return QString::fromUtf8(data, int(length));
}

QByteArray nameDer(const X509_NAME* name)
{
    unsigned char* der = nullptr;
    const int length = name ? i2d_X509_NAME(name, &der) : -1;
    if (length <= 0)
        return QByteArray();
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

bool sameName(const X509_NAME* a, const X509_NAME* b)
{
    if (!a || !b)
        return false;
    unsigned char* derA = nullptr;
    unsigned char* derB = nullptr;
    const int lengthA = i2d_X509_NAME(a, &derA);
    const int lengthB = i2d_X509_NAME(b, &derB);
    const bool same = lengthA > 0 && lengthA == lengthB && memcmp(derA, derB, size_t(lengthA)) == 0;
    OPENSSL_free(derA);
    OPENSSL_free(derB);
    return same;
}

QString integerText(const ASN1_INTEGER* value)
{
    const BigNumPtr number(value ? ASN1_INTEGER_to_BN(value, nullptr) : nullptr);
    return number ? bignumText(number.get()) : QStringLiteral("(unreadable)");
}

QString bignumText(const BIGNUM* value)
{
    OpenSslStringPtr text(BN_bn2dec(value));
    return text ? QString::fromLatin1(text.get()) : QString();
}

QString hex(const ASN1_OCTET_STRING* value)
{
    const QByteArray bytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                           ASN1_STRING_length(value));
    return QString::fromLatin1(bytes.toHex(':'));
}

QString timeText(const ASN1_TIME* time)
{
    const QDateTime dateTime = toDateTime(time);
    return dateTime.isValid() ? dateTime.toString(Qt::ISODate) : QStringLiteral("(unreadable time)");
}

QDateTime toDateTime(const ASN1_TIME* time)
{
    struct tm parts = {};
    if (!time || !ASN1_TIME_to_tm(time, &parts))
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

long pathLengthOf(const X509* certificate)
{
    BasicConstraintsPtr constraints(static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(certificate, NID_basic_constraints, nullptr, nullptr)));
    if (!constraints || !constraints->pathlen)
        return -1;
    return ASN1_INTEGER_get(constraints->pathlen);
}

QByteArray sha1(const QByteArray& data)
{
    QByteArray digest(20, '\0');
    unsigned int length = 0;
    if (!EVP_Digest(data.constData(), size_t(data.size()), reinterpret_cast<unsigned char*>(digest.data()),
                    &length, EVP_sha1(), nullptr))
        return QByteArray();
    return digest;
}

QByteArray derOf(const X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length <= 0)
        return QByteArray();
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QByteArray publicKeyInfoDer(const X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = certificate ? i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der) : -1;
    if (length <= 0)
        return QByteArray();
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QByteArray publicKeyThumbprint(const EVP_PKEY* key)
{
    // For an RSA key, i2d_PublicKey writes the PKCS#1 RSAPublicKey.
    unsigned char* der = nullptr;
    const int length = key ? i2d_PublicKey(key, &der) : -1;
    if (length <= 0)
        return QByteArray();
    const QByteArray digest = sha1(QByteArray(reinterpret_cast<const char*>(der), length));
    OPENSSL_free(der);
    return digest.toBase64();
}

QByteArray publicKeyThumbprint(const X509* certificate)
{
    const X509_PUBKEY* info = certificate ? X509_get_X509_PUBKEY(certificate) : nullptr;
    X509_ALGOR* algorithm = nullptr;
    const unsigned char* key = nullptr;
    int length = 0;
    if (!info || !X509_PUBKEY_get0_param(nullptr, &key, &length, &algorithm, info) || !algorithm ||
        OBJ_obj2nid(algorithm->algorithm) != NID_rsaEncryption)
        return publicKeyThumbprint(X509_get0_pubkey(certificate));
    return sha1(QByteArray(reinterpret_cast<const char*>(key), length)).toBase64();
}

QByteArray tbsCertificateDer(const X509* certificate)
{
    // Certificate ::= SEQUENCE { tbsCertificate, signatureAlgorithm, signature }: the first
    // element inside the outer sequence, header included.
    const QByteArray der = derOf(certificate);
    const auto* start = reinterpret_cast<const unsigned char*>(der.constData());
    const unsigned char* cursor = start;
    long length = 0;
    int tag = 0;
    int objectClass = 0;
    if (der.isEmpty() ||
        ASN1_get_object(&cursor, &length, &tag, &objectClass, long(der.size())) != V_ASN1_CONSTRUCTED ||
        tag != V_ASN1_SEQUENCE)
        return QByteArray();
    const unsigned char* tbs = cursor;
    const long remaining = long(der.size()) - long(cursor - start);
    if (ASN1_get_object(&cursor, &length, &tag, &objectClass, remaining) != V_ASN1_CONSTRUCTED ||
        tag != V_ASN1_SEQUENCE)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(tbs), int(cursor - tbs) + int(length));
}

QByteArray certificateThumbprint(const X509* certificate)
{
    const QByteArray tbs = tbsCertificateDer(certificate);
    return tbs.isEmpty() ? QByteArray() : sha1(tbs).toBase64();
}

QStringList keyUsageNames(const ASN1_BIT_STRING* usage)
{
    QStringList names;
    for (int bit = 0; usage && bit < ASN1_STRING_length(usage) * 8; ++bit)
        if (ASN1_BIT_STRING_get_bit(usage, bit))
            names << (size_t(bit) < kKeyUsageBits.size() ? QLatin1String(kKeyUsageBits[size_t(bit)])
                                                         : QStringLiteral("bit %1").arg(bit));
    return names;
}

QString rolesOf(const QString& commonName)
{
    const int dot = commonName.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : commonName.left(dot);
}

QStringList roleList(const QString& commonName)
{
    return rolesOf(commonName).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool isKnownRole(const QString& role)
{
    // The designators of the field's equipment: content signer, security manager, screen
    // management system, secure processing block, media decryptor, link encryptor and
    // decryptor, forensic marker, projector.
    static const QStringList known = {QStringLiteral("CS"),  QStringLiteral("SM"), QStringLiteral("SMS"),
                                      QStringLiteral("SPB"), QStringLiteral("MD"), QStringLiteral("LE"),
                                      QStringLiteral("LD"),  QStringLiteral("FM"), QStringLiteral("PR")};
    return known.contains(role);
}

FileRead readBounded(const QString& path, qint64 limit, QByteArray& content)
{
    content.clear();
    QFile file(path);
    // Unbuffered: a device gives what is asked of it and no more.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileRead::Unreadable;
    if (!file.isSequential() && file.size() > limit)
        return FileRead::TooLarge;
    constexpr qint64 kChunk = 1 << 20;
    while (content.size() <= limit)
    {
        const QByteArray chunk = file.read(qMin(kChunk, limit + 1 - qint64(content.size())));
        if (chunk.isEmpty())
            break;
        content += chunk;
    }
    if (file.error() != QFileDevice::NoError)
    {
        content.clear();
        return FileRead::Unreadable;
    }
    if (content.size() > limit)
    {
        content.clear();
        return FileRead::TooLarge;
    }
    return FileRead::Read;
}

QString lastOpenSslError()
{
    const unsigned long code = ERR_peek_last_error();
    if (code == 0)
        return QStringLiteral("no OpenSSL error");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace chainverify
