// The verifier's PKCS#12 reader over any bytes. The empty password lets inputs without a MAC
// reach the bags; the iteration bound keeps every input quick.
#include "chainverifier.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    const ChainVerifier::Pkcs12Contents contents =
        ChainVerifier::loadPkcs12(FuzzInput::Path(), QByteArray(""));
    FuzzInput::RequireEmptyErrorQueue();
    FuzzInput::Require(contents.ok() == contents.error.isEmpty());
    FuzzInput::Require(contents.ok() ? contents.certificate != nullptr
                                     : !contents.key && !contents.certificate && contents.chain.empty());
    return 0;
}
