// Where chains come from: PEM and PKCS#12 files, and putting what they hold in chain order.

#include "chainverifier.h"
#include "verifyutil.h"

#include <QFile>

#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509v3.h>

#include <algorithm>

using namespace chainverify;

namespace
{

bool selfIssued(X509* certificate)
{
    return sameName(X509_get_issuer_name(certificate), X509_get_subject_name(certificate));
}

// A child is linked to its parent by name, or by key identifier when the name is what is
// broken, so that a faulty certificate still lands where it belongs and is judged there.
bool issuedBy(X509* child, X509* parent)
{
    if (child == parent)
        return false;
    if (sameName(X509_get_issuer_name(child), X509_get_subject_name(parent)))
        return true;
    const ASN1_OCTET_STRING* authorityKey = X509_get0_authority_key_id(child);
    const ASN1_OCTET_STRING* parentKey = X509_get0_subject_key_id(parent);
    return authorityKey && parentKey && ASN1_OCTET_STRING_cmp(authorityKey, parentKey) == 0;
}

bool looksLikeRoot(X509* certificate)
{
    if (selfIssued(certificate))
        return true;
    const ASN1_OCTET_STRING* authorityKey = X509_get0_authority_key_id(certificate);
    const ASN1_OCTET_STRING* ownKey = X509_get0_subject_key_id(certificate);
    return authorityKey && ownKey && ASN1_OCTET_STRING_cmp(authorityKey, ownKey) == 0;
}

} // namespace

namespace
{

// The parent of each certificate among the others: by name first, so that a key identifier
// shared by two authorities does not decide; null for a root and where none is found.
std::vector<X509*> parentsOf(const std::vector<X509*>& unique)
{
    std::vector<X509*> parents(unique.size(), nullptr);
    for (size_t i = 0; i < unique.size(); ++i)
    {
        X509* child = unique[i];
        if (looksLikeRoot(child))
            continue;
        for (X509* candidate : unique)
            if (candidate != child && sameName(X509_get_issuer_name(child), X509_get_subject_name(candidate)))
            {
                parents[i] = candidate;
                break;
            }
        for (X509* candidate : unique)
            if (!parents[i] && issuedBy(child, candidate))
                parents[i] = candidate;
    }
    return parents;
}

size_t indexOf(const std::vector<X509*>& list, const X509* certificate)
{
    return size_t(std::find(list.begin(), list.end(), certificate) - list.begin());
}

// Whether following the parents from every certificate ends at a top (a root or an orphan).
bool endsAtTops(const std::vector<X509*>& unique, const std::vector<X509*>& parents)
{
    for (size_t i = 0; i < unique.size(); ++i)
    {
        size_t at = i;
        for (size_t steps = 0; parents[at]; ++steps)
        {
            if (steps == unique.size())
                return false;
            at = indexOf(unique, parents[at]);
        }
    }
    return true;
}

// Depth-first below `top`: every certificate into `ordered`, every path that ends in a
// certificate without children into `chains` (only when `complete`).
void walk(const std::vector<X509*>& unique, const std::vector<X509*>& parents, std::vector<X509*>& path,
          bool complete, ChainSorting& sorting)
{
    X509* here = path.back();
    sorting.ordered.push_back(here);
    bool hasChildren = false;
    for (size_t i = 0; i < unique.size(); ++i)
        if (parents[i] == here)
        {
            hasChildren = true;
            path.push_back(unique[i]);
            walk(unique, parents, path, complete, sorting);
            path.pop_back();
        }
    if (!hasChildren && complete)
        sorting.chains.push_back(path);
}

} // namespace

ChainSorting ChainVerifier::sortIntoChains(const std::vector<X509*>& certificates)
{
    const ErrorScope errors; // the key identifier getters decode extensions
    std::vector<X509*> unique;
    for (X509* certificate : certificates)
        if (certificate && std::none_of(unique.begin(), unique.end(),
                                        [&](X509* seen) { return X509_cmp(seen, certificate) == 0; }))
            unique.push_back(certificate);

    ChainSorting sorting;
    const auto roots = size_t(std::count_if(unique.begin(), unique.end(), looksLikeRoot));
    const std::vector<X509*> parents = parentsOf(unique);
    if (roots > 1)
        sorting.problem = QStringLiteral("%1 self-signed roots among the certificates").arg(roots);
    else if (!endsAtTops(unique, parents))
        sorting.problem = QStringLiteral("no self-signed root among the certificates");
    if (!sorting.problem.isEmpty())
    {
        sorting.chains.push_back(unique);
        sorting.ordered = unique;
        return sorting;
    }
    // The root's tree first, then each branch whose issuer is missing.
    for (const bool roots : {true, false})
        for (size_t i = 0; i < unique.size(); ++i)
        {
            if (parents[i] || looksLikeRoot(unique[i]) != roots)
                continue;
            if (!roots)
                sorting.orphans.push_back(unique[i]);
            std::vector<X509*> path{unique[i]};
            walk(unique, parents, path, roots, sorting);
        }
    return sorting;
}

ChainReport ChainVerifier::verifyCertificates(const std::vector<X509*>& certificates, const Options& options)
{
    const ChainSorting sorting = sortIntoChains(certificates);
    ChainReport report;
    report.certificates = sorting.ordered.size();
    auto add = [&report](ChainFinding finding) {
        const bool seen = std::any_of(report.findings.begin(), report.findings.end(), [&](const ChainFinding& other) {
            return other.severity == finding.severity && other.line() == finding.line();
        });
        if (!seen)
            report.findings.push_back(std::move(finding));
    };
    if (!sorting.problem.isEmpty())
        add({ChainFinding::Severity::Error, QStringLiteral("chain order"), QStringLiteral("chain"),
             sorting.problem + QStringLiteral("; judged in the order given")});
    for (X509* orphan : sorting.orphans)
    {
        const ErrorScope errors;
        add({ChainFinding::Severity::Error, QStringLiteral("missing issuer"), describe(orphan),
             QStringLiteral("issued by \"%1\", which is not among the certificates given; it and what it "
                            "issued are not judged")
                 .arg(nameLine(X509_get_issuer_name(orphan)))});
    }
    for (const std::vector<X509*>& chain : sorting.chains)
    {
        Options judged = options;
        judged.lastIsLeaf = endsInLeaf(chain);
        for (ChainFinding& finding : verify(chain, judged))
            add(std::move(finding));
    }
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
        return rootFirst.size() > 1 || !selfIssued(last);
    // An authority's CN has no role before its first "."; a leaf's has one.
    const QString cn = nameText(X509_get_subject_name(last), NID_commonName);
    return rootFirst.size() > 1 && cn.indexOf(QLatin1Char('.')) > 0;
}

namespace
{

std::vector<X509Ptr> pemCertificatesIn(const QByteArray& text)
{
    const ErrorScope errors; // the end of the text reads as "no start line"
    std::vector<X509Ptr> certificates;
    BioPtr bio(BIO_new_mem_buf(text.constData(), int(text.size())));
    while (bio)
    {
        X509Ptr certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
        if (!certificate)
            break;
        certificates.push_back(std::move(certificate));
    }
    return certificates;
}

} // namespace

std::vector<X509Ptr> ChainVerifier::loadPemCertificates(const QString& path)
{
    initOpenSsl();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return pemCertificatesIn(file.readAll());
}

ChainVerifier::CertificateFile ChainVerifier::loadCertificateFile(const QString& path)
{
    const ErrorScope errors; // a container is not a certificate
    initOpenSsl();
    CertificateFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray content = file.readAll();
    if (content.left(64 * 1024).contains("-----BEGIN "))
    {
        result.kind = CertificateFile::Kind::Pem;
        result.certificates = pemCertificatesIn(content);
        return result;
    }
    const auto* start = reinterpret_cast<const unsigned char*>(content.constData());
    const unsigned char* cursor = start;
    X509Ptr certificate(d2i_X509(nullptr, &cursor, long(content.size())));
    // A certificate followed by anything is not a certificate file.
    if (certificate && cursor == start + content.size())
    {
        result.kind = CertificateFile::Kind::Der;
        result.certificates.push_back(std::move(certificate));
        return result;
    }
    result.kind = CertificateFile::Kind::Other;
    return result;
}

ChainVerifier::Pkcs12Contents ChainVerifier::loadPkcs12(const QString& path, const QByteArray& password)
{
    const ErrorScope errors;
    initOpenSsl();
    Pkcs12Contents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        contents.error = QStringLiteral("cannot open %1").arg(path);
        return contents;
    }
    const QByteArray der = file.readAll();
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    Pkcs12Ptr container(d2i_PKCS12(nullptr, &cursor, long(der.size())));
    if (!container)
    {
        contents.error = QStringLiteral("%1 is not a PKCS#12 container").arg(path);
        return contents;
    }
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* chain = nullptr;
    if (!PKCS12_parse(container.get(), password.constData(), &key, &certificate, &chain))
    {
        contents.error = QStringLiteral("PKCS12_parse refuses %1: %2").arg(path, lastOpenSslError());
        return contents;
    }
    contents.key.reset(key);
    contents.certificate.reset(certificate);
    for (int i = 0; i < sk_X509_num(chain); ++i)
        contents.chain.emplace_back(sk_X509_value(chain, i));
    sk_X509_free(chain);
    if (!contents.certificate)
        contents.error = QStringLiteral("%1 holds no certificate matching a key").arg(path);
    return contents;
}
