#pragma once

// The profile's rules over one certificate in its place and over a whole chain, and how they
// record what they find: each finding names its rule, the identifier the rule comes from (a
// table keyed by the rule's name, so that one rule cites one source unless a finding says
// otherwise) and the certificate it is about. Internal to the verifier: ChainJudge runs them.

#include "chainverifier.h"

#include <QString>

#include <openssl/x509.h>

#include <vector>

namespace chainverify
{

// One certificate of a chain in the role it plays there.
struct Link
{
    X509* certificate = nullptr;    // the copy judged (decoded from its DER)
    X509* issuer = nullptr;         // the copy of the certificate above; the root's is itself
    const X509* original = nullptr; // the caller's certificate, which findings name
    bool authority = true;
    bool root = false;
    QString who;
};

// The identifier a rule cites by default; "practice/unknown" for a name not in the table.
const char* defaultRuleId(const QString& rule);

class Findings
{
public:
    explicit Findings(std::vector<ChainFinding>& out) : mOut(out) {}

    // ruleId null: the rule's default.
    void add(const char* rule, const Link& link, const QString& what, const char* ruleId = nullptr)
    {
        record(ChainFinding::Severity::Error, QLatin1String(rule), link.who, link.original, what, ruleId);
    }
    void warn(const char* rule, const Link& link, const QString& what, const char* ruleId = nullptr)
    {
        record(ChainFinding::Severity::Warning, QLatin1String(rule), link.who, link.original, what, ruleId);
    }
    // About the chain, or a certificate named by `who` and `about` (borrowed).
    void add(const QString& rule, const QString& who, const X509* about, const QString& what,
             const char* ruleId = nullptr)
    {
        record(ChainFinding::Severity::Error, rule, who, about, what, ruleId);
    }
    void warn(const QString& rule, const QString& who, const X509* about, const QString& what,
              const char* ruleId = nullptr)
    {
        record(ChainFinding::Severity::Warning, rule, who, about, what, ruleId);
    }

private:
    void record(ChainFinding::Severity severity, const QString& rule, const QString& who, const X509* about,
                const QString& what, const char* ruleId)
    {
        ChainFinding finding{severity, rule, who, what};
        finding.ruleId = QLatin1String(ruleId ? ruleId : defaultRuleId(rule));
        finding.about = about;
        mOut.push_back(std::move(finding));
    }

    std::vector<ChainFinding>& mOut;
};

// The identifiers that are not a rule's default, by what they cite.
namespace ruleid
{
constexpr const char* kRequiredExtension = "ST 430-2 6.2 step 3";
constexpr const char* kValidAtTime = "ST 430-2 6.2 step 9";
constexpr const char* kTimeEncoding = "RFC 5280 4.1.2.5";
constexpr const char* kOuterAlgorithm = "RFC 5280 4.1.1.2";
constexpr const char* kSerialPositive = "RFC 5280 4.1.2.2";
constexpr const char* kSignerRolesOnly = "DCSS 9.4.3.5";
} // namespace ruleid

// options.digest set: the digest every certificate must be signed with (ChainJudge resolves
// the profile's "either, as long as one" to the root's).
void checkLink(const Link& link, const ChainVerifyOptions& options, Findings& findings);
// links: root first. Path lengths, one algorithm, distinct keys and path validation.
void checkChain(const std::vector<Link>& links, const ChainVerifyOptions& options, Findings& findings);

} // namespace chainverify
