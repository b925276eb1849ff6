#include "findings.h"

#include <array>
#include <utility>

namespace chainverify
{

namespace
{

// Each rule's source as the field's checkers cite it: the steps of the standard's certificate
// validation (ST 430-2 6.2), its clauses, the compliance test plan's items, RFC 5280; or the
// practice a warning stands for where no text is behind it.
constexpr std::array<std::pair<const char*, const char*>, 26> kDefaultRuleIds = {{
    {"version", "ST 430-2 6.2 step 2"},
    {"subjectKeyIdentifier", "ST 430-2 6.2 step 3"},
    {"subject attributes", "ST 430-2 6.2 step 4"},
    {"basicConstraints", "ST 430-2 6.2 step 5"},
    {"keyUsage", "ST 430-2 6.2 step 6"},
    {"organization", "ST 430-2 6.2 step 7"},
    {"common name role", "ST 430-2 6.2 step 8"},
    {"signature algorithm", "ST 430-2 6.2 step 10"},
    {"public key", "ST 430-2 6.2 step 11"},
    {"dnQualifier", "ST 430-2 6.2 step 13"},
    {"authorityKeyIdentifier", "ST 430-2 6.2 step 14"},
    {"missing issuer", "ST 430-2 6.2 step 14"},
    {"signature", "ST 430-2 6.2 step 15"},
    {"chain", "ST 430-2 6.2 step 16"},
    {"issuer name", "ST 430-2 6.2 step 17"},
    {"chain order", "ST 430-2 6.2 step 17"},
    {"validity", "ST 430-2 6.2 step 18"},
    {"trust anchor", "ST 430-2 6.2 step 19"},
    {"name string type", "ST 430-2 5.3"},
    {"serial number", "CTP 2.1.4"},
    {"issuer and serial", "RFC 5280 4.1.2.2"},
    {"path validation", "RFC 5280 6.1"},
    {"distinct keys", "practice/distinct-keys"},
    {"validity past 2038", "practice/2038"},
    {"validity over 10 years", "practice/10-years"},
    {"expiry", "practice/expiry"},
}};

} // namespace

const char* defaultRuleId(const QString& rule)
{
    for (const auto& [name, id] : kDefaultRuleIds)
        if (rule == QLatin1String(name))
            return id;
    return "practice/unknown";
}

} // namespace chainverify
