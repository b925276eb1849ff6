// RSA keys and their PEM files. The engine's interfaces hand RSA objects around (the key inside
// a certificate's EVP_PKEY, the private key written as "RSA PRIVATE KEY"), so this file uses the
// RSA-object functions that OpenSSL 3 deprecates; their warnings are silenced here only.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "enginediagnostics.h"
#include "enginefiles.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"
#include "rsakeys.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

namespace
{

// OpenSSL's default pass-phrase callback takes the password as its user data.
void* PasswordData(const char* password)
{
    return const_cast<char*>(password);
}

} // namespace

namespace
{

struct StopQuestion
{
    bool (*stopped)(void*);
    void* context;
};

// The prime search's progress callback: 0 ends the search.
int AskWhetherStopped(int, int, BN_GENCB* callback)
{
    const auto* question = static_cast<const StopQuestion*>(BN_GENCB_get_arg(callback));
    return question->stopped(question->context) ? 0 : 1;
}

// A fresh RSA-2048 key with e = 65537 into `rsa` (empty), searched for until `stopped` (null:
// never) says otherwise. False when the search failed or was stopped; the key is not checked.
bool GenerateRsa2048(RSA* rsa, bool (*stopped)(void*), void* context)
{
    BigNumPtr exponent(BN_new());
    if (!exponent || BN_set_word(exponent.get(), RSA_F4) != 1)
        return false;
    StopQuestion question{stopped, context};
    const std::unique_ptr<BN_GENCB, OsslDeleter<BN_GENCB_free>> callback(stopped ? BN_GENCB_new() : nullptr);
    if (stopped && !callback)
        return false;
    if (callback)
        BN_GENCB_set(callback.get(), AskWhetherStopped, &question);
    return RSA_generate_key_ex(rsa, 2048, exponent.get(), callback.get()) == 1;
}

} // namespace

int OpenSSLUtil::RSACreate2048(RSA** key)
{
    ErrorQueueScope errors;
    if (key == nullptr)
    {
        Diagnose("OpenSSLUtil::RSACreate2048(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    RSA_free(*key);
    *key = nullptr;

    RsaPtr rsa(RSA_new());
    if (!rsa || !GenerateRsa2048(rsa.get(), nullptr, nullptr))
        return 0;
    *key = rsa.release();
    return RSA_check_key(*key) == 1 ? 1 : 0;
}

EVP_PKEY* MakeRsaKeyPair2048(bool (*stopped)(void*), void* context)
{
    ErrorQueueScope errors;
    EnsureEngineInitialised();
    RsaPtr rsa(RSA_new());
    if (!rsa || !GenerateRsa2048(rsa.get(), stopped, context) || RSA_check_key(rsa.get()) != 1)
        return nullptr;
    return WrapRsaKey(rsa.release());
}

int OpenSSLUtil::KeyPairCreate2048(EVP_PKEY** key)
{
    ErrorQueueScope errors;
    if (key == nullptr)
    {
        Diagnose("OpenSSLUtil::KeyPairCreate2048(): Invalid input!\n");
        return 0;
    }
    EVP_PKEY_free(*key);
    *key = nullptr;
    RSA* rsa = nullptr;
    if (RSACreate2048(&rsa) == 0)
    {
        RSA_free(rsa);
        return 0;
    }
    *key = WrapRsaKey(rsa);
    return *key != nullptr ? 1 : 0;
}

int OpenSSLUtil::ExtractRSAPublicKey(X509* cert, RSA** out)
{
    ErrorQueueScope errors;
    if (cert == nullptr || out == nullptr)
    {
        Diagnose("OpenSSLUtil::ExtractRSAPublicKey(): Invalid input!\n");
        return 0;
    }
    EVP_PKEY* publicKey = X509_get0_pubkey(cert);
    RSA* rsa = publicKey != nullptr ? EVP_PKEY_get1_RSA(publicKey) : nullptr;
    // The previous key is released rather than overwritten, so that repeated calls leak nothing.
    RSA_free(*out);
    *out = rsa;
    return rsa != nullptr ? 1 : 0;
}

int OpenSSLUtil::PEMWritePrivateRSAKey(const char* path, RSA* key, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMWritePrivateRSAKey()\t->\tInvalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory)
        return 0;
    // Traditional PEM encryption; an empty password yields no key and so fails, as it should.
    const EVP_CIPHER* cipher = password != nullptr ? EVP_aes_128_cbc() : nullptr;
    if (PEM_write_bio_RSAPrivateKey(memory.get(), key, cipher, nullptr, 0, nullptr, PasswordData(password)) !=
        1)
        return 0;
    if (!WriteMemoryBioAtomically(path, memory.get(), FileAccess::OwnerOnly))
    {
        Diagnose("OpenSSLUtil::PEMWritePrivateRSAKey()\t->\tFailed opening PEM file!\n");
        return 0;
    }
    return 1;
}

int OpenSSLUtil::PEMExtractPrivateRSAKey(const char* path, RSA** key, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtractPrivateRSAKey()\t->\tInvalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    RSA_free(*key);
    // Callers may rely on an (empty) key object when the file cannot even be opened.
    *key = RSA_new();

    BioPtr file = OpenFileForReading(path);
    if (!file)
    {
        Diagnose("OpenSSLUtil::PEMExtractPrivateRSAKey()\t->\tFailed opening PEM file!\n");
        return 0;
    }
    RSA* read = PEM_read_bio_RSAPrivateKey(file.get(), nullptr, nullptr, PasswordData(password));
    RSA_free(*key);
    *key = read;
    return read != nullptr ? 1 : 0;
}

int OpenSSLUtil::PEMWritePublicRSAKey(const char* path, RSA* key)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMWritePublicRSAKey()\t->\tInvalid input!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || PEM_write_bio_RSA_PUBKEY(memory.get(), key) != 1)
        return 0;
    if (!WriteMemoryBioAtomically(path, memory.get(), FileAccess::Shared))
    {
        Diagnose("OpenSSLUtil::PEMWritePublicRSAKey()\t->\tFailed opening PEM file!\n");
        return 0;
    }
    return 1;
}

int OpenSSLUtil::PEMExtractPublicRSAKey(const char* path, RSA** key, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtractPublicRSAKey()\t->\tInvalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    RSA_free(*key);
    *key = nullptr;

    BioPtr file = OpenFileForReading(path);
    if (!file)
    {
        Diagnose("OpenSSLUtil::PEMExtractPublicRSAKey()\t->\tFailed opening PEM file!\n");
        return 0;
    }
    RSA* read = PEM_read_bio_RSA_PUBKEY(file.get(), nullptr, nullptr, PasswordData(password));
    if (read == nullptr && BIO_seek(file.get(), 0) == 0)
        read = PEM_read_bio_RSAPublicKey(file.get(), nullptr, nullptr, PasswordData(password));
    *key = read;
    return read != nullptr ? 1 : 0;
}

EVP_PKEY* WrapRsaKey(RSA* rsa)
{
    RsaPtr owned(rsa);
    EvpPkeyPtr key(EVP_PKEY_new());
    if (!owned || !key || EVP_PKEY_assign_RSA(key.get(), owned.get()) != 1)
        return nullptr;
    owned.release();
    return key.release();
}

RSA* RsaKeyOf(EVP_PKEY* key)
{
    return key != nullptr ? EVP_PKEY_get1_RSA(key) : nullptr;
}

bool ReferenceRsaKey(RSA* rsa)
{
    return rsa != nullptr && RSA_up_ref(rsa) == 1;
}

void FreeRsaKey(RSA* rsa)
{
    RSA_free(rsa);
}
