// PEMExtractPrivateRSAKey over any bytes; the password opens the encrypted seeds.
#define OPENSSL_SUPPRESS_DEPRECATED // the interface hands out RSA objects

#include "fuzzinput.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/rsa.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    RSA* key = nullptr;
    const int result = OpenSSLUtil::PEMExtractPrivateRSAKey(FuzzInput::Path(), &key, "fuzz");
    const RsaPtr owned(key);
    FuzzInput::RequireEmptyErrorQueue();
    FuzzInput::Require((result != 0) == (key != nullptr));
    return 0;
}
