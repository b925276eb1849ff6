#pragma once

// Judges chains one after another, each certificate in each place once: a root above a
// thousand leaves heads a thousand chains, and is judged once, its findings reused for every
// chain that shares it. Internal to the verifier.

#include "findings.h"
#include "osslptr.h"

#include <QHash>

#include <map>
#include <tuple>
#include <unordered_map>
#include <vector>

class ChainJudge
{
public:
    explicit ChainJudge(const ChainVerifyOptions& options);

    // rootFirst: borrowed, none null; judged with lastIsLeaf in place of options.lastIsLeaf.
    std::vector<ChainFinding> judge(const std::vector<X509*>& rootFirst, bool lastIsLeaf);

private:
    // The copy of a certificate that is judged, decoded from its DER once; null when the
    // certificate cannot be encoded.
    X509* copyOf(X509* original);

    // A certificate in one place: below this issuer, as an authority or a leaf, judged by this
    // digest (the profile's "either" takes the root's).
    using Place = std::tuple<const X509*, const X509*, bool, int>;

    ChainVerifyOptions mOptions;
    std::unordered_map<const X509*, X509Ptr> mCopies;
    QHash<const X509*, QString> mNames;
    std::map<Place, std::vector<ChainFinding>> mPlaces;
};
