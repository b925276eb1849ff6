// Putting certificates in chain order, and judging every chain of a set of certificates. The
// certificates are indexed by the DER of their names, so that finding an issuer costs the same
// for a thousand certificates as for three.

#include "chainjudge.h"
#include "chainverifier.h"
#include "verifyutil.h"

#include <QHash>
#include <QSet>

#include <openssl/x509v3.h>

#include <algorithm>
#include <optional>

using namespace chainverify;

namespace
{

QByteArray keyIdentifier(const ASN1_OCTET_STRING* id)
{
    return id ? QByteArray(reinterpret_cast<const char*>(ASN1_STRING_get0_data(id)), ASN1_STRING_length(id))
              : QByteArray();
}

// The distinct certificates and what sorting asks of each, read once.
struct Indexed
{
    std::vector<X509*> unique;
    std::vector<QByteArray> subject; // DER names
    std::vector<QByteArray> issuer;
    std::vector<QByteArray> ownKeyId;       // subjectKeyIdentifier
    std::vector<QByteArray> authorityKeyId; // the key identifier of authorityKeyIdentifier
    std::vector<bool> root;
    QHash<QByteArray, std::vector<size_t>> bySubject; // in the order given
    QHash<QByteArray, std::vector<size_t>> byKeyId;

    explicit Indexed(const std::vector<X509*>& certificates)
    {
        QSet<QByteArray> seen;
        for (X509* certificate : certificates)
        {
            if (!certificate)
                continue;
            const QByteArray der = derOf(certificate);
            if (seen.contains(der))
                continue;
            seen.insert(der);
            const size_t at = unique.size();
            unique.push_back(certificate);
            subject.push_back(nameDer(X509_get_subject_name(certificate)));
            issuer.push_back(nameDer(X509_get_issuer_name(certificate)));
            ownKeyId.push_back(keyIdentifier(X509_get0_subject_key_id(certificate)));
            authorityKeyId.push_back(keyIdentifier(X509_get0_authority_key_id(certificate)));
            bySubject[subject[at]].push_back(at);
            if (!ownKeyId[at].isEmpty())
                byKeyId[ownKeyId[at]].push_back(at);
        }
        // A root names itself as issuer, or (its issuer name being what is broken) names its own
        // key: unless another certificate has that name, as when a key is reused below its issuer.
        for (size_t i = 0; i < unique.size(); ++i)
        {
            const bool selfIssued = !subject[i].isEmpty() && subject[i] == issuer[i];
            const bool ownKey = !ownKeyId[i].isEmpty() && ownKeyId[i] == authorityKeyId[i];
            root.push_back(selfIssued || (ownKey && !firstOther(bySubject, issuer[i], i)));
        }
    }

    // The first other certificate in the list whose entry under `key` matches.
    static std::optional<size_t> firstOther(const QHash<QByteArray, std::vector<size_t>>& index,
                                            const QByteArray& key, size_t self)
    {
        const auto found = index.constFind(key);
        if (key.isEmpty() || found == index.constEnd())
            return std::nullopt;
        for (size_t candidate : *found)
            if (candidate != self)
                return candidate;
        return std::nullopt;
    }

    // A child is linked to its parent by name, or by key identifier when the name is what is
    // broken, so that a faulty certificate still lands where it belongs and is judged there;
    // by name first, so that a key identifier shared by two authorities does not decide.
    std::vector<std::optional<size_t>> parents() const
    {
        std::vector<std::optional<size_t>> out(unique.size());
        for (size_t i = 0; i < unique.size(); ++i)
            if (!root[i])
            {
                out[i] = firstOther(bySubject, issuer[i], i);
                if (!out[i])
                    out[i] = firstOther(byKeyId, authorityKeyId[i], i);
            }
        return out;
    }
};

// Whether following the parents from every certificate ends at a top (a root or an orphan).
bool endsAtTops(const std::vector<std::optional<size_t>>& parents)
{
    enum State : char
    {
        Unseen,
        OnPath,
        Ends
    };
    std::vector<State> state(parents.size(), Unseen);
    std::vector<size_t> path;
    for (size_t start = 0; start < parents.size(); ++start)
    {
        path.clear();
        std::optional<size_t> at = start;
        while (at && state[*at] == Unseen)
        {
            state[*at] = OnPath;
            path.push_back(*at);
            at = parents[*at];
        }
        if (at && state[*at] == OnPath)
            return false;
        for (size_t visited : path)
            state[visited] = Ends;
    }
    return true;
}

// Depth-first below the last of `path`: every certificate into `ordered`, every path that ends
// in a certificate without children into `chains` (only when `complete`).
void walk(const Indexed& index, const std::vector<std::vector<size_t>>& children, std::vector<size_t>& path,
          bool complete, ChainSorting& sorting)
{
    const size_t here = path.back();
    sorting.ordered.push_back(index.unique[here]);
    for (size_t child : children[here])
    {
        path.push_back(child);
        walk(index, children, path, complete, sorting);
        path.pop_back();
    }
    if (children[here].empty() && complete)
    {
        std::vector<X509*> chain;
        for (size_t at : path)
            chain.push_back(index.unique[at]);
        sorting.chains.push_back(std::move(chain));
    }
}

} // namespace

ChainSorting ChainVerifier::sortIntoChains(const std::vector<X509*>& certificates)
{
    const ErrorScope errors; // the key identifier getters decode extensions
    const Indexed index(certificates);
    ChainSorting sorting;
    const auto roots = size_t(std::count(index.root.begin(), index.root.end(), true));
    const std::vector<std::optional<size_t>> parents = index.parents();
    if (roots > 1)
        sorting.problem = QStringLiteral("%1 self-signed roots among the certificates").arg(roots);
    else if (!endsAtTops(parents))
        sorting.problem = QStringLiteral("no self-signed root among the certificates");
    if (!sorting.problem.isEmpty())
    {
        sorting.chains.push_back(index.unique);
        sorting.ordered = index.unique;
        return sorting;
    }
    std::vector<std::vector<size_t>> children(index.unique.size());
    for (size_t i = 0; i < index.unique.size(); ++i)
        if (parents[i])
            children[*parents[i]].push_back(i);
    // The root's tree first, then each branch whose issuer is missing.
    for (const bool roots : {true, false})
        for (size_t i = 0; i < index.unique.size(); ++i)
        {
            if (parents[i] || index.root[i] != roots)
                continue;
            if (!roots)
                sorting.orphans.push_back(index.unique[i]);
            std::vector<size_t> path{i};
            walk(index, children, path, roots, sorting);
        }
    return sorting;
}

namespace
{

// Each finding once: a root above many leaves is judged in each of their chains.
class UniqueFindings
{
public:
    explicit UniqueFindings(std::vector<ChainFinding>& out) : mOut(out) {}
    void add(ChainFinding finding)
    {
        const QString key = QLatin1Char(finding.isError() ? 'E' : 'W') + finding.line();
        if (mSeen.contains(key))
            return;
        mSeen.insert(key);
        mOut.push_back(std::move(finding));
    }

private:
    std::vector<ChainFinding>& mOut;
    QSet<QString> mSeen;
};

ChainFinding finding(const char* rule, const X509* about, const QString& text)
{
    ChainFinding out{ChainFinding::Severity::Error, QLatin1String(rule),
                     about ? ChainVerifier::describe(about) : QStringLiteral("chain"), text};
    out.ruleId = QLatin1String(defaultRuleId(out.rule));
    out.about = about;
    return out;
}

QByteArray integerDer(const ASN1_INTEGER* value)
{
    unsigned char* der = nullptr;
    const int length = value ? i2d_ASN1_INTEGER(value, &der) : -1;
    if (length <= 0)
        return QByteArray();
    const QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

// Signatures and key deliveries name a certificate by its issuer's name and its serial number,
// so two certificates with one pair cannot be told apart.
void ruleIssuerAndSerial(const std::vector<X509*>& certificates, UniqueFindings& findings)
{
    QHash<QByteArray, X509*> seen;
    for (X509* certificate : certificates)
    {
        const QByteArray issuer = nameDer(X509_get_issuer_name(certificate));
        const QByteArray key = QByteArray::number(issuer.size()) + ':' + issuer +
                               integerDer(X509_get0_serialNumber(certificate));
        const auto earlier = seen.constFind(key);
        if (earlier == seen.constEnd())
        {
            seen.insert(key, certificate);
            continue;
        }
        findings.add(finding(
            "issuer and serial", certificate,
            QStringLiteral("has the issuer name and serial number of %1 (thumbprint %2); its own "
                           "thumbprint is %3")
                .arg(ChainVerifier::describe(*earlier), QString::fromLatin1(certificateThumbprint(*earlier)),
                     QString::fromLatin1(certificateThumbprint(certificate)))));
    }
}

} // namespace

ChainReport ChainVerifier::verifyCertificates(const std::vector<X509*>& certificates, const Options& options)
{
    const ErrorScope errors;
    initOpenSsl();
    ChainSorting sorting = sortIntoChains(certificates);
    // The trusted root completes chains that come without their root; where they come with one,
    // the root they bring is what is judged against it.
    if (options.trustedRoot && sorting.problem.isEmpty() && sorting.chains.empty() &&
        !sorting.orphans.empty())
    {
        std::vector<X509*> completed = certificates;
        completed.push_back(options.trustedRoot);
        sorting = sortIntoChains(completed);
    }
    ChainReport report;
    report.certificates = sorting.ordered.size();
    for (X509* certificate : sorting.ordered)
        report.identities.push_back(identify(certificate));
    UniqueFindings findings(report.findings);
    if (!sorting.problem.isEmpty())
        findings.add(
            finding("chain order", nullptr, sorting.problem + QStringLiteral("; judged in the order given")));
    for (X509* orphan : sorting.orphans)
        findings.add(
            finding("missing issuer", orphan,
                    QStringLiteral("issued by \"%1\", which is not among the certificates given; it and "
                                   "what it issued are not judged")
                        .arg(nameLine(X509_get_issuer_name(orphan)))));
    ruleIssuerAndSerial(sorting.ordered, findings);

    ChainJudge judge(options);
    for (const std::vector<X509*>& chain : sorting.chains)
        for (ChainFinding& each : judge.judge(chain, endsInLeaf(chain)))
            findings.add(std::move(each));

    if (!sorting.problem.isEmpty() || sorting.chains.empty())
        return report;
    // Sorted without a problem, every chain starts at the one root.
    X509* root = sorting.chains.front().front();
    const QString anchor = options.trustedRoot
                               ? QString::fromLatin1(certificateThumbprint(options.trustedRoot))
                               : options.trustedThumbprint.trimmed();
    const QString rootThumbprint = QString::fromLatin1(certificateThumbprint(root));
    if (anchor.isEmpty() || anchor == rootThumbprint)
        report.trustedRoot = root;
    else
        findings.add(
            finding("trust anchor", root,
                    QStringLiteral("the chains end at this root (thumbprint %1), not at the trusted root "
                                   "(thumbprint %2)")
                        .arg(rootThumbprint, anchor)));
    return report;
}

bool ChainVerifier::endsInLeaf(const std::vector<X509*>& rootFirst)
{
    if (rootFirst.empty() || !rootFirst.back())
        return false;
    const ErrorScope errors;
    X509* last = rootFirst.back();
    BasicConstraintsPtr constraints(
        static_cast<BASIC_CONSTRAINTS*>(X509_get_ext_d2i(last, NID_basic_constraints, nullptr, nullptr)));
    if (!constraints || !constraints->ca)
        return rootFirst.size() > 1 || !sameName(X509_get_issuer_name(last), X509_get_subject_name(last));
    // An authority's CN has no role before its first "."; a leaf's has one.
    const QString cn = nameText(X509_get_subject_name(last), NID_commonName);
    return rootFirst.size() > 1 && cn.indexOf(QLatin1Char('.')) > 0;
}
