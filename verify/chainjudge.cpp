#include "chainjudge.h"

#include "findings.h"
#include "osslproviders.h"
#include "verifyutil.h"

#include <openssl/bn.h>

using namespace chainverify;

ChainJudge::ChainJudge(const ChainVerifyOptions& options) : mOptions(options)
{
    if (!mOptions.digest)
        mOptions.digest = options.profile == ChainVerifyOptions::Profile::Interop
                              ? ChainVerifyOptions::Digest::Either
                              : ChainVerifyOptions::Digest::Sha256;
}

X509* ChainJudge::copyOf(X509* original)
{
    auto found = mCopies.find(original);
    if (found == mCopies.end())
    {
        // The rules judge the encoding, as a file would hold it: a certificate object that was
        // changed after OpenSSL cached its extensions (while being built, say) can disagree
        // with its own DER, and path validation trusts the cache.
        found = mCopies.emplace(original, X509Ptr(X509_dup(original))).first;
        if (found->second)
            mNames.insert(original, ChainVerifier::describe(found->second.get()));
    }
    return found->second.get();
}

std::vector<ChainFinding> ChainJudge::judge(const std::vector<X509*>& chain, bool lastIsLeaf)
{
    std::vector<ChainFinding> out;
    Findings findings(out);
    const QString whole = QStringLiteral("chain");
    if (chain.empty())
    {
        findings.add(QStringLiteral("chain"), whole, nullptr, QStringLiteral("no certificates"));
        return out;
    }
    for (size_t i = 0; i < chain.size(); ++i)
        if (!chain[i])
        {
            findings.add(QStringLiteral("chain"), whole, nullptr,
                         QStringLiteral("certificate %1 is missing").arg(i));
            return out;
        }
    if (chain.size() == 1 && lastIsLeaf)
        findings.add(QStringLiteral("chain"), whole, nullptr,
                     QStringLiteral("a leaf alone has no authority above it"));

    std::vector<Link> links;
    for (size_t i = 0; i < chain.size(); ++i)
    {
        Link link;
        link.certificate = copyOf(chain[i]);
        if (!link.certificate)
        {
            findings.add(QStringLiteral("chain"), ChainVerifier::describe(chain[i]), chain[i],
                         QStringLiteral("cannot be encoded and decoded again"));
            return out;
        }
        link.original = chain[i];
        link.root = i == 0;
        link.issuer = link.root ? link.certificate : links.back().certificate;
        link.authority = !(lastIsLeaf && i + 1 == chain.size());
        link.who = mNames.value(chain[i]);
        links.push_back(link);
    }

    // Either of the two digests will do, but then the whole chain's: each certificate is judged
    // by the root's, so that the odd one out is named.
    ChainVerifyOptions judged = mOptions;
    if (judged.digest == ChainVerifyOptions::Digest::Either)
    {
        const int rootNid = X509_get_signature_nid(links.front().certificate);
        if (rootNid == NID_sha256WithRSAEncryption)
            judged.digest = ChainVerifyOptions::Digest::Sha256;
        else if (rootNid == NID_sha1WithRSAEncryption)
            judged.digest = ChainVerifyOptions::Digest::Sha1;
    }
    for (size_t i = 0; i < links.size(); ++i)
    {
        const Link& link = links[i];
        const Place place{link.original, link.root ? link.original : chain[i - 1], link.authority,
                          int(*judged.digest)};
        auto known = mPlaces.find(place);
        if (known == mPlaces.end())
        {
            std::vector<ChainFinding> own;
            Findings ownFindings(own);
            checkLink(link, judged, ownFindings);
            known = mPlaces.emplace(place, std::move(own)).first;
        }
        out.insert(out.end(), known->second.begin(), known->second.end());
    }
    checkChain(links, judged, findings);
    return out;
}

void ChainVerifier::initOpenSsl()
{
    EnsureProvidersLoaded();
}

std::vector<ChainFinding> ChainVerifier::verify(const std::vector<X509*>& chain, const Options& options)
{
    const ErrorScope errors;
    initOpenSsl();
    ChainJudge judge(options);
    return judge.judge(chain, options.lastIsLeaf);
}

QString ChainVerifier::describe(const X509* certificate)
{
    if (!certificate)
        return QStringLiteral("(no certificate)");
    const ErrorScope errors;
    return QStringLiteral("CN \"%1\" serial %2")
        .arg(nameText(X509_get_subject_name(certificate), NID_commonName),
             integerText(X509_get0_serialNumber(certificate)));
}

CertificateIdentity ChainVerifier::identify(const X509* certificate)
{
    CertificateIdentity identity;
    identity.certificate = certificate;
    if (!certificate)
        return identity;
    const ErrorScope errors;
    identity.subject = nameRfc2253(X509_get_subject_name(certificate));
    identity.issuer = nameRfc2253(X509_get_issuer_name(certificate));
    const BigNumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    if (serial)
    {
        identity.serialDecimal = bignumText(serial.get());
        const OpenSslStringPtr hexText(BN_bn2hex(serial.get()));
        identity.serialHex = hexText ? QString::fromLatin1(hexText.get()) : QString();
    }
    identity.thumbprint = QString::fromLatin1(certificateThumbprint(certificate));
    return identity;
}
