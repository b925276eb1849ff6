// Sorting into chains, and judging them, over the certificates of any PEM input: every
// certificate placed once, every chain made of them.
#include "chainverifier.h"
#include "fuzzinput.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput::Write(data, size);
    const std::vector<X509Ptr> owned = ChainVerifier::loadPemCertificates(FuzzInput::Path());
    std::vector<X509*> certificates;
    for (const X509Ptr& certificate : owned)
        certificates.push_back(certificate.get());
    const ChainSorting sorting = ChainVerifier::sortIntoChains(certificates);
    FuzzInput::Require(sorting.ordered.size() <= certificates.size());
    for (X509* certificate : sorting.ordered)
        FuzzInput::Require(std::count(sorting.ordered.begin(), sorting.ordered.end(), certificate) == 1);
    for (const std::vector<X509*>& chain : sorting.chains)
        for (X509* certificate : chain)
            FuzzInput::Require(std::find(sorting.ordered.begin(), sorting.ordered.end(), certificate) !=
                               sorting.ordered.end());
    const ChainReport report = ChainVerifier::verifyCertificates(certificates, ChainVerifyOptions());
    FuzzInput::Require(report.certificates == sorting.ordered.size());
    for (const ChainFinding& finding : report.findings)
        FuzzInput::Require(!finding.ruleId.isEmpty());
    FuzzInput::RequireEmptyErrorQueue();
    return 0;
}
