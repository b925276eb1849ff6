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

std::vector<X509*> ChainVerifier::orderRootFirst(const std::vector<X509*>& certificates, QString* problem)
{
    const ErrorScope errors; // the key identifier getters decode extensions
    std::vector<X509*> unique;
    for (X509* certificate : certificates)
        if (certificate && std::none_of(unique.begin(), unique.end(),
                                        [&](X509* seen) { return X509_cmp(seen, certificate) == 0; }))
            unique.push_back(certificate);

    QString why;
    std::vector<X509*> roots;
    for (X509* certificate : unique)
        if (looksLikeRoot(certificate))
            roots.push_back(certificate);
    if (roots.empty())
        why = QStringLiteral("no self-signed root among the certificates");
    else if (roots.size() > 1)
        why = QStringLiteral("%1 self-signed roots among the certificates").arg(roots.size());

    std::vector<X509*> ordered;
    if (why.isEmpty())
    {
        ordered.push_back(roots.front());
        while (ordered.size() < unique.size())
        {
            std::vector<X509*> children;
            for (X509* certificate : unique)
                if (std::find(ordered.begin(), ordered.end(), certificate) == ordered.end() &&
                    issuedBy(certificate, ordered.back()))
                    children.push_back(certificate);
            if (children.size() != 1)
            {
                why = children.empty() ? QStringLiteral("nothing continues the chain after %1")
                                             .arg(describe(ordered.back()))
                                       : QStringLiteral("%1 issued more than one of the certificates")
                                             .arg(describe(ordered.back()));
                break;
            }
            ordered.push_back(children.front());
        }
    }
    if (problem)
        *problem = why;
    return why.isEmpty() ? ordered : unique;
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

std::vector<X509Ptr> ChainVerifier::loadPemCertificates(const QString& path)
{
    const ErrorScope errors; // the end of the file reads as "no start line"
    initOpenSsl();
    std::vector<X509Ptr> certificates;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return certificates;
    const QByteArray text = file.readAll();
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
