// The files of a certificate request made here: the request as PEM, and its key alone in a
// container until the certificate comes back.

#include "enginediagnostics.h"
#include "enginefiles.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

int OpenSSLUtil::PEMWriteX509REQ(X509_REQ* request, const char* path)
{
    ErrorQueueScope errors;
    if (request == nullptr || path == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMWriteX509REQ(): Invalid input!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || PEM_write_bio_X509_REQ(memory.get(), request) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::Shared) ? 1 : 0;
}

int OpenSSLUtil::PKCS12WriteKey(const char* path, EVP_PKEY* key, const char* name, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr || key == nullptr || name == nullptr || password == nullptr || *password == '\0')
    {
        Diagnose("OpenSSLUtil::PKCS12WriteKey(): Invalid input!\n");
        return 0;
    }
    EnsureEngineInitialised();
    // The current kind, as the export writes: AES-256-CBC under PBKDF2 and a SHA-256 MAC.
    Pkcs12Ptr container(PKCS12_create(password, name, key, nullptr, nullptr, NID_aes_256_cbc, NID_aes_256_cbc,
                                      PKCS12_DEFAULT_ITER, -1, 0));
    if (!container ||
        PKCS12_set_mac(container.get(), password, -1, nullptr, 0, PKCS12_DEFAULT_ITER, EVP_sha256()) != 1)
    {
        Diagnose("OpenSSLUtil::PKCS12WriteKey(): Failed creating PKCS12 structure!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || i2d_PKCS12_bio(memory.get(), container.get()) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::OwnerOnly) ? 1 : 0;
}
