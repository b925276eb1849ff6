// Certificate files (PEM and DER) and the PEM file that mixes a private key with a chain.

#include "enginediagnostics.h"
#include "enginefiles.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"
#include "passwordbuffer.h"

#include <openssl/pem.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

namespace
{

constexpr char kBeginCertificate[] = "-----BEGIN CERTIFICATE-----";
constexpr char kEndCertificate[] = "-----END CERTIFICATE-----";

// Certificates are never encrypted. OpenSSL's default callback would ask on the terminal for a
// block that claims to be, so a crafted file could stall the program: refuse instead.
int RefusePassword(char*, int, int, void*)
{
    return -1;
}

void* PasswordData(const char* password)
{
    return const_cast<char*>(password);
}

} // namespace

int OpenSSLUtil::LoadX509Certificate(const char* path, X509** cert, bool pem)
{
    ErrorQueueScope errors;
    if (path == nullptr || cert == nullptr)
    {
        Diagnose("OpenSSLUtil::LoadX509Certificate(): Invalid input!\n");
        return 0;
    }
    X509_free(*cert);
    *cert = nullptr;
    BioPtr file = OpenFileForReading(path);
    if (!file)
        return 0;
    *cert = pem ? PEM_read_bio_X509(file.get(), nullptr, RefusePassword, nullptr)
                : d2i_X509_bio(file.get(), nullptr);
    return *cert != nullptr ? 1 : 0;
}

int OpenSSLUtil::PEMWriteX509(X509* cert, const char* path)
{
    ErrorQueueScope errors;
    if (cert == nullptr || path == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMWriteX509()\t->\tInvalid input!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || PEM_write_bio_X509(memory.get(), cert) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::Shared) ? 1 : 0;
}

int OpenSSLUtil::X509WriteDER(X509* cert, const char* path)
{
    ErrorQueueScope errors;
    if (cert == nullptr || path == nullptr)
    {
        Diagnose("OpenSSLUtil::X509WriteDER(): Invalid input!\n");
        return 0;
    }
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || i2d_X509_bio(memory.get(), cert) != 1)
        return 0;
    return WriteMemoryBioAtomically(path, memory.get(), FileAccess::Shared) ? 1 : 0;
}

int OpenSSLUtil::PEMExtract(const char* path, EVP_PKEY** key, X509** cert, STACK_OF(X509) * *chain,
                            const char* password)
{
    ErrorQueueScope errors;
    EnsureEngineInitialised();
    // The chain list is an output too: without it there is nowhere to put the CA certificates.
    if (path == nullptr || key == nullptr || cert == nullptr || chain == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): Invalid input!\n");
        return 0;
    }
    PasswordBuffer typed;
    password = typed.resolve(password);
    if (password == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): Getpwd() failed!\n");
        return 0;
    }

    EVP_PKEY_free(*key);
    *key = nullptr;
    X509_free(*cert);
    *cert = nullptr;
    FreeX509Stack(*chain);
    *chain = sk_X509_new_null();
    if (*chain == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): Failed to allocate stack for the certificate chain!\n");
        return 0;
    }

    BioPtr file = OpenFileForReading(path);
    if (!file)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): Failed opening file: %s!\n", path);
        return 0;
    }
    *key = PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, PasswordData(password));
    if (*key == nullptr)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): Failed reading key in cert!\n");
        return 0;
    }

    std::string text;
    const ReadOutcome outcome =
        BIO_seek(file.get(), 0) == 0 ? ReadWholeFile(file.get(), &text) : ReadOutcome::ReadError;
    if (outcome == ReadOutcome::NoMemory)
    {
        Diagnose("Memory error");
        return 0;
    }
    if (outcome == ReadOutcome::ReadError)
    {
        Diagnose("Reading error");
        return 0;
    }

    std::size_t begin = text.find(kBeginCertificate);
    if (begin == std::string::npos)
    {
        Diagnose("OpenSSLUtil::PEMExtract(): No certificate found in PEM!\n");
        return 0;
    }
    while (begin != std::string::npos)
    {
        const std::size_t restLength = std::min<std::size_t>(text.size() - begin, INT_MAX);
        BioPtr rest(BIO_new_mem_buf(text.data() + begin, static_cast<int>(restLength)));
        X509Ptr certificate(rest ? PEM_read_bio_X509(rest.get(), nullptr, RefusePassword, nullptr) : nullptr);
        if (!certificate)
        {
            Diagnose("OpenSSLUtil::PEMExtract(): Error reading BIO!\n");
            return 0;
        }
        bool ca = false;
        int pathLength = 0;
        if (X509ExtractBasicConstraints(certificate.get(), &ca, &pathLength) == 0)
            Diagnose("OpenSSLUtil::PEMExtract(): Error reading Basic Constraints!\n");
        else if (ca)
        {
            if (sk_X509_push(*chain, certificate.get()) <= 0)
                return 0;
            certificate.release();
        }
        else
        {
            X509_free(*cert);
            *cert = certificate.release();
        }

        const std::size_t end = text.find(kEndCertificate, begin);
        if (end == std::string::npos)
        {
            Diagnose("OpenSSLUtil::PEMExtract(): No end certificate found in PEM!\n");
            return 0;
        }
        begin = text.find(kBeginCertificate, end + sizeof kEndCertificate - 1);
    }
    return 1;
}
