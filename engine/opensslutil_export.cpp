// The files other tools of the field ask for: the key as PKCS#8 PEM, a chain as one PEM file and
// a PKCS#12 container of the current kind. The window's own containers stay of the classic kind.

#include "enginediagnostics.h"
#include "enginefiles.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

// OpenSSL's default, and the count the public containers of other tools use.
constexpr int kCurrentIterations = PKCS12_DEFAULT_ITER;

std::string commonNameOf(X509* certificate)
{
    std::string name;
    OpenSSLUtil::X509ExtractSubjectCommonName(certificate, &name);
    return name;
}

std::string serialTextOf(const X509* certificate)
{
    BigNumPtr number(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    OpenSslStringPtr text(number ? BN_bn2dec(number.get()) : nullptr);
    return text ? std::string(text.get()) : std::string();
}

// The friendlyName of each bag: the certificate's CN, followed by its serial number where CNs
// repeat within the container (a root and an intermediate may share one). A certificate database
// takes the friendlyName as its nickname and keeps one certificate per nickname: the classic
// containers, every bag named "friendlyname", lose all but one that way.
std::vector<std::string> bagNames(const std::vector<X509*>& certificates)
{
    std::vector<std::string> commonNames;
    for (X509* certificate : certificates)
        commonNames.push_back(commonNameOf(certificate));
    std::vector<std::string> names = commonNames;
    for (size_t i = 0; i < certificates.size(); ++i)
        if (std::count(commonNames.begin(), commonNames.end(), commonNames[i]) > 1)
            names[i] += " (serial " + serialTextOf(certificates[i]) + ")";
    return names;
}

// A copy without the friendlyName and localKeyID it was read with (X509_dup copies the encoding
// only), carrying the given name instead.
X509Ptr namedCopy(X509* certificate, const std::string& name)
{
    X509Ptr copy(X509_dup(certificate));
    if (!copy)
        return copy;
    if (!name.empty() && !X509_alias_set1(copy.get(), reinterpret_cast<const unsigned char*>(name.data()),
                                          static_cast<int>(name.size())))
        return X509Ptr();
    return copy;
}

} // namespace

int OpenSSLUtil::PEMWritePKCS8PrivateKey(const char* path, EVP_PKEY* key, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr || (password != nullptr && *password == '\0'))
    {
        Diagnose("OpenSSLUtil::PEMWritePKCS8PrivateKey(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    // Memory that is wiped when freed: it holds the key in the clear before encryption.
    BioPtr memory(BIO_new(BIO_s_secmem()));
    if (!memory)
        return 0;
    const int encoded =
        password != nullptr
            ? PEM_write_bio_PKCS8PrivateKey(memory.get(), key, EVP_aes_256_cbc(), password,
                                            static_cast<int>(std::char_traits<char>::length(password)),
                                            nullptr, nullptr)
            : PEM_write_bio_PKCS8PrivateKey(memory.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    if (encoded != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::OwnerOnly) ? 1 : 0;
}

int OpenSSLUtil::PEMWriteX509Chain(STACK_OF(X509) * certs, const char* path)
{
    ErrorQueueScope errors;
    if (certs == nullptr || path == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMWriteX509Chain(): Invalid input!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory)
        return 0;
    for (int i = 0; i < sk_X509_num(certs); ++i)
    {
        X509* certificate = sk_X509_value(certs, i);
        if (certificate == nullptr || PEM_write_bio_X509(memory.get(), certificate) != 1)
            return 0;
    }
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::Shared) ? 1 : 0;
}

int OpenSSLUtil::PKCS12WriteCurrent(const char* path, X509* cert, EVP_PKEY* key, STACK_OF(X509) * chain,
                                    const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || cert == nullptr || key == nullptr || password == nullptr || *password == '\0')
    {
        Diagnose("OpenSSLUtil::PKCS12WriteCurrent(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    std::vector<X509*> all{cert};
    for (int i = 0; i < sk_X509_num(chain); ++i)
        all.push_back(sk_X509_value(chain, i));
    if (std::find(all.begin(), all.end(), nullptr) != all.end())
        return 0;
    const std::vector<std::string> names = bagNames(all);
    const X509Ptr own = namedCopy(cert, std::string()); // named below, with its key
    OwnedX509StackPtr authorities(sk_X509_new_null());
    if (!own || !authorities)
        return 0;
    for (size_t i = 1; i < all.size(); ++i)
    {
        X509Ptr copy = namedCopy(all[i], names[i]);
        if (!copy || !sk_X509_push(authorities.get(), copy.get()))
            return 0;
        copy.release(); // the stack owns it now
    }
    // A MAC iteration count of -1 leaves the MAC out, so that the one below names its digest
    // rather than taking whatever default this OpenSSL has.
    Pkcs12Ptr container(PKCS12_create(password, names[0].c_str(), key, own.get(), authorities.get(),
                                      NID_aes_256_cbc, NID_aes_256_cbc, kCurrentIterations, -1, 0));
    if (!container ||
        PKCS12_set_mac(container.get(), password, -1, nullptr, 0, kCurrentIterations, EVP_sha256()) != 1)
    {
        Diagnose("OpenSSLUtil::PKCS12WriteCurrent(): Failed creating PKCS12 structure!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || i2d_PKCS12_bio(memory.get(), container.get()) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::OwnerOnly) ? 1 : 0;
}
