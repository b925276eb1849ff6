#include "formissuers.h"

#include "chaincheck.h"
#include "osslptr.h"
#include "zidcertificate.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

namespace
{

bool setRawTime(ASN1_TIME* time, const QByteArray& text)
{
    // The string type comes from a well-formed value of the same kind; then the text replaces it.
    const char* kind = text.size() == 13 ? "250101000000Z" : "20250101000000Z";
    return ASN1_TIME_set_string(time, kind) == 1 && ASN1_STRING_set(time, text.constData(), text.size()) == 1;
}

bool addName(X509_NAME* name, const char* field, const char* value)
{
    return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC, reinterpret_cast<const unsigned char*>(value),
                                      -1, -1, 0) == 1;
}

bool addExtension(X509* certificate, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

// One key for every raw issuer of a test run: key generation is the slow part.
EVP_PKEY* rawIssuerKey()
{
    static EvpPkeyPtr key(EVP_RSA_gen(2048));
    return key.get();
}

} // namespace

namespace FormTestSupport
{

bool writeEngineIssuer(const QString& path, const QByteArray& password, int pathLength, const QDateTime& start,
                       const QDateTime& end)
{
    ZIDCertificate issuer;
    if (issuer.SetBasicConstraints(true, pathLength) == 0)
        return false;
    issuer.SetSubjectNames(".Test.Issuer", ".Lab.Issuer", ".Issuer", nullptr);
    issuer.SetSerialNumber(1);
    issuer.SetValidityStart(start.toSecsSinceEpoch());
    issuer.SetValidityEnd(end.toSecsSinceEpoch());
    issuer.SetKeyUsage(ZIDCertificate::KeyCertSign, true);
    return issuer.IssueCertificate(nullptr, nullptr, nullptr) != 0 &&
           issuer.WritePKCS12(path.toStdString().c_str(), password.constData()) != 0;
}

bool writeRawTimeIssuer(const QString& path, const QByteArray& password, const QByteArray& notBefore,
                        const QByteArray& notAfter)
{
    ChainCheck::initOpenSsl();
    EVP_PKEY* key = rawIssuerKey();
    X509Ptr certificate(X509_new());
    if (key == nullptr || !certificate)
        return false;
    X509* x = certificate.get();
    X509_NAME* name = X509_get_subject_name(x);
    bool ok = X509_set_version(x, X509_VERSION_3) == 1 && ASN1_INTEGER_set(X509_get_serialNumber(x), 7) == 1 &&
              addName(name, "O", ".Test.Issuer") && addName(name, "OU", ".Lab.Issuer") &&
              addName(name, "CN", ".Odd.Times") && X509_set_issuer_name(x, name) == 1 &&
              X509_set_pubkey(x, key) == 1 && setRawTime(X509_getm_notBefore(x), notBefore) &&
              setRawTime(X509_getm_notAfter(x), notAfter) &&
              addExtension(x, NID_basic_constraints, "critical,CA:TRUE,pathlen:3") &&
              addExtension(x, NID_key_usage, "keyCertSign") &&
              addExtension(x, NID_subject_key_identifier, "hash") && X509_sign(x, key, EVP_sha256()) > 0;
    if (!ok)
        return false;

    char friendlyName[] = "friendlyname";
    Pkcs12Ptr container(PKCS12_create(password.constData(), friendlyName, key, x, nullptr,
                                      NID_pbe_WithSHA1And3_Key_TripleDES_CBC, NID_pbe_WithSHA1And40BitRC2_CBC,
                                      2048, -1, 0));
    ok = container && PKCS12_set_mac(container.get(), password.constData(), -1, nullptr, 8, 1, EVP_sha1()) == 1;
    BioPtr file(ok ? BIO_new_file(path.toLocal8Bit().constData(), "wb") : nullptr);
    return file && i2d_PKCS12_bio(file.get(), container.get()) == 1 && BIO_flush(file.get()) == 1;
}

} // namespace FormTestSupport
