// PEMExtract (a private key and a chain of certificates in one PEM file) over any bytes.
#include "fuzzinput.h"
#include "opensslutil.h"

#include <openssl/x509.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    OpenSSLUtil::PEMExtract(FuzzInput::Path(), &key, &certificate, &chain, "fuzz");
    FuzzInput::RequireEmptyErrorQueue();
    EVP_PKEY_free(key);
    X509_free(certificate);
    sk_X509_pop_free(chain, X509_free);
    return 0;
}
