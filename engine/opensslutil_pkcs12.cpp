// PKCS#12 containers: writing, reading, and the self-signed root container in one call.

#include "enginediagnostics.h"
#include "enginefiles.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"
#include "passwordbuffer.h"
#include "pkcs12attributes.h"
#include "pkcs12work.h"
#include "rsakeys.h"

#include <openssl/pkcs12.h>

namespace
{

// The classic container that digital-cinema peers read: certificates under RC2-40, the key under
// 3DES, 2048 iterations each, and a SHA-1 MAC with one iteration and an 8-byte salt. OpenSSL 3
// would otherwise choose PBES2/AES-256 and a SHA-256 MAC.
constexpr int kKeyPbe = NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
constexpr int kCertificatePbe = NID_pbe_WithSHA1And40BitRC2_CBC;
constexpr int kPbeIterations = 2048;
constexpr int kMacIterations = 1;
constexpr int kMacSaltLength = 8;
constexpr char kFriendlyName[] = "friendlyname";

enum class LoadOutcome
{
    Ok,
    OpenFailed,
    ParseFailed,  // not a PKCS#12 structure
    TooMuchWork,  // an iteration count above the bounds of pkcs12work.h
    UnpackFailed, // wrong password or damaged content
};

// Owners of what PKCS12_parse hands out.
struct Pkcs12Content
{
    EvpPkeyPtr key;
    X509Ptr certificate;
    OwnedX509StackPtr chain;
};

LoadOutcome LoadPkcs12(const char* path, const char* password, bool wantChain, Pkcs12Content* content)
{
    EnsureEngineInitialised();
    BioPtr file = OpenFileForReading(path);
    if (!file)
        return LoadOutcome::OpenFailed;
    Pkcs12Ptr container(d2i_PKCS12_bio(file.get(), nullptr));
    if (!container)
        return LoadOutcome::ParseFailed;
    // Before PKCS12_parse derives a single key: a count of 2^31-1 holds it for minutes.
    if (AssessPkcs12Work(container.get(), password) == Pkcs12Work::TooMuch)
        return LoadOutcome::TooMuchWork;

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    const int parsed =
        PKCS12_parse(container.get(), password, &key, &certificate, wantChain ? &chain : nullptr);
    content->key.reset(key);
    content->certificate.reset(certificate);
    content->chain.reset(chain);
    if (parsed != 1)
    {
        *content = Pkcs12Content();
        return LoadOutcome::UnpackFailed;
    }
    // OpenSSL 3 makes the list only when there is a certificate to put in it; callers rely on a
    // list, possibly empty, to append the issuer to when they write the next container.
    if (wantChain && !content->chain)
    {
        content->chain.reset(sk_X509_new_null());
        if (!content->chain)
        {
            *content = Pkcs12Content();
            return LoadOutcome::UnpackFailed;
        }
    }
    return LoadOutcome::Ok;
}

} // namespace

X509* CopyAsReadFromContainer(X509* certificate)
{
    if (certificate == nullptr)
        return nullptr;
    const bool hasName = X509_alias_get0(certificate, nullptr) != nullptr;
    const bool hasKeyId = X509_keyid_get0(certificate, nullptr) != nullptr;
    if (hasName && hasKeyId)
        return X509_up_ref(certificate) == 1 ? certificate : nullptr;
    // A copy of the encoding, so that the caller's object is left as it is.
    X509Ptr copy(X509_dup(certificate));
    if (!copy)
        return nullptr;
    if (!hasName && X509_alias_set1(copy.get(), reinterpret_cast<const unsigned char*>(kFriendlyName),
                                    static_cast<int>(sizeof kFriendlyName - 1)) != 1)
        return nullptr;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!hasKeyId && (X509_digest(certificate, EVP_sha1(), digest, &length) != 1 ||
                      X509_keyid_set1(copy.get(), digest, static_cast<int>(length)) != 1))
        return nullptr;
    return copy.release();
}

int OpenSSLUtil::PKCS12Write(const char* path, X509* cert, EVP_PKEY* key, STACK_OF(X509) * chain,
                             const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || cert == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PKCS12Write(): Invalid input!\n");
        return 0;
    }
    PasswordBuffer typed;
    password = typed.resolve(password);
    if (password == nullptr)
    {
        Diagnose("OpenSSLUtil::PKCS12Write(): Getpwd() failed!\n");
        return 0;
    }
    EnsureEngineInitialised();

    // The container is complete before the file system is touched: a key that does not belong
    // to the certificate leaves an existing file as it was and creates none.
    Pkcs12Ptr container(PKCS12_create(password, kFriendlyName, key, cert, chain, kKeyPbe, kCertificatePbe,
                                      kPbeIterations, -1 /* no MAC yet */, 0));
    if (!container || PKCS12_set_mac(container.get(), password, -1, nullptr, kMacSaltLength, kMacIterations,
                                     EVP_sha1()) != 1)
    {
        Diagnose("OpenSSLUtil::PKCS12Write(): Failed creating PKCS12 structure!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || i2d_PKCS12_bio(memory.get(), container.get()) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::OwnerOnly) ? 1 : 0;
}

int OpenSSLUtil::PKCS12Extract(const char* path, EVP_PKEY** key, X509** cert, STACK_OF(X509) * *chain,
                               const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr || cert == nullptr)
    {
        Diagnose("OpenSSLUtil::PKCS12Extract(): Invalid input!\n");
        return 0;
    }
    PasswordBuffer typed;
    password = typed.resolve(password);
    if (password == nullptr)
        return 0;

    EVP_PKEY_free(*key);
    *key = nullptr;
    X509_free(*cert);
    *cert = nullptr;
    if (chain != nullptr)
    {
        FreeX509Stack(*chain);
        *chain = nullptr;
    }

    Pkcs12Content content;
    switch (LoadPkcs12(path, password, chain != nullptr, &content))
    {
    case LoadOutcome::OpenFailed:
        Diagnose("OpenSSLUtil::PKCS12Extract(): Failed opening file: %s!\n", path);
        return 0;
    case LoadOutcome::ParseFailed:
        Diagnose("OpenSSLUtil::PKCS12Extract(): Failed parsing file: %s!\n", path);
        return 0;
    case LoadOutcome::TooMuchWork:
        Diagnose("OpenSSLUtil::PKCS12Extract(): Iteration count too high: %s!\n", path);
        return 0;
    case LoadOutcome::UnpackFailed:
        Diagnose("OpenSSLUtil::PKCS12Extract(): PKCS12_parse() failed!\n");
        return 0;
    case LoadOutcome::Ok:
        break;
    }
    *key = content.key.release();
    *cert = content.certificate.release();
    if (chain != nullptr)
        *chain = content.chain.release();
    return 1;
}

int OpenSSLUtil::PCKS12ExtractPrivateKey(const char* path, EVP_PKEY** key, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PCKS12ExtractPrivateKey(): Invalid input!\n");
        return 0;
    }
    PasswordBuffer typed;
    password = typed.resolve(password);
    if (password == nullptr)
        return 0;
    EVP_PKEY_free(*key);
    *key = nullptr;

    Pkcs12Content content;
    switch (LoadPkcs12(path, password, false, &content))
    {
    case LoadOutcome::OpenFailed:
        Diagnose("OpenSSLUtil::PCKS12ExtractPrivateKey(): Failed opening file: %s!\n", path);
        return 0;
    case LoadOutcome::ParseFailed:
        Diagnose("OpenSSLUtil::PCKS12ExtractPrivateKey(): Failed parsing file: %s!\n", path);
        return 0;
    case LoadOutcome::TooMuchWork:
        Diagnose("OpenSSLUtil::PCKS12ExtractPrivateKey(): Iteration count too high: %s!\n", path);
        return 0;
    case LoadOutcome::UnpackFailed:
        return 0;
    case LoadOutcome::Ok:
        break;
    }
    *key = content.key.release();
    return 1;
}

int OpenSSLUtil::X509LoadCertificatePCKS12(const char* path, const char* password, X509** cert)
{
    ErrorQueueScope errors;
    if (path == nullptr || password == nullptr || cert == nullptr)
    {
        Diagnose("OpenSSLUtil::X509LoadCertificatePCKS12(): Invalid input!\n");
        return 0;
    }
    X509_free(*cert);
    *cert = nullptr;
    Pkcs12Content content;
    if (LoadPkcs12(path, password, false, &content) != LoadOutcome::Ok)
        return 0;
    *cert = content.certificate.release();
    return 1;
}

int OpenSSLUtil::PKCS12IterationsTooHigh(const char* path, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr)
        return 0;
    EnsureEngineInitialised();
    BioPtr file = OpenFileForReading(path);
    Pkcs12Ptr container(file ? d2i_PKCS12_bio(file.get(), nullptr) : nullptr);
    return container && AssessPkcs12Work(container.get(), password) == Pkcs12Work::TooMuch ? 1 : 0;
}

int OpenSSLUtil::X509CreateRootDC(const char* path, const char* password, int* serial, const char* name,
                                  EVP_PKEY* key)
{
    ErrorQueueScope errors;
    if (path == nullptr || password == nullptr || name == nullptr || serial == nullptr)
    {
        Diagnose("OpenSSLUtil::X509CreateRootDC(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    X509Ptr certificate(X509_new());
    if (!certificate)
        return 0;

    EvpPkeyPtr ownKey;
    if (key == nullptr)
    {
        RSA* rsa = nullptr;
        const int created = RSACreate2048(&rsa);
        ownKey.reset(WrapRsaKey(rsa));
        if (!ownKey || created == 0)
            return 0;
        key = ownKey.get();
    }

    int days = 100;
    X509* raw = certificate.get();
    if (X509CreateDCCertificate(&raw, key, serial, name, name, &days) == 0)
        return 0;
    return PKCS12Write(path, certificate.get(), key, nullptr, password);
}
