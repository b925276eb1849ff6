// The reader of certificate requests over any bytes, checks of signature and key included.
#include "certificaterequest.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    const CertificateRequests::ReadRequest read =
        CertificateRequests::readRequestFile(QString::fromLocal8Bit(FuzzInput::Path()));
    FuzzInput::RequireEmptyErrorQueue();
    // A request taken is one whose key and dnQualifier an authority can use.
    FuzzInput::Require(!read.valid() || (read.request && read.key && !read.dnQualifier.isEmpty()));
    return 0;
}
