// LoadX509Certificate of a PEM file over any bytes.
#include "fuzzinput.h"
#include "opensslutil.h"
#include "osslptr.h"

#include <openssl/x509.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    X509* certificate = nullptr;
    const int result = OpenSSLUtil::LoadX509Certificate(FuzzInput::Path(), &certificate, true);
    const X509Ptr owned(certificate);
    FuzzInput::RequireEmptyErrorQueue();
    FuzzInput::Require((result != 0) == (certificate != nullptr));
    return 0;
}
