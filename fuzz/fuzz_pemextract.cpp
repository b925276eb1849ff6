// PEMExtract (a private key and a chain of certificates in one PEM file) over any bytes.
#include "fuzzinput.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/x509.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    OpenSSLUtil::PEMExtract(FuzzInput::Path(), &key, &certificate, &chain, "fuzz");
    const EvpPkeyPtr ownedKey(key);
    const X509Ptr ownedCertificate(certificate);
    const OwnedX509StackPtr ownedChain(chain);
    FuzzInput::RequireEmptyErrorQueue();
    return 0;
}
