#include "chainfixtures.h"

#include <QFile>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>

namespace ChainFixtures
{

QByteArray pemOf(X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(length));
}

QByteArray derOf(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString iso(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QString subjectEntry(X509* certificate, int nid)
{
    char text[256] = {};
    return X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), nid, text, sizeof text) < 0
               ? QStringLiteral("<absent>")
               : QString::fromLatin1(text);
}

long pathLengthOf(X509* certificate)
{
    BasicConstraintsPtr constraints(
        static_cast<BASIC_CONSTRAINTS*>(X509_get_ext_d2i(certificate, NID_basic_constraints, nullptr, nullptr)));
    return constraints && constraints->pathlen ? ASN1_INTEGER_get(constraints->pathlen) : -1;
}

QDateTime timeOf(const ASN1_TIME* time)
{
    struct tm parts = {};
    if (!ASN1_TIME_to_tm(time, &parts))
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QByteArray classicPkcs12(EVP_PKEY* key, X509* certificate, const std::vector<X509*>& chain,
                         const char* password)
{
    OwnedX509StackPtr above(sk_X509_new_null());
    for (X509* authority : chain)
    {
        X509Ptr copy(X509_dup(authority));
        X509_alias_set1(copy.get(), reinterpret_cast<const unsigned char*>("friendlyname"), -1);
        sk_X509_push(above.get(), copy.release());
    }
    Pkcs12Ptr container(PKCS12_create(password, "friendlyname", key, certificate, above.get(),
                                      NID_pbe_WithSHA1And3_Key_TripleDES_CBC, NID_pbe_WithSHA1And40BitRC2_CBC,
                                      2048, -1, 0));
    if (!container || !PKCS12_set_mac(container.get(), password, -1, nullptr, 8, 1, EVP_sha1()))
        return QByteArray();
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(container.get(), &der);
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QByteArray withoutTrustedRoot(const QByteArray& report)
{
    QByteArray rest;
    for (const QByteArray& line : report.split('\n'))
        if (!line.isEmpty() && !line.startsWith("root taken as trusted: ") && !line.startsWith("trusted root as given: "))
            rest += line + '\n';
    return rest;
}

} // namespace ChainFixtures
