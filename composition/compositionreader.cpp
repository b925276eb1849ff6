#include "compositionreader.h"

#include "signaturecheck.h"
#include "signernames.h"
#include "xmlnodes.h"

#include <QFile>
#include <QRegularExpression>

#include <openssl/err.h>
#include <xmlsec/strings.h>

#include <algorithm>

using namespace xmlnodes;

namespace
{

using Failure = SignedComposition::Failure;
using Type = SignedComposition::Type;
using Dialect = SignedComposition::Dialect;

struct DocumentKind
{
    const char* ns;
    const char* root;
    Type type;
    Dialect dialect;
};
constexpr DocumentKind kKinds[] = {
    {"http://www.smpte-ra.org/schemas/429-7/2006/CPL", "CompositionPlaylist", Type::CompositionPlaylist,
     Dialect::Smpte},
    {"http://www.smpte-ra.org/schemas/429-8/2007/PKL", "PackingList", Type::PackingList, Dialect::Smpte},
    {"http://www.digicine.com/PROTO-ASDCP-CPL-20040511#", "CompositionPlaylist", Type::CompositionPlaylist,
     Dialect::Interop},
    {"http://www.digicine.com/PROTO-ASDCP-PKL-20040311#", "PackingList", Type::PackingList, Dialect::Interop},
};

// A serial longer than this is refused: the profile allows 20 octets at most, and writing a
// huge one in decimal costs time that grows with the square of its length.
constexpr int kMaxSerialOctets = 64;

const char* const kDsig = chars(xmlSecDSigNs);

// Canonicalizations a signature of this field may use, in SignedInfo and among a reference's
// transforms after the enveloped one.
bool isCanonicalization(const QString& algorithm)
{
    for (const xmlChar* href :
         {xmlSecHrefC14N, xmlSecHrefC14NWithComments, xmlSecHrefExcC14N, xmlSecHrefExcC14NWithComments})
        if (algorithm == QLatin1String(chars(href)))
            return true;
    return false;
}

SignedComposition::SignatureMethod signatureMethodOf(const QString& algorithm)
{
    if (algorithm == QLatin1String(chars(xmlSecHrefRsaSha256)))
        return SignedComposition::SignatureMethod::RsaSha256;
    if (algorithm == QLatin1String(chars(xmlSecHrefRsaSha1)))
        return SignedComposition::SignatureMethod::RsaSha1;
    return SignedComposition::SignatureMethod::Unknown;
}

SignedComposition::DigestMethod digestMethodOf(const QString& algorithm)
{
    if (algorithm == QLatin1String(chars(xmlSecHrefSha256)))
        return SignedComposition::DigestMethod::Sha256;
    if (algorithm == QLatin1String(chars(xmlSecHrefSha1)))
        return SignedComposition::DigestMethod::Sha1;
    return SignedComposition::DigestMethod::Unknown;
}

// An xs:dateTime as these documents write it; a time without offset is taken as UTC.
QDateTime issueDateOf(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(\\.\\d+)?(Z|[+-]\\d{2}:\\d{2})?$"));
    if (!form.match(text).hasMatch())
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid() && time.timeSpec() == Qt::LocalTime)
        time = QDateTime(time.date(), time.time(), Qt::UTC);
    return time.toUTC();
}

// One document's reading; each step returns false once it has set the failure.
class Reading
{
public:
    explicit Reading(SignedComposition& result) : result(result) {}

    void run(const QByteArray& content)
    {
        Parsed parsed = xmlnodes::parse(content);
        if (parsed.declaresType)
            return (void)fail(Failure::UnsafeXml, QStringLiteral("<!DOCTYPE"));
        if (!parsed.document)
            return (void)fail(Failure::NotXml, parsed.problem);
        xmlNode* root = xmlDocGetRootElement(parsed.document.get());
        xmlNode* signature = nullptr;
        if (kind(root) && header(root) && signer(root) && signatureOf(root, &signature) &&
            signedInfo(signature) && keyInfo(signature) && signingCertificate())
            check(signature);
    }

private:
    bool fail(Failure failure, const QString& detail)
    {
        result.failure = failure;
        result.detail = detail;
        return false;
    }

    bool kind(xmlNode* root)
    {
        for (const DocumentKind& known : kKinds)
            if (is(root, known.ns, known.root))
            {
                result.type = known.type;
                result.dialect = known.dialect;
                ns = known.ns;
                return true;
            }
        return fail(Failure::NotComposition, qualifiedName(root));
    }

    // The one child of that name, or the failure.
    bool single(xmlNode* parent, const char* childNs, const char* name, xmlNode** found)
    {
        const std::vector<xmlNode*> matches = children(parent, childNs, name);
        if (matches.size() != 1)
            return fail(Failure::BadField, QStringLiteral("%1 %2 elements").arg(matches.size()).arg(name));
        *found = matches.front();
        return true;
    }

    bool header(xmlNode* root)
    {
        xmlNode* id = nullptr;
        xmlNode* issueDate = nullptr;
        if (!single(root, ns, "Id", &id) || !single(root, ns, "IssueDate", &issueDate))
            return false;
        result.id = text(id);
        if (result.id.isEmpty())
            return fail(Failure::BadField, QStringLiteral("Id is empty"));
        result.issueDateText = text(issueDate);
        result.issueDate = issueDateOf(result.issueDateText);
        if (!result.issueDate.isValid())
            return fail(Failure::BadField, QStringLiteral("IssueDate ") + result.issueDateText);
        return true;
    }

    // An empty X509IssuerSerial names nothing and is no fault: xmlsec1 leaves the template's
    // one empty when it signs.
    bool issuerSerial(xmlNode* node, std::optional<IssuerSerial>* out)
    {
        if (children(node, nullptr, nullptr).empty())
            return true;
        xmlNode* name = nullptr;
        xmlNode* serial = nullptr;
        if (!single(node, kDsig, chars(xmlSecNodeX509IssuerName), &name) ||
            !single(node, kDsig, chars(xmlSecNodeX509SerialNumber), &serial))
            return false;
        IssuerSerial read{text(name), text(serial)};
        const bool decimal =
            !read.serial.isEmpty() &&
            std::all_of(read.serial.begin(), read.serial.end(),
                        [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        if (read.issuerName.isEmpty() || !decimal)
            return fail(Failure::BadField, QStringLiteral("X509IssuerSerial ") + read.issuerName +
                                               QStringLiteral(" / ") + read.serial);
        *out = read;
        return true;
    }

    // The first X509IssuerSerial of the first X509Data, as the field's tools write the Signer;
    // a Signer without one is a missing Signer.
    bool signer(xmlNode* root)
    {
        const std::vector<xmlNode*> signers = children(root, ns, "Signer");
        if (signers.size() > 1)
            return fail(Failure::BadField, QStringLiteral("%1 Signer elements").arg(signers.size()));
        if (signers.empty())
            return true;
        for (xmlNode* data : children(signers.front(), kDsig, chars(xmlSecNodeX509Data)))
            for (xmlNode* serial : children(data, kDsig, chars(xmlSecNodeX509IssuerSerial)))
                return issuerSerial(serial, &result.signer);
        return true;
    }

    bool signatureOf(xmlNode* root, xmlNode** signature)
    {
        const int everywhere = count(root, kDsig, chars(xmlSecNodeSignature));
        if (everywhere == 0)
            return fail(Failure::NoSignature, QString());
        const std::vector<xmlNode*> underRoot = children(root, kDsig, chars(xmlSecNodeSignature));
        if (everywhere != 1 || underRoot.size() != 1)
            return fail(Failure::NotEnveloped, QStringLiteral("%1 Signature elements, %2 under the root")
                                                   .arg(everywhere)
                                                   .arg(underRoot.size()));
        *signature = underRoot.front();
        return true;
    }

    QString algorithmOf(xmlNode* node)
    {
        bool present = false;
        return attribute(node, chars(xmlSecAttrAlgorithm), &present);
    }

    // One Reference, to the whole document (URI ""), through the enveloped-signature transform
    // and at most a canonicalization; nothing else in the Signature but KeyInfo.
    bool signedInfo(xmlNode* signature)
    {
        for (xmlNode* child : children(signature, nullptr, nullptr))
            if (!is(child, kDsig, chars(xmlSecNodeSignedInfo)) &&
                !is(child, kDsig, chars(xmlSecNodeSignatureValue)) &&
                !is(child, kDsig, chars(xmlSecNodeKeyInfo)))
                return fail(Failure::NotEnveloped, qualifiedName(child));
        xmlNode* info = nullptr;
        xmlNode* canonicalization = nullptr;
        xmlNode* method = nullptr;
        xmlNode* value = nullptr;
        if (!single(signature, kDsig, chars(xmlSecNodeSignedInfo), &info) ||
            !single(signature, kDsig, chars(xmlSecNodeSignatureValue), &value) ||
            !single(info, kDsig, chars(xmlSecNodeCanonicalizationMethod), &canonicalization) ||
            !single(info, kDsig, chars(xmlSecNodeSignatureMethod), &method))
            return fail(Failure::NotEnveloped, result.detail);
        if (!isCanonicalization(algorithmOf(canonicalization)))
            return fail(Failure::UnsupportedAlgorithm, algorithmOf(canonicalization));
        result.signatureMethod = signatureMethodOf(algorithmOf(method));
        if (result.signatureMethod == SignedComposition::SignatureMethod::Unknown)
            return fail(Failure::UnsupportedAlgorithm, algorithmOf(method));

        const std::vector<xmlNode*> references = children(info, kDsig, chars(xmlSecNodeReference));
        if (references.size() != 1)
            return fail(Failure::NotEnveloped, QStringLiteral("%1 references").arg(references.size()));
        xmlNode* reference = references.front();
        bool hasUri = false;
        const QString uri = attribute(reference, chars(xmlSecAttrURI), &hasUri);
        if (!hasUri || !uri.isEmpty())
            return fail(Failure::NotEnveloped,
                        hasUri ? QStringLiteral("URI=\"%1\"").arg(uri) : QStringLiteral("no URI"));
        int enveloped = 0;
        for (xmlNode* transforms : children(reference, kDsig, chars(xmlSecNodeTransforms)))
            for (xmlNode* transform : children(transforms, nullptr, nullptr))
            {
                const QString algorithm = algorithmOf(transform);
                if (!is(transform, kDsig, chars(xmlSecNodeTransform)))
                    return fail(Failure::NotEnveloped, qualifiedName(transform));
                if (algorithm == QLatin1String(chars(xmlSecHrefEnveloped)))
                    ++enveloped;
                else if (!isCanonicalization(algorithm))
                    return fail(Failure::NotEnveloped, algorithm);
            }
        if (enveloped != 1)
            return fail(Failure::NotEnveloped,
                        QStringLiteral("%1 enveloped-signature transforms").arg(enveloped));
        xmlNode* digest = nullptr;
        if (!single(reference, kDsig, chars(xmlSecNodeDigestMethod), &digest))
            return fail(Failure::NotEnveloped, result.detail);
        result.digestMethod = digestMethodOf(algorithmOf(digest));
        if (result.digestMethod == SignedComposition::DigestMethod::Unknown)
            return fail(Failure::UnsupportedAlgorithm, algorithmOf(digest));
        return true;
    }

    bool certificate(const QString& base64, int data, const std::optional<IssuerSerial>& serial)
    {
        QByteArray compact = base64.toLatin1();
        compact.replace(' ', "").replace('\t', "").replace('\r', "").replace('\n', "");
        const QByteArray::FromBase64Result der =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        const QString where = QStringLiteral("X509Data %1").arg(data + 1);
        if (!der || der.decoded.isEmpty())
            return fail(Failure::BadCertificate, where + QStringLiteral(": not Base64"));
        const unsigned char* cursor = reinterpret_cast<const unsigned char*>(der.decoded.constData());
        const unsigned char* end = cursor + der.decoded.size();
        X509Ptr read(d2i_X509(nullptr, &cursor, long(der.decoded.size())));
        if (!read || cursor != end)
            return fail(Failure::BadCertificate, where + QStringLiteral(": not one DER certificate"));
        if (ASN1_STRING_length(X509_get0_serialNumber(read.get())) > kMaxSerialOctets)
            return fail(Failure::BadCertificate,
                        where + QStringLiteral(": serial over %1 octets").arg(kMaxSerialOctets));
        result.certificates.push_back({std::move(read), data, serial});
        return true;
    }

    bool keyInfo(xmlNode* signature)
    {
        int data = 0;
        for (xmlNode* keys : children(signature, kDsig, chars(xmlSecNodeKeyInfo)))
            for (xmlNode* x509 : children(keys, kDsig, chars(xmlSecNodeX509Data)))
            {
                std::optional<IssuerSerial> serial;
                const std::vector<xmlNode*> serials =
                    children(x509, kDsig, chars(xmlSecNodeX509IssuerSerial));
                if (!serials.empty() && !issuerSerial(serials.front(), &serial))
                    return false;
                for (xmlNode* node : children(x509, kDsig, chars(xmlSecNodeX509Certificate)))
                    if (!certificate(text(node), data, serial))
                        return false;
                ++data;
            }
        if (result.certificates.empty())
            return fail(Failure::BadCertificate, QStringLiteral("no X509Certificate in KeyInfo"));
        return true;
    }

    // The leaf: a certificate whose subject issued none of the others (a certificate given twice
    // counts once). Several leaves: the one the Signer names.
    bool signingCertificate()
    {
        std::vector<int> leaves;
        const auto& all = result.certificates;
        for (size_t i = 0; i < all.size(); ++i)
        {
            X509* candidate = all[i].certificate.get();
            bool issuer = false;
            bool repeated = false;
            for (size_t j = 0; j < all.size(); ++j)
            {
                X509* other = all[j].certificate.get();
                if (X509_cmp(candidate, other) == 0)
                    repeated = repeated || j < i;
                else if (X509_NAME_cmp(X509_get_subject_name(candidate), X509_get_issuer_name(other)) == 0)
                    issuer = true;
            }
            if (!issuer && !repeated)
                leaves.push_back(int(i));
        }
        if (leaves.size() > 1 && result.signer)
            leaves.erase(std::remove_if(leaves.begin(), leaves.end(),
                                        [&](int i) {
                                            return !namesCertificate(*result.signer,
                                                                     all[size_t(i)].certificate.get());
                                        }),
                         leaves.end());
        if (leaves.size() != 1)
            return fail(Failure::NoSigningCertificate, QStringLiteral("%1 candidates").arg(leaves.size()));
        result.signingIndex = leaves.front();
        return true;
    }

    void check(xmlNode* signature)
    {
        EVP_PKEY* key = X509_get0_pubkey(result.signingCertificate());
        if (!key)
            return (void)fail(Failure::BadCertificate,
                              QStringLiteral("the signing certificate's key is unreadable"));
        if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
            return (void)fail(Failure::UnsupportedAlgorithm,
                              QString::fromLatin1(OBJ_nid2sn(EVP_PKEY_get_base_id(key))));
        const SignatureCheck::Outcome outcome = SignatureCheck::verify(signature, key);
        if (outcome.failure != Failure::None)
            fail(outcome.failure, outcome.detail);
    }

    SignedComposition& result;
    const char* ns = nullptr; // the document's own namespace
};

} // namespace

SignedComposition CompositionReader::read(const QString& path)
{
    SignedComposition result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        result.failure = Failure::Unreadable;
        result.detail = file.errorString();
        return result;
    }
    // Refused by its size where the size is known; read one byte past the bound where it is not
    // (a pipe), so that nothing larger is ever held.
    if (file.size() > kMaxFileBytes)
    {
        result.failure = Failure::TooLarge;
        result.detail = QString::number(file.size());
        return result;
    }
    const QByteArray content = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
    {
        result.failure = Failure::Unreadable;
        result.detail = file.errorString();
        return result;
    }
    return parse(content);
}

SignedComposition CompositionReader::parse(const QByteArray& content)
{
    SignedComposition result;
    if (content.size() > kMaxFileBytes)
    {
        result.failure = Failure::TooLarge;
        result.detail = QString::number(content.size());
        return result;
    }
    // Errors OpenSSL raises while certificates are decoded stay here, and the caller's stay too.
    ERR_set_mark();
    Reading(result).run(content);
    ERR_pop_to_mark();
    return result;
}
