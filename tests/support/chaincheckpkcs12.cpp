// The PKCS#12 half of ChainCheck: reading containers and judging their layout. Containers of
// the classic kind (RC2-40 certificate safe, 3DES key bag, SHA-1 MAC) are what the digital
// cinema equipment of this field imports, so the layout is checked bag by bag.

#include "chaincheck.h"
#include "verifyutil.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pkcs7.h>

using namespace chainverify;

namespace
{

constexpr long kPbeIterations = 2048;
constexpr int kMacSaltLength = 8;
const char kFriendlyName[] = "friendlyname";

class Layout
{
public:
    Layout(const QByteArray& password, QStringList& out) : mPassword(password), mOut(out) {}

    void problem(const QString& what) { mOut << QStringLiteral("pkcs12: ") + what; }

    void checkMac(PKCS12* container);
    void checkPbe(const X509_ALGOR* algorithm, int expectedNid, const QString& what);
    SafeBagStackPtr certificateSafe(PKCS7* safe);
    SafeBagStackPtr keySafe(PKCS7* safe);
    X509Ptr certificateBag(PKCS12_SAFEBAG* bag, int index);
    void keyBag(PKCS12_SAFEBAG* bag, const X509* ownCertificate);
    void attributes(PKCS12_SAFEBAG* bag, const QByteArray& expectedKeyId, const QString& what);

    const char* pass() const { return mPassword.constData(); }
    int passLength() const { return int(mPassword.size()); }

private:
    QByteArray mPassword;
    QStringList& mOut;
};

void Layout::checkMac(PKCS12* container)
{
    if (!PKCS12_mac_present(container))
    {
        problem(QStringLiteral("no MAC"));
        return;
    }
    const ASN1_OCTET_STRING* mac = nullptr;
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* salt = nullptr;
    const ASN1_INTEGER* iterations = nullptr;
    PKCS12_get0_mac(&mac, &algorithm, &salt, &iterations, container);
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    const int nid = OBJ_obj2nid(object);
    if (nid != NID_sha1)
        problem(QStringLiteral("MAC digest %1, not SHA-1").arg(objectName(nid)));
    const long count = iterations ? ASN1_INTEGER_get(iterations) : 1; // absent means one
    if (count != 1)
        problem(QStringLiteral("MAC with %1 iterations, not 1").arg(count));
    if (!salt || ASN1_STRING_length(salt) != kMacSaltLength)
        problem(QStringLiteral("MAC salt of %1 bytes, not 8").arg(salt ? ASN1_STRING_length(salt) : 0));
    if (PKCS12_verify_mac(container, pass(), passLength()) != 1)
        problem(QStringLiteral("the MAC does not verify with the password"));
}

void Layout::checkPbe(const X509_ALGOR* algorithm, int expectedNid, const QString& what)
{
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
    const int nid = OBJ_obj2nid(object);
    if (nid != expectedNid)
    {
        problem(QStringLiteral("%1 encrypted with %2, not %3")
                    .arg(what, objectName(nid), objectName(expectedNid)));
        return;
    }
    PbeParamPtr parameters(
        static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
    if (!parameters)
    {
        problem(QStringLiteral("%1: unreadable PBE parameters").arg(what));
        return;
    }
    const long iterations = ASN1_INTEGER_get(parameters->iter);
    if (iterations != kPbeIterations)
        problem(QStringLiteral("%1 encrypted with %2 iterations, not 2048").arg(what).arg(iterations));
}

SafeBagStackPtr Layout::certificateSafe(PKCS7* safe)
{
    if (OBJ_obj2nid(safe->type) != NID_pkcs7_encrypted)
    {
        problem(QStringLiteral("the first safe is %1, not encrypted data")
                    .arg(objectName(OBJ_obj2nid(safe->type))));
        return SafeBagStackPtr();
    }
    if (safe->d.encrypted && safe->d.encrypted->enc_data)
        checkPbe(safe->d.encrypted->enc_data->algorithm, NID_pbe_WithSHA1And40BitRC2_CBC,
                 QStringLiteral("the certificate safe"));
    SafeBagStackPtr bags(PKCS12_unpack_p7encdata(safe, pass(), passLength()));
    if (!bags)
        problem(QStringLiteral("the certificate safe cannot be decrypted: %1").arg(lastOpenSslError()));
    return bags;
}

SafeBagStackPtr Layout::keySafe(PKCS7* safe)
{
    if (OBJ_obj2nid(safe->type) != NID_pkcs7_data)
    {
        problem(
            QStringLiteral("the second safe is %1, not plain data").arg(objectName(OBJ_obj2nid(safe->type))));
        return SafeBagStackPtr();
    }
    SafeBagStackPtr bags(PKCS12_unpack_p7data(safe));
    if (!bags)
        problem(QStringLiteral("the key safe cannot be read"));
    return bags;
}

void Layout::attributes(PKCS12_SAFEBAG* bag, const QByteArray& expectedKeyId, const QString& what)
{
    OpenSslStringPtr name(PKCS12_get_friendlyname(bag));
    if (!name)
        problem(QStringLiteral("%1 has no friendlyName").arg(what));
    else if (qstrcmp(name.get(), kFriendlyName) != 0)
        problem(QStringLiteral("%1 has friendlyName \"%2\", not \"friendlyname\"")
                    .arg(what, QString::fromUtf8(name.get())));

    const ASN1_TYPE* keyId = PKCS12_SAFEBAG_get0_attr(bag, NID_localKeyID);
    if (!keyId || keyId->type != V_ASN1_OCTET_STRING)
    {
        problem(QStringLiteral("%1 has no localKeyID").arg(what));
        return;
    }
    const QByteArray actual(reinterpret_cast<const char*>(ASN1_STRING_get0_data(keyId->value.octet_string)),
                            ASN1_STRING_length(keyId->value.octet_string));
    if (actual != expectedKeyId)
        problem(QStringLiteral("%1 has localKeyID %2, not the certificate's SHA-1 %3")
                    .arg(what, QString::fromLatin1(actual.toHex(':')),
                         QString::fromLatin1(expectedKeyId.toHex(':'))));
}

X509Ptr Layout::certificateBag(PKCS12_SAFEBAG* bag, int index)
{
    const QString what = QStringLiteral("certificate bag %1").arg(index);
    if (PKCS12_SAFEBAG_get_nid(bag) != NID_certBag || PKCS12_SAFEBAG_get_bag_nid(bag) != NID_x509Certificate)
    {
        problem(QStringLiteral("%1 is %2, not an X.509 certificate bag")
                    .arg(what, objectName(PKCS12_SAFEBAG_get_nid(bag))));
        return X509Ptr();
    }
    X509Ptr certificate(PKCS12_SAFEBAG_get1_cert(bag));
    if (!certificate)
    {
        problem(QStringLiteral("%1 cannot be decoded").arg(what));
        return certificate;
    }
    attributes(bag, sha1(derOf(certificate.get())),
               what + QStringLiteral(" (") + ChainCheck::describe(certificate.get()) + QLatin1Char(')'));
    return certificate;
}

void Layout::keyBag(PKCS12_SAFEBAG* bag, const X509* ownCertificate)
{
    if (PKCS12_SAFEBAG_get_nid(bag) != NID_pkcs8ShroudedKeyBag)
    {
        problem(QStringLiteral("the key bag is %1, not a shrouded key bag")
                    .arg(objectName(PKCS12_SAFEBAG_get_nid(bag))));
        return;
    }
    const X509_ALGOR* algorithm = nullptr;
    X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
    checkPbe(algorithm, NID_pbe_WithSHA1And3_Key_TripleDES_CBC, QStringLiteral("the key bag"));
    if (!ownCertificate)
        return;
    attributes(bag, sha1(derOf(ownCertificate)), QStringLiteral("the key bag"));
    Pkcs8Ptr info(PKCS12_decrypt_skey(bag, pass(), passLength()));
    EvpPkeyPtr key(info ? EVP_PKCS82PKEY(info.get()) : nullptr);
    if (!key)
        problem(QStringLiteral("the key bag cannot be decrypted: %1").arg(lastOpenSslError()));
    else if (X509_check_private_key(ownCertificate, key.get()) != 1)
        problem(QStringLiteral("the key does not belong to the first certificate"));
}

} // namespace

QStringList ChainCheck::checkPkcs12Layout(const QByteArray& der, const QByteArray& password,
                                          const std::vector<X509*>& expectedChain)
{
    const ErrorScope errors;
    initOpenSsl();
    QStringList out;
    Layout layout(password, out);
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    Pkcs12Ptr container(d2i_PKCS12(nullptr, &cursor, long(der.size())));
    if (!container)
    {
        layout.problem(QStringLiteral("not a PKCS#12 container"));
        return out;
    }
    layout.checkMac(container.get());

    Pkcs7StackPtr safes(PKCS12_unpack_authsafes(container.get()));
    const int safeCount = safes ? sk_PKCS7_num(safes.get()) : 0;
    if (safeCount != 2)
        layout.problem(QStringLiteral("%1 safes, not 2").arg(safeCount));
    SafeBagStackPtr certificateBags =
        safeCount > 0 ? layout.certificateSafe(sk_PKCS7_value(safes.get(), 0)) : SafeBagStackPtr();
    SafeBagStackPtr keyBags =
        safeCount > 1 ? layout.keySafe(sk_PKCS7_value(safes.get(), 1)) : SafeBagStackPtr();

    std::vector<X509Ptr> certificates;
    for (int i = 0; certificateBags && i < sk_PKCS12_SAFEBAG_num(certificateBags.get()); ++i)
        if (X509Ptr certificate = layout.certificateBag(sk_PKCS12_SAFEBAG_value(certificateBags.get(), i), i))
            certificates.push_back(std::move(certificate));
    if (certificateBags && certificates.empty())
        layout.problem(QStringLiteral("the certificate safe holds no certificate"));

    const int keyBagCount = keyBags ? sk_PKCS12_SAFEBAG_num(keyBags.get()) : 0;
    if (keyBags && keyBagCount != 1)
        layout.problem(QStringLiteral("the key safe holds %1 bags, not 1").arg(keyBagCount));
    if (keyBagCount > 0)
        layout.keyBag(sk_PKCS12_SAFEBAG_value(keyBags.get(), 0),
                      certificates.empty() ? nullptr : certificates.front().get());

    if (!expectedChain.empty() && !certificates.empty())
    {
        const size_t found = certificates.size() - 1;
        if (found != expectedChain.size())
            layout.problem(
                QStringLiteral("%1 chain certificates, not %2").arg(found).arg(expectedChain.size()));
        for (size_t i = 0; i < std::min(found, expectedChain.size()); ++i)
            if (X509_cmp(certificates[i + 1].get(), expectedChain[i]) != 0)
                layout.problem(QStringLiteral("chain certificate %1 is %2, not %3")
                                   .arg(i + 1)
                                   .arg(describe(certificates[i + 1].get()), describe(expectedChain[i])));
    }
    return out;
}

QStringList ChainCheck::checkPkcs12File(const QString& path, const QByteArray& password,
                                        const std::vector<X509*>& expectedChain)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("pkcs12: cannot open %1").arg(path)};
    return checkPkcs12Layout(file.readAll(), password, expectedChain);
}
