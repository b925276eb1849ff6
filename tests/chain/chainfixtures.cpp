#include "chainfixtures.h"

#include <QFile>

#include <openssl/pem.h>

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

} // namespace ChainFixtures
