// The reader of signed playlists and packing lists over any bytes, signature check included.
#include "compositionreader.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    const SignedComposition composition = CompositionReader::read(FuzzInput::Path());
    FuzzInput::RequireEmptyErrorQueue();
    // A document that verifies names the certificate it was verified with.
    FuzzInput::Require(!composition.verified() || composition.signingCertificate() != nullptr);
    FuzzInput::Require(composition.signingIndex < int(composition.certificates.size()));
    return 0;
}
