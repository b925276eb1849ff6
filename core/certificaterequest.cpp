#include "certificaterequest.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <QFile>

namespace CertificateRequests
{

namespace
{

// Leaves the error queue as the caller found it empty, whichever way a reading ends.
struct ErrorsCleared
{
    ~ErrorsCleared() { ERR_clear_error(); }
};

// An empty text adds nothing: the authority fills what the request leaves out.
bool addEntry(X509_NAME* name, int nid, const QString& text)
{
    if (text.isEmpty())
        return true;
    const QByteArray bytes = text.toLatin1();
    return X509_NAME_add_entry_by_NID(name, nid, V_ASN1_PRINTABLESTRING,
                                      reinterpret_cast<const unsigned char*>(bytes.constData()),
                                      int(bytes.size()), -1, 0) == 1;
}

// The first entry of that kind as UTF-8 text; `readable` false when it cannot be converted.
QString entryText(X509_NAME* name, int nid, bool& readable)
{
    readable = true;
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return QString();
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0)
    {
        readable = false;
        return QString();
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
    OPENSSL_free(utf8);
    return text;
}

X509ReqPtr decode(const QByteArray& content)
{
    if (content.trimmed().startsWith("-----BEGIN"))
    {
        BioPtr bio(BIO_new_mem_buf(content.constData(), int(content.size())));
        return X509ReqPtr(bio ? PEM_read_bio_X509_REQ(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(content.constData());
    const unsigned char* cursor = bytes;
    X509ReqPtr request(d2i_X509_REQ(nullptr, &cursor, long(content.size())));
    // One request and nothing after it: bytes beyond it were never signed.
    if (request && cursor != bytes + content.size())
        return nullptr;
    return request;
}

bool strongDigest(const X509_REQ* request)
{
    // The key's kind is judged on its own, after this.
    int digest = NID_undef;
    int key = NID_undef;
    if (OBJ_find_sigid_algs(X509_REQ_get_signature_nid(request), &digest, &key) != 1)
        return false;
    return digest == NID_sha256 || digest == NID_sha384 || digest == NID_sha512;
}

RequestFinding checkKey(EVP_PKEY* key)
{
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
        return RequestFinding::NotRsa;
    if (EVP_PKEY_get_bits(key) != 2048)
        return RequestFinding::NotRsa2048;
    BIGNUM* rawExponent = nullptr;
    if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &rawExponent) != 1)
        return RequestFinding::NotExponent65537;
    const BigNumPtr exponent(rawExponent);
    if (!BN_is_word(exponent.get(), RSA_F4))
        return RequestFinding::NotExponent65537;
    const EvpPkeyCtxPtr context(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    if (!context || EVP_PKEY_public_check(context.get()) != 1)
        return RequestFinding::KeyCheckFails;
    return RequestFinding::Valid;
}

QStringList extensionNames(const X509_REQ* request)
{
    QStringList names;
    const X509ExtensionStackPtr extensions(X509_REQ_get_extensions(const_cast<X509_REQ*>(request)));
    for (int i = 0; i < sk_X509_EXTENSION_num(extensions.get()); ++i)
    {
        const ASN1_OBJECT* object = X509_EXTENSION_get_object(sk_X509_EXTENSION_value(extensions.get(), i));
        const int nid = OBJ_obj2nid(object);
        if (nid != NID_undef)
        {
            names << QString::fromLatin1(OBJ_nid2sn(nid));
            continue;
        }
        char text[80] = {};
        OBJ_obj2txt(text, sizeof text, object, 1);
        names << QString::fromLatin1(text);
    }
    return names;
}

} // namespace

QString dnQualifierOf(EVP_PKEY* key)
{
    if (key == nullptr || EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
        return QString();
    unsigned char* der = nullptr;
    const int length = i2d_PublicKey(key, &der);
    if (length <= 0)
        return QString();
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(der, size_t(length), digest);
    OPENSSL_free(der);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), SHA_DIGEST_LENGTH).toBase64());
}

X509ReqPtr makeRequest(EVP_PKEY* key, const RequestNames& names)
{
    ErrorsCleared errors;
    const QString dnQualifier = dnQualifierOf(key);
    X509ReqPtr request(X509_REQ_new());
    if (!request || dnQualifier.isEmpty() || X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) != 1)
        return nullptr;
    X509_NAME* subject = X509_REQ_get_subject_name(request.get());
    const bool named = addEntry(subject, NID_organizationName, names.organization) &&
                       addEntry(subject, NID_organizationalUnitName, names.organizationalUnit) &&
                       addEntry(subject, NID_commonName, names.commonName) &&
                       addEntry(subject, NID_dnQualifier, dnQualifier);
    if (!named || X509_REQ_set_pubkey(request.get(), key) != 1 ||
        X509_REQ_sign(request.get(), key, EVP_sha256()) <= 0)
        return nullptr;
    return request;
}

ReadRequest parseRequest(const QByteArray& content)
{
    ErrorsCleared errors;
    ReadRequest read;
    if (content.size() > kLargestRequest)
    {
        read.finding = RequestFinding::TooLarge;
        return read;
    }
    read.finding = RequestFinding::NotARequest;
    read.request = decode(content);
    if (!read.request)
        return read;
    X509_REQ* request = read.request.get();
    read.finding = RequestFinding::NotVersion1;
    if (X509_REQ_get_version(request) != X509_REQ_VERSION_1)
        return read;
    read.finding = RequestFinding::SignatureFails;
    read.key.reset(X509_REQ_get_pubkey(request));
    if (!read.key || X509_REQ_verify(request, read.key.get()) != 1)
        return read;
    read.finding = RequestFinding::WeakDigest;
    if (!strongDigest(request))
        return read;
    read.finding = checkKey(read.key.get());
    if (read.finding != RequestFinding::Valid)
        return read;

    read.dnQualifier = dnQualifierOf(read.key.get());
    X509_NAME* subject = X509_REQ_get_subject_name(request);
    bool readable = true;
    const QString proposed = entryText(subject, NID_dnQualifier, readable);
    if (!readable ||
        (X509_NAME_get_index_by_NID(subject, NID_dnQualifier, -1) >= 0 && proposed != read.dnQualifier))
    {
        read.finding = RequestFinding::DnQualifierDiffers;
        return read;
    }
    read.commonName = entryText(subject, NID_commonName, readable);
    if (!readable)
    {
        read.finding = RequestFinding::CommonNameUnreadable;
        return read;
    }
    read.extensions = extensionNames(request);
    read.finding = RequestFinding::Valid;
    return read;
}

ReadRequest readRequestFile(const QString& path)
{
    ReadRequest read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return read;
    // One byte more than allowed tells a file too large from one exactly that large.
    const QByteArray content = file.read(kLargestRequest + 1);
    if (file.error() != QFileDevice::NoError)
        return read;
    return parseRequest(content);
}

} // namespace CertificateRequests
