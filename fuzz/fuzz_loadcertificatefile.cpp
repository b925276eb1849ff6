// The verifier's certificate-file reader over any bytes: told by content, every PEM block read
// or reported, nothing left on the error queue.
#include "chainverifier.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using Kind = ChainVerifier::CertificateFile::Kind;
    FuzzInput::Write(data, size);
    const ChainVerifier::CertificateFile file = ChainVerifier::loadCertificateFile(FuzzInput::Path());
    FuzzInput::RequireEmptyErrorQueue();
    FuzzInput::Require((file.kind == Kind::Damaged) == (file.damagedBlock > 0));
    FuzzInput::Require(file.kind == Kind::Pem || file.kind == Kind::Damaged || file.kind == Kind::Der ||
                       file.certificates.empty());
    FuzzInput::Require(file.kind != Kind::Der || file.certificates.size() == 1);
    FuzzInput::Require((file.kind == Kind::Empty) == (size == 0));
    return 0;
}
