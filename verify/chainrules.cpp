// The profile rules, each a small function over one certificate (and its issuer) or over the
// whole chain. They read certificates with OpenSSL only.

#include "findings.h"
#include "verifyutil.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <QHash>

#include <array>
#include <optional>
#include <utility>

using namespace chainverify;

namespace
{

constexpr int kRsaBits = 2048;
constexpr unsigned long kRsaExponent = 65537;

// Decodes a single extension; tells apart absent, repeated and undecodable.
template <typename Owner>
Owner extension(const X509* certificate, int nid, const char* rule, const Link& link, Findings& findings,
                int* critical = nullptr)
{
    int crit = -1;
    auto* decoded =
        static_cast<typename Owner::element_type*>(X509_get_ext_d2i(certificate, nid, &crit, nullptr));
    if (critical)
        *critical = crit;
    if (!decoded)
    {
        if (crit == -1)
            findings.add(rule, link, QStringLiteral("missing"), ruleid::kRequiredExtension);
        else if (crit == -2)
            findings.add(rule, link, QStringLiteral("present more than once"), ruleid::kRequiredExtension);
        else
            findings.add(rule, link, QStringLiteral("cannot be decoded"));
    }
    return Owner(decoded);
}

// --- one certificate ---------------------------------------------------------------------

void ruleVersion(const Link& link, Findings& findings)
{
    const long version = X509_get_version(link.certificate);
    if (version != X509_VERSION_3)
        findings.add("version", link, QStringLiteral("v%1, not v3").arg(version + 1));
}

void rulePublicKey(const Link& link, Findings& findings)
{
    EVP_PKEY* key = X509_get0_pubkey(link.certificate);
    if (!key || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
    {
        findings.add("public key", link, QStringLiteral("not an RSA key"));
        return;
    }
    if (EVP_PKEY_get_bits(key) != kRsaBits)
        findings.add("public key", link, QStringLiteral("%1 bits, not 2048").arg(EVP_PKEY_get_bits(key)));
    BIGNUM* exponent = nullptr;
    if (!EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &exponent))
    {
        findings.add("public key", link, QStringLiteral("exponent unreadable"));
        return;
    }
    const BigNumPtr owner(exponent);
    if (BN_get_word(exponent) != kRsaExponent) // all bits set when it does not fit a word
        findings.add("public key", link, QStringLiteral("exponent %1, not 65537").arg(bignumText(exponent)));
}

void ruleSignatureAlgorithm(const Link& link, ChainVerifyOptions::Digest digest, Findings& findings)
{
    using Digest = ChainVerifyOptions::Digest;
    const int nid = X509_get_signature_nid(link.certificate);
    if (digest == Digest::Either)
    {
        // One algorithm for the whole chain is judged by ruleOneAlgorithm.
        if (nid != NID_sha256WithRSAEncryption && nid != NID_sha1WithRSAEncryption)
            findings.add("signature algorithm", link,
                         QStringLiteral("%1, not %2 or %3")
                             .arg(objectName(nid), objectName(NID_sha256WithRSAEncryption),
                                  objectName(NID_sha1WithRSAEncryption)));
    }
    else
    {
        const int expectedNid =
            digest == Digest::Sha1 ? NID_sha1WithRSAEncryption : NID_sha256WithRSAEncryption;
        if (nid != expectedNid)
            findings.add("signature algorithm", link,
                         QStringLiteral("%1, not %2").arg(objectName(nid), objectName(expectedNid)));
    }
    const X509_ALGOR* outer = nullptr;
    X509_get0_signature(nullptr, &outer, link.certificate);
    if (!outer || X509_ALGOR_cmp(outer, X509_get0_tbs_sigalg(link.certificate)) != 0)
        findings.add("signature algorithm", link,
                     QStringLiteral("the signed and the outer algorithm identifiers differ"),
                     ruleid::kOuterAlgorithm);
}

void checkNameStrings(const X509_NAME* name, const char* which, const Link& link, Findings& findings)
{
    for (int i = 0; i < X509_NAME_entry_count(name); ++i)
    {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
        const QString attribute = objectName(OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry)));
        const int type = ASN1_STRING_type(value);
        if (type != V_ASN1_PRINTABLESTRING)
            findings.add("name string type", link,
                         QStringLiteral("%1 %2 is %3")
                             .arg(QLatin1String(which), attribute, QLatin1String(ASN1_tag2str(type))));
        else if (ASN1_PRINTABLE_type(ASN1_STRING_get0_data(value), ASN1_STRING_length(value)) !=
                 V_ASN1_PRINTABLESTRING)
            findings.add("name string type", link,
                         QStringLiteral("%1 %2 holds characters outside PrintableString")
                             .arg(QLatin1String(which), attribute));
    }
}

void ruleNameStringTypes(const Link& link, Findings& findings)
{
    checkNameStrings(X509_get_issuer_name(link.certificate), "issuer", link, findings);
    checkNameStrings(X509_get_subject_name(link.certificate), "subject", link, findings);
}

void ruleSubjectAttributes(const Link& link, Findings& findings)
{
    const X509_NAME* subject = X509_get_subject_name(link.certificate);
    for (int nid : {NID_organizationName, NID_organizationalUnitName, NID_commonName, NID_dnQualifier})
    {
        const int count = entryCount(subject, nid);
        if (count != 1)
            findings.add("subject attributes", link,
                         QStringLiteral("%1 %2 times, not once").arg(objectName(nid)).arg(count));
        else if (nameText(subject, nid).isEmpty())
            findings.add("subject attributes", link, QStringLiteral("%1 is empty").arg(objectName(nid)));
    }
}

void ruleDnQualifier(const Link& link, Findings& findings)
{
    const X509_NAME* subject = X509_get_subject_name(link.certificate);
    if (entryCount(subject, NID_dnQualifier) == 0)
        return; // "subject attributes" reports it
    const QString expected = QString::fromLatin1(publicKeyThumbprint(link.certificate));
    const QString actual = nameText(subject, NID_dnQualifier);
    if (actual != expected)
        findings.add("dnQualifier", link,
                     QStringLiteral("\"%1\", the key's thumbprint is \"%2\"").arg(actual, expected));
}

void ruleOrganization(const Link& link, Findings& findings)
{
    const X509_NAME* issuer = X509_get_issuer_name(link.certificate);
    const X509_NAME* subject = X509_get_subject_name(link.certificate);
    if (entryCount(issuer, NID_organizationName) == 0)
    {
        findings.add("organization", link, QStringLiteral("the issuer name has no O"));
        return;
    }
    const QString issuerO = nameText(issuer, NID_organizationName);
    const QString subjectO = nameText(subject, NID_organizationName);
    if (issuerO != subjectO)
        findings.add("organization", link,
                     QStringLiteral("subject O \"%1\" differs from issuer O \"%2\"").arg(subjectO, issuerO));
}

void ruleCommonNameRole(const Link& link, bool signer, Findings& findings)
{
    const QString cn = nameText(X509_get_subject_name(link.certificate), NID_commonName);
    const QStringList roles = roleList(cn);
    if (!cn.contains(QLatin1Char('.')))
    {
        findings.add("common name role", link, QStringLiteral("CN has no \".\" after its roles"));
        return;
    }
    if (link.authority)
    {
        if (!roles.isEmpty())
            findings.add("common name role", link,
                         QStringLiteral("an authority's CN carries the role \"%1\"").arg(rolesOf(cn)));
        return;
    }
    if (roles.isEmpty())
    {
        findings.add("common name role", link, QStringLiteral("a leaf's CN carries no role"));
        return;
    }
    // Devices ignore roles they do not know, so an unknown one is worth a word, not a refusal.
    for (const QString& role : roles)
        if (!isKnownRole(role))
            findings.warn("common name role", link,
                          QStringLiteral("the role \"%1\" is not a known one").arg(role));
    if (!signer)
        return;
    if (!roles.contains(QLatin1String("CS")))
        findings.add("common name role", link,
                     QStringLiteral("a content signer's roles are \"%1\", without \"CS\"")
                         .arg(roles.join(QLatin1Char(' '))));
    else if (roles.size() > 1)
        findings.warn("common name role", link,
                      QStringLiteral("a content signer carries roles beside \"CS\": \"%1\"")
                          .arg(roles.join(QLatin1Char(' '))),
                      ruleid::kSignerRolesOnly);
}

void ruleBasicConstraints(const Link& link, Findings& findings)
{
    int critical = -1;
    const auto constraints = extension<BasicConstraintsPtr>(link.certificate, NID_basic_constraints,
                                                            "basicConstraints", link, findings, &critical);
    if (!constraints)
        return;
    if (critical != 1)
        findings.add("basicConstraints", link, QStringLiteral("not critical"));
    const bool ca = constraints->ca != 0;
    if (link.authority)
    {
        if (!ca)
            findings.add("basicConstraints", link, QStringLiteral("an authority without CA:TRUE"));
        if (!constraints->pathlen)
            findings.add("basicConstraints", link, QStringLiteral("an authority without a path length"));
        else if (ASN1_INTEGER_get(constraints->pathlen) < 0)
            findings.add("basicConstraints", link, QStringLiteral("a negative path length"));
    }
    else
    {
        if (ca)
            findings.add("basicConstraints", link, QStringLiteral("a leaf with CA:TRUE"));
        if (constraints->pathlen)
            findings.add("basicConstraints", link, QStringLiteral("a leaf with a path length"));
    }
}

// What a role does with each keyUsage bit, in RFC 5280 order.
enum class Usage
{
    No,
    Yes,
    May // accepted beside the required bits, as the public checkers of the field accept it
};
using UsageProfile = std::array<Usage, kKeyUsageBits.size()>;
constexpr Usage N = Usage::No;
constexpr Usage Y = Usage::Yes;
// keyCertSign, and cRLSign beside it (the classic one-call root carries both).
constexpr UsageProfile kAuthorityUsage = {N, N, N, N, N, Y, Usage::May, N, N};
// digitalSignature and keyEncipherment.
constexpr UsageProfile kLeafUsage = {Y, N, Y, N, N, N, N, N, N};

void ruleKeyUsage(const Link& link, Findings& findings)
{
    const auto usage = extension<BitStringPtr>(link.certificate, NID_key_usage, "keyUsage", link, findings);
    if (!usage)
        return;
    const UsageProfile& profile = link.authority ? kAuthorityUsage : kLeafUsage;
    QStringList missing;
    QStringList extra;
    for (size_t bit = 0; bit < profile.size(); ++bit)
    {
        const bool set = ASN1_BIT_STRING_get_bit(usage.get(), int(bit)) != 0;
        if (set && profile[bit] == Usage::No)
            extra << QLatin1String(kKeyUsageBits[bit]);
        if (!set && profile[bit] == Usage::Yes)
            missing << QLatin1String(kKeyUsageBits[bit]);
    }
    for (int bit = int(profile.size()); bit < ASN1_STRING_length(usage.get()) * 8; ++bit)
        if (ASN1_BIT_STRING_get_bit(usage.get(), bit))
            extra << QStringLiteral("bit %1").arg(bit);
    if (!missing.isEmpty())
        findings.add("keyUsage", link, QStringLiteral("lacks %1").arg(missing.join(QStringLiteral(", "))));
    if (!extra.isEmpty())
        findings.add("keyUsage", link, QStringLiteral("also has %1").arg(extra.join(QStringLiteral(", "))));
}

// The digital-cinema test plans hold serial numbers to 64 bits; Interop packages follow RFC
// 5280's 20 octets.
constexpr int kLongestSerialBits = 64;
constexpr int kLongestInteropSerialBits = 160;

void ruleSerialNumber(const Link& link, ChainVerifyOptions::Profile profile, Findings& findings)
{
    const int longest =
        profile == ChainVerifyOptions::Profile::Interop ? kLongestInteropSerialBits : kLongestSerialBits;
    const BigNumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(link.certificate), nullptr));
    if (!serial || BN_is_zero(serial.get()) || BN_is_negative(serial.get()))
        findings.add("serial number", link,
                     QStringLiteral("%1 is not greater than 0")
                         .arg(integerText(X509_get0_serialNumber(link.certificate))),
                     ruleid::kSerialPositive);
    else if (BN_num_bits(serial.get()) > longest)
        findings.add("serial number", link,
                     QStringLiteral("%1 is %2 bits long, more than %3")
                         .arg(bignumText(serial.get()))
                         .arg(BN_num_bits(serial.get()))
                         .arg(longest));
}

void ruleSubjectKeyIdentifier(const Link& link, Findings& findings)
{
    const auto ski = extension<OctetStringPtr>(link.certificate, NID_subject_key_identifier,
                                               "subjectKeyIdentifier", link, findings);
    if (ski && ASN1_STRING_length(ski.get()) == 0)
        findings.add("subjectKeyIdentifier", link, QStringLiteral("empty"));
}

void ruleAuthorityKeyIdentifier(const Link& link, Findings& findings)
{
    const auto aki = extension<AuthorityKeyIdPtr>(link.certificate, NID_authority_key_identifier,
                                                  "authorityKeyIdentifier", link, findings);
    if (!aki)
        return;
    const ASN1_OCTET_STRING* issuerSki = X509_get0_subject_key_id(link.issuer);
    if (!aki->keyid)
        findings.add("authorityKeyIdentifier", link, QStringLiteral("no key identifier"));
    else if (!issuerSki || ASN1_OCTET_STRING_cmp(aki->keyid, issuerSki) != 0)
        findings.add("authorityKeyIdentifier", link,
                     QStringLiteral("key identifier %1 is not the issuer's subjectKeyIdentifier %2")
                         .arg(hex(aki->keyid), issuerSki ? hex(issuerSki) : QStringLiteral("(none)")));

    const X509_NAME* akiName = nullptr;
    if (aki->issuer && sk_GENERAL_NAME_num(aki->issuer) == 1)
    {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(aki->issuer, 0);
        if (name->type == GEN_DIRNAME)
            akiName = name->d.directoryName;
    }
    if (!aki->issuer)
        findings.add("authorityKeyIdentifier", link, QStringLiteral("no authorityCertIssuer"));
    else if (!akiName)
        findings.add("authorityKeyIdentifier", link,
                     QStringLiteral("authorityCertIssuer is not one directory name"));
    else if (!sameName(akiName, X509_get_issuer_name(link.issuer)))
        findings.add(
            "authorityKeyIdentifier", link,
            QStringLiteral("authorityCertIssuer \"%1\" is not the issuer certificate's issuer \"%2\"")
                .arg(nameLine(akiName), nameLine(X509_get_issuer_name(link.issuer))));

    if (!aki->serial)
        findings.add("authorityKeyIdentifier", link, QStringLiteral("no authorityCertSerialNumber"));
    else if (ASN1_INTEGER_cmp(aki->serial, X509_get0_serialNumber(link.issuer)) != 0)
        findings.add("authorityKeyIdentifier", link,
                     QStringLiteral("authorityCertSerialNumber %1 is not the issuer's serial %2")
                         .arg(integerText(aki->serial), integerText(X509_get0_serialNumber(link.issuer))));
}

void ruleIssuerName(const Link& link, Findings& findings)
{
    const X509_NAME* expected = X509_get_subject_name(link.issuer);
    if (!sameName(X509_get_issuer_name(link.certificate), expected))
        findings.add(
            "issuer name", link,
            QStringLiteral("\"%1\" is not %2 \"%3\"")
                .arg(nameLine(X509_get_issuer_name(link.certificate)),
                     link.root ? QStringLiteral("its own subject") : QStringLiteral("the parent's subject"),
                     nameLine(expected)));
}

void ruleSignature(const Link& link, Findings& findings)
{
    EVP_PKEY* issuerKey = X509_get0_pubkey(link.issuer);
    if (!issuerKey || X509_verify(link.certificate, issuerKey) != 1)
        findings.add("signature", link,
                     link.root ? QStringLiteral("the self-signature does not verify")
                               : QStringLiteral("does not verify with the parent's key"));
}

// RFC 5280: UTCTime for the years 1950 to 2049, GeneralizedTime otherwise.
void checkTimeEncoding(const ASN1_TIME* time, const char* which, const Link& link, Findings& findings)
{
    const QDateTime when = toDateTime(time);
    if (!when.isValid() || ASN1_TIME_check(time) != 1)
    {
        findings.add("validity", link, QStringLiteral("%1 is malformed").arg(QLatin1String(which)),
                     ruleid::kTimeEncoding);
        return;
    }
    const int year = when.date().year();
    const bool utcTime = ASN1_STRING_type(time) == V_ASN1_UTCTIME;
    if (utcTime != (year >= 1950 && year <= 2049))
        findings.add("validity", link,
                     QStringLiteral("%1 in %2 encoded as %3")
                         .arg(QLatin1String(which))
                         .arg(year)
                         .arg(utcTime ? QStringLiteral("UTCTime") : QStringLiteral("GeneralizedTime")),
                     ruleid::kTimeEncoding);
}

void ruleValidity(const Link& link, const QDateTime& at, Findings& findings)
{
    const ASN1_TIME* notBefore = X509_get0_notBefore(link.certificate);
    const ASN1_TIME* notAfter = X509_get0_notAfter(link.certificate);
    checkTimeEncoding(notBefore, "notBefore", link, findings);
    checkTimeEncoding(notAfter, "notAfter", link, findings);
    if (ASN1_TIME_compare(notBefore, notAfter) > 0)
        findings.add("validity", link, QStringLiteral("ends before it starts"), ruleid::kTimeEncoding);
    if (!link.root)
    {
        if (ASN1_TIME_compare(notBefore, X509_get0_notBefore(link.issuer)) < 0)
            findings.add("validity", link,
                         QStringLiteral("starts %1, before the parent (%2)")
                             .arg(timeText(notBefore), timeText(X509_get0_notBefore(link.issuer))));
        if (ASN1_TIME_compare(notAfter, X509_get0_notAfter(link.issuer)) > 0)
            findings.add("validity", link,
                         QStringLiteral("ends %1, after the parent (%2)")
                             .arg(timeText(notAfter), timeText(X509_get0_notAfter(link.issuer))));
    }
    if (at.isValid())
    {
        time_t t = time_t(at.toSecsSinceEpoch());
        if (X509_cmp_time(notBefore, &t) >= 0 || X509_cmp_time(notAfter, &t) <= 0)
            findings.add("validity", link,
                         QStringLiteral("not valid at %1").arg(at.toUTC().toString(Qt::ISODate)),
                         ruleid::kValidAtTime);
    }
}

// The limit of a signed 32-bit time_t; equipment of this field still carries such clocks.
const QDateTime kEndOf32BitTime(QDate(2038, 1, 19), QTime(3, 14, 7), Qt::UTC);
constexpr int kLongestYearsAhead = 10;

// The time the "now" rules judge at, as findings name it: "now", or "at <time>" for a time the
// caller chose.
QString nameOfNow(const ChainVerifyOptions& options)
{
    return options.nowChosen ? QStringLiteral("at ") + options.now.toUTC().toString(Qt::ISODate)
                             : QStringLiteral("now");
}

void ruleValidityNow(const Link& link, const ChainVerifyOptions& options, Findings& findings)
{
    const QDateTime notBefore = toDateTime(X509_get0_notBefore(link.certificate));
    const QDateTime notAfter = toDateTime(X509_get0_notAfter(link.certificate));
    if (!notBefore.isValid() || !notAfter.isValid())
        return; // "validity" reports it
    const QDateTime now = QDateTime::fromSecsSinceEpoch(options.now.toSecsSinceEpoch(), Qt::UTC);
    const QString when = nameOfNow(options);
    const QString reference = options.nowChosen ? now.toString(Qt::ISODate) : when;
    if (now < notBefore)
        findings.add(QStringLiteral("validity ") + when, link.who, link.original,
                     QStringLiteral("not valid yet, starts %1").arg(notBefore.toString(Qt::ISODate)),
                     ruleid::kValidAtTime);
    else if (now > notAfter)
        findings.add(QStringLiteral("validity ") + when, link.who, link.original,
                     QStringLiteral("expired, ended %1").arg(notAfter.toString(Qt::ISODate)),
                     ruleid::kValidAtTime);
    else if (options.warnDays > 0 && notAfter <= now.addDays(options.warnDays))
        findings.warn("expiry", link,
                      QStringLiteral("ends %1, within %2 days of %3")
                          .arg(notAfter.toString(Qt::ISODate))
                          .arg(options.warnDays)
                          .arg(reference));
    if (notAfter > kEndOf32BitTime)
        findings.warn("validity past 2038", link,
                      QStringLiteral("ends %1, after %2 (beyond 32-bit time)")
                          .arg(notAfter.toString(Qt::ISODate), kEndOf32BitTime.toString(Qt::ISODate)));
    if (notAfter > now.addYears(kLongestYearsAhead))
        findings.warn("validity over 10 years", link,
                      options.nowChosen ? QStringLiteral("ends %1, more than %2 years after %3")
                                              .arg(notAfter.toString(Qt::ISODate))
                                              .arg(kLongestYearsAhead)
                                              .arg(reference)
                                        : QStringLiteral("ends %1, more than %2 years ahead")
                                              .arg(notAfter.toString(Qt::ISODate))
                                              .arg(kLongestYearsAhead));
}

// --- the whole chain ---------------------------------------------------------------------

void rulePathLengths(const std::vector<Link>& links, Findings& findings)
{
    std::optional<long> above;
    for (const Link& link : links)
    {
        if (!link.authority)
            break;
        const long pathLength = pathLengthOf(link.certificate);
        if (pathLength < 0)
            continue; // "basicConstraints" reports it
        if (above && pathLength >= *above)
            findings.add("basicConstraints", link,
                         QStringLiteral("path length %1 is not below the %2 of the authority above")
                             .arg(pathLength)
                             .arg(*above));
        above = pathLength;
    }
}

void ruleOneAlgorithm(const std::vector<Link>& links, Findings& findings)
{
    QStringList seen;
    for (const Link& link : links)
    {
        const QString name = objectName(X509_get_signature_nid(link.certificate));
        if (!seen.contains(name))
            seen << name;
    }
    if (seen.size() > 1)
        findings.add(QStringLiteral("signature algorithm"), QStringLiteral("chain"), nullptr,
                     QStringLiteral("mixes %1").arg(seen.join(QStringLiteral(" and "))));
}

// A key that signs for two certificates of one chain (an authority's key reused for a leaf)
// makes the one stand in for the other.
void ruleDistinctKeys(const std::vector<Link>& links, Findings& findings)
{
    QHash<QByteArray, const Link*> seen;
    for (const Link& link : links)
    {
        const QByteArray key = publicKeyInfoDer(link.certificate);
        if (key.isEmpty())
            continue; // "public key" reports it
        const auto earlier = seen.constFind(key);
        if (earlier != seen.constEnd())
            findings.add("distinct keys", link,
                         QStringLiteral("has the public key of %1 in the same chain").arg((*earlier)->who));
        else
            seen.insert(key, &link);
    }
}

void rulePathValidation(const std::vector<Link>& links, const QDateTime& at, Findings& findings)
{
    const QString chain = QStringLiteral("chain");
    const QString rule = QStringLiteral("path validation");
    X509StorePtr store(X509_STORE_new());
    X509StoreCtxPtr context(X509_STORE_CTX_new());
    BorrowedX509StackPtr untrusted(sk_X509_new_null());
    if (!store || !context || !untrusted || !X509_STORE_add_cert(store.get(), links.front().certificate))
    {
        findings.add(rule, chain, nullptr, QStringLiteral("cannot set up the store"));
        return;
    }
    for (size_t i = 1; i + 1 < links.size(); ++i)
        sk_X509_push(untrusted.get(), links[i].certificate);
    X509* target = links.back().certificate;
    if (!X509_STORE_CTX_init(context.get(), store.get(), target, untrusted.get()))
    {
        findings.add(rule, chain, nullptr, QStringLiteral("cannot set up the context"));
        return;
    }
    X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_X509_STRICT);
    const QDateTime when = at.isValid() ? at : toDateTime(X509_get0_notBefore(target)).addSecs(1);
    X509_VERIFY_PARAM_set_time(parameters, time_t(when.toSecsSinceEpoch()));
    if (X509_verify_cert(context.get()) == 1)
        return;
    const int error = X509_STORE_CTX_get_error(context.get());
    X509* culprit = X509_STORE_CTX_get_current_cert(context.get());
    const QString what = QStringLiteral("%1 (error %2, depth %3)")
                             .arg(QLatin1String(X509_verify_cert_error_string(error)))
                             .arg(error)
                             .arg(X509_STORE_CTX_get_error_depth(context.get()));
    for (const Link& link : links)
        if (culprit && link.certificate == culprit)
        {
            findings.add(rule, link.who, link.original, what);
            return;
        }
    findings.add(rule, culprit ? ChainVerifier::describe(culprit) : chain, nullptr, what);
}

} // namespace

namespace chainverify
{

void checkLink(const Link& link, const ChainVerifyOptions& options, Findings& findings)
{
    ruleVersion(link, findings);
    rulePublicKey(link, findings);
    ruleSignatureAlgorithm(link, options.digest.value_or(ChainVerifyOptions::Digest::Sha256), findings);
    ruleNameStringTypes(link, findings);
    ruleSubjectAttributes(link, findings);
    ruleDnQualifier(link, findings);
    ruleOrganization(link, findings);
    ruleCommonNameRole(link, options.signer, findings);
    ruleBasicConstraints(link, findings);
    ruleKeyUsage(link, findings);
    ruleSerialNumber(link, options.profile, findings);
    ruleSubjectKeyIdentifier(link, findings);
    ruleAuthorityKeyIdentifier(link, findings);
    ruleIssuerName(link, findings);
    ruleSignature(link, findings);
    ruleValidity(link, options.at, findings);
    if (options.now.isValid())
        ruleValidityNow(link, options, findings);
}

void checkChain(const std::vector<Link>& links, const ChainVerifyOptions& options, Findings& findings)
{
    rulePathLengths(links, findings);
    ruleOneAlgorithm(links, findings);
    ruleDistinctKeys(links, findings);
    rulePathValidation(links, options.at, findings);
}

} // namespace chainverify

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
