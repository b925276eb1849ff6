#pragma once

// The profile's rules over one certificate in its place, and over a whole chain. Internal to
// the verifier: ChainJudge runs them.

#include "findings.h"

#include <vector>

namespace chainverify
{

// options.digest set: the digest every certificate must be signed with (ChainJudge resolves
// the profile's "either, as long as one" to the root's).
void checkLink(const Link& link, const ChainVerifyOptions& options, Findings& findings);
// links: root first. Path lengths, one algorithm, distinct keys and path validation.
void checkChain(const std::vector<Link>& links, const ChainVerifyOptions& options, Findings& findings);

} // namespace chainverify
