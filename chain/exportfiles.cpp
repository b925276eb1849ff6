#include "exportfiles.h"

#include "enginefiles.h"
#include "osslproviders.h"
#include "osslptr.h"
#include "verifyutil.h"

#include <QFile>

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <algorithm>

namespace
{

// OpenSSL's default, and the count the public containers of other tools use.
constexpr int kIterations = PKCS12_DEFAULT_ITER;

bool writeAtomically(const QString& path, BIO* memory, FileAccess access)
{
    return WriteMemoryBioAtomically(QFile::encodeName(path).constData(), memory, access);
}

QByteArray commonNameOf(const X509* certificate)
{
    return chainverify::nameText(X509_get_subject_name(certificate), NID_commonName).toUtf8();
}

// The friendlyName of each bag: the certificate's CN, followed by its serial number where
// CNs repeat within the container (a window's root and intermediate may share one). A
// certificate database takes the friendlyName as its nickname and keeps one certificate per
// nickname: the classic containers, every bag named "friendlyname", lose all but one that way.
std::vector<QByteArray> bagNames(const std::vector<X509*>& certificates)
{
    std::vector<QByteArray> commonNames;
    for (X509* certificate : certificates)
        commonNames.push_back(commonNameOf(certificate));
    std::vector<QByteArray> names = commonNames;
    for (size_t i = 0; i < certificates.size(); ++i)
        if (std::count(commonNames.begin(), commonNames.end(), commonNames[i]) > 1)
            names[i] += " (serial " +
                        chainverify::integerText(X509_get0_serialNumber(certificates[i])).toLatin1() + ")";
    return names;
}

// A copy without the friendlyName and localKeyID it was read with (X509_dup copies the
// encoding only), carrying the given name instead.
X509Ptr namedCopy(X509* certificate, const QByteArray& name)
{
    X509Ptr copy(X509_dup(certificate));
    if (!copy)
        return copy;
    if (!name.isEmpty() &&
        !X509_alias_set1(copy.get(), reinterpret_cast<const unsigned char*>(name.constData()),
                         int(name.size())))
        return X509Ptr();
    return copy;
}

} // namespace

bool WriteKeyPem(const QString& path, EVP_PKEY* key, const Secret* password)
{
    EnsureProvidersLoaded();
    // Memory that is wiped when freed: it holds the key in the clear before encryption.
    BioPtr memory(BIO_new(BIO_s_secmem()));
    if (!memory || !key)
        return false;
    const bool encoded =
        password
            ? PEM_write_bio_PKCS8PrivateKey(memory.get(), key, EVP_aes_256_cbc(), password->data(),
                                            password->size(), nullptr, nullptr) == 1
            : PEM_write_bio_PKCS8PrivateKey(memory.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return encoded && writeAtomically(path, memory.get(), FileAccess::OwnerOnly);
}

bool WriteCertificatesPem(const QString& path, const std::vector<X509*>& certificates)
{
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory)
        return false;
    for (X509* certificate : certificates)
        if (!certificate || PEM_write_bio_X509(memory.get(), certificate) != 1)
            return false;
    return writeAtomically(path, memory.get(), FileAccess::Shared);
}

bool WriteCurrentPkcs12(const QString& path, EVP_PKEY* key, X509* certificate,
                        const std::vector<X509*>& chain, const Secret& password)
{
    EnsureProvidersLoaded();
    if (!key || !certificate || std::find(chain.begin(), chain.end(), nullptr) != chain.end())
        return false;
    std::vector<X509*> all{certificate};
    all.insert(all.end(), chain.begin(), chain.end());
    const std::vector<QByteArray> names = bagNames(all);
    const X509Ptr own = namedCopy(certificate, QByteArray()); // named below, with its key
    OwnedX509StackPtr authorities(sk_X509_new_null());
    if (!own || !authorities)
        return false;
    for (size_t i = 1; i < all.size(); ++i)
    {
        X509Ptr copy = namedCopy(all[i], names[i]);
        if (!copy || !sk_X509_push(authorities.get(), copy.get()))
            return false;
        copy.release(); // the stack owns it now
    }
    // A MAC iteration count of -1 leaves the MAC out, so that the one below names its digest
    // rather than taking whatever default this OpenSSL has.
    Pkcs12Ptr container(PKCS12_create(password.data(), names[0].constData(), key, own.get(),
                                      authorities.get(), NID_aes_256_cbc, NID_aes_256_cbc, kIterations, -1,
                                      0));
    if (!container ||
        !PKCS12_set_mac(container.get(), password.data(), -1, nullptr, 0, kIterations, EVP_sha256()))
        return false;
    BioPtr memory(BIO_new(BIO_s_mem()));
    return memory && i2d_PKCS12_bio(memory.get(), container.get()) == 1 &&
           writeAtomically(path, memory.get(), FileAccess::OwnerOnly);
}
