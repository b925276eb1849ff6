// PKCS12Extract over any bytes. The empty password lets inputs without a MAC reach the bags.
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
    const int result = OpenSSLUtil::PKCS12Extract(FuzzInput::Path(), &key, &certificate, &chain, "");
    const EvpPkeyPtr ownedKey(key);
    const X509Ptr ownedCertificate(certificate);
    const OwnedX509StackPtr ownedChain(chain);
    FuzzInput::RequireEmptyErrorQueue();
    FuzzInput::Require(result != 0 || (key == nullptr && certificate == nullptr && chain == nullptr));
    return 0;
}
