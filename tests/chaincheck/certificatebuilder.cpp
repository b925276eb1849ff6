#include "certificatebuilder.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

namespace
{

void addEntry(X509_NAME* name, int nid, const QByteArray& text, int type = V_ASN1_PRINTABLESTRING)
{
    X509_NAME_add_entry_by_NID(name, nid, type, reinterpret_cast<const unsigned char*>(text.constData()),
                               int(text.size()), -1, 0);
}

QByteArray thumbprint(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int length = i2d_PublicKey(key, &der);
    unsigned char digest[20];
    unsigned int digestLength = 0;
    EVP_Digest(der, size_t(length), digest, &digestLength, EVP_sha1(), nullptr);
    OPENSSL_free(der);
    return QByteArray(reinterpret_cast<const char*>(digest), int(digestLength)).toBase64();
}

void setTime(ASN1_TIME* field, const QDateTime& when)
{
    ASN1_TIME_set(field, time_t(when.toSecsSinceEpoch()));
}

void fillSubject(X509_NAME* subject, const CertificateSpec& spec)
{
    const bool authority = spec.pathLength >= 0;
    QByteArray commonName = spec.commonName;
    if (spec.fault == Fault::RoleInAuthorityName && authority)
        commonName.prepend("CS");
    if (spec.fault == Fault::NonPrintableCharacter)
        commonName.append("@home"); // '@' is not in PrintableString's alphabet
    addEntry(subject, NID_commonName, commonName);
    addEntry(subject, NID_organizationName,
             spec.fault == Fault::OtherOrganization ? QByteArray("Some Other Maker")
                                                    : QByteArray(CertificateBuilder::kOrganization));
    addEntry(subject, NID_organizationalUnitName, CertificateBuilder::kOrganizationalUnit,
             spec.fault == Fault::Utf8Name ? V_ASN1_UTF8STRING : V_ASN1_PRINTABLESTRING);
    if (spec.fault == Fault::TwoOrganizationalUnits)
        addEntry(subject, NID_organizationalUnitName, "Second");
    QByteArray qualifier = thumbprint(spec.key);
    if (spec.fault == Fault::WrongDnQualifier)
        qualifier[0] = qualifier[0] == 'A' ? 'B' : 'A';
    addEntry(subject, NID_dnQualifier, qualifier);
}

void addBasicConstraints(X509* certificate, const CertificateSpec& spec)
{
    const bool authority = spec.pathLength >= 0;
    BasicConstraintsPtr constraints(BASIC_CONSTRAINTS_new());
    constraints->ca = authority || spec.fault == Fault::LeafCa ? 0xFF : 0;
    int pathLength = spec.pathLength;
    if (!authority && spec.fault == Fault::LeafPathLength)
        pathLength = 0;
    if (pathLength >= 0)
    {
        constraints->pathlen = ASN1_INTEGER_new();
        ASN1_INTEGER_set(constraints->pathlen, pathLength);
    }
    const int critical = spec.fault == Fault::NonCriticalBasicConstraints ? 0 : 1;
    X509_add1_ext_i2d(certificate, NID_basic_constraints, constraints.get(), critical, X509V3_ADD_DEFAULT);
}

void addKeyUsage(X509* certificate, const CertificateSpec& spec)
{
    BitStringPtr usage(ASN1_BIT_STRING_new());
    if (spec.pathLength >= 0)
    {
        ASN1_BIT_STRING_set_bit(usage.get(), 5, 1); // keyCertSign
        if (spec.crlSign)
            ASN1_BIT_STRING_set_bit(usage.get(), 6, 1); // cRLSign
        if (spec.fault == Fault::ExtraKeyUsage)
            ASN1_BIT_STRING_set_bit(usage.get(), 0, 1); // digitalSignature
    }
    else
    {
        ASN1_BIT_STRING_set_bit(usage.get(), 0, 1); // digitalSignature
        ASN1_BIT_STRING_set_bit(usage.get(), 2, 1); // keyEncipherment
        if (spec.fault == Fault::ExtraKeyUsage)
            ASN1_BIT_STRING_set_bit(usage.get(), 1, 1); // nonRepudiation
    }
    X509_add1_ext_i2d(certificate, NID_key_usage, usage.get(), 0, X509V3_ADD_DEFAULT);
}

OctetStringPtr keyIdentifier(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_pubkey_digest(certificate, EVP_sha1(), digest, &length);
    OctetStringPtr identifier(ASN1_OCTET_STRING_new());
    ASN1_OCTET_STRING_set(identifier.get(), digest, int(length));
    return identifier;
}

// issuer null: the certificate is its own issuer.
void addAuthorityKeyId(X509* certificate, X509* issuer, const CertificateSpec& spec)
{
    if (spec.fault == Fault::MissingAuthorityKeyId)
        return;
    X509* authority = issuer ? issuer : certificate;
    AuthorityKeyIdPtr aki(AUTHORITY_KEYID_new());
    // An unsigned certificate is not asked for its extensions: OpenSSL would cache them with
    // the certificate still incomplete.
    const ASN1_OCTET_STRING* authorityKeyId = issuer ? X509_get0_subject_key_id(issuer) : nullptr;
    aki->keyid = authorityKeyId ? ASN1_OCTET_STRING_dup(authorityKeyId) : keyIdentifier(authority).release();
    if (spec.fault == Fault::AuthorityKeyIdMismatch)
    {
        const unsigned char other[20] = {0x42};
        ASN1_OCTET_STRING_set(aki->keyid, other, sizeof other);
    }
    if (spec.keyIdOnly)
    {
        X509_add1_ext_i2d(certificate, NID_authority_key_identifier, aki.get(), 0, X509V3_ADD_DEFAULT);
        return;
    }
    GENERAL_NAME* name = GENERAL_NAME_new();
    name->type = GEN_DIRNAME;
    name->d.directoryName =
        X509_NAME_dup(spec.fault == Fault::AuthorityIssuerIsParentSubject ? X509_get_subject_name(authority)
                                                                          : X509_get_issuer_name(authority));
    aki->issuer = GENERAL_NAMES_new();
    sk_GENERAL_NAME_push(aki->issuer, name);
    aki->serial = ASN1_INTEGER_dup(X509_get0_serialNumber(authority));
    if (spec.fault == Fault::AuthoritySerialWrong)
        ASN1_INTEGER_set(aki->serial, ASN1_INTEGER_get(aki->serial) + 1);
    X509_add1_ext_i2d(certificate, NID_authority_key_identifier, aki.get(), 0, X509V3_ADD_DEFAULT);
}

// The algorithm identifier appears twice in the encoding, inside the signed part and
// beside the signature; this turns the outer sha256WithRSAEncryption into sha1WithRSAEncryption.
X509Ptr withOuterAlgorithmChanged(const X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    const QByteArray sha256WithRsa = QByteArray::fromHex("06092a864886f70d01010b");
    const int outer = int(bytes.lastIndexOf(sha256WithRsa));
    if (outer > 0 && bytes.indexOf(sha256WithRsa) != outer)
        bytes[outer + sha256WithRsa.size() - 1] = 0x05;
    const auto* cursor = reinterpret_cast<const unsigned char*>(bytes.constData());
    return X509Ptr(d2i_X509(nullptr, &cursor, long(bytes.size())));
}

} // namespace

X509Ptr CertificateBuilder::make(const CertificateSpec& spec, X509* issuer, EVP_PKEY* issuerKey)
{
    X509Ptr certificate(X509_new());
    X509* x = certificate.get();
    X509_set_version(x, spec.fault == Fault::Version1 ? X509_VERSION_1 : X509_VERSION_3);
    ASN1_INTEGER_set(X509_get_serialNumber(x), spec.fault == Fault::SerialZero ? 0 : spec.serial);
    const QByteArray serialHex =
        spec.fault == Fault::SerialOver64Bits ? QByteArray("10000000000000000") : spec.serialHex;
    if (!serialHex.isEmpty())
    {
        BIGNUM* serial = nullptr;
        BN_hex2bn(&serial, serialHex.constData());
        BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(x));
        BN_free(serial);
    }
    X509_set_pubkey(x, spec.key);
    fillSubject(X509_get_subject_name(x), spec);

    if (spec.fault == Fault::IssuerNotParentSubject)
    {
        X509NamePtr elsewhere(X509_NAME_new());
        addEntry(elsewhere.get(), NID_commonName, ".Elsewhere");
        addEntry(elsewhere.get(), NID_organizationName, kOrganization);
        X509_set_issuer_name(x, elsewhere.get());
    }
    else
        X509_set_issuer_name(x, issuer ? X509_get_subject_name(issuer) : X509_get_subject_name(x));

    if (spec.fault == Fault::GeneralizedTimeBefore2050)
        ASN1_GENERALIZEDTIME_set(X509_getm_notBefore(x), time_t(spec.notBefore.toSecsSinceEpoch()));
    else
        setTime(X509_getm_notBefore(x), spec.notBefore);
    setTime(X509_getm_notAfter(x), spec.notAfter);

    addBasicConstraints(x, spec);
    addKeyUsage(x, spec);
    if (spec.fault != Fault::MissingSubjectKeyId)
        X509_add1_ext_i2d(x, NID_subject_key_identifier, keyIdentifier(x).get(), 0, X509V3_ADD_DEFAULT);
    addAuthorityKeyId(x, issuer, spec);

    if (spec.readBeforeSigning)
    {
        ERR_set_mark(); // the unsigned certificate cannot be hashed yet
        X509_get_extension_flags(x);
        ERR_pop_to_mark();
    }
    const EVP_MD* digest = spec.fault == Fault::Sha1Signature ? EVP_sha1() : spec.digest;
    X509_sign(x, issuerKey ? issuerKey : spec.key, digest);
    if (spec.fault == Fault::BadSignature)
    {
        const ASN1_BIT_STRING* signature = nullptr;
        X509_get0_signature(&signature, nullptr, x);
        // The signature is encoded from this buffer, so flipping one bit spoils it.
        const_cast<unsigned char*>(ASN1_STRING_get0_data(signature))[10] ^= 0x01;
    }
    if (spec.fault == Fault::OuterAlgorithmDiffers)
        return withOuterAlgorithmChanged(certificate.get());
    return certificate;
}

EvpPkeyPtr CertificateBuilder::rsaKey(int bits, unsigned long exponent)
{
    EvpPkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    BigNumPtr e(BN_new());
    BN_set_word(e.get(), exponent);
    EVP_PKEY* key = nullptr;
    if (!context || EVP_PKEY_keygen_init(context.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), bits) <= 0 ||
        EVP_PKEY_CTX_set1_rsa_keygen_pubexp(context.get(), e.get()) <= 0 ||
        EVP_PKEY_keygen(context.get(), &key) <= 0)
        return EvpPkeyPtr();
    return EvpPkeyPtr(key);
}

bool ChainKeys::make()
{
    for (EvpPkeyPtr& key : certificates)
        key = CertificateBuilder::rsaKey(2048);
    small = CertificateBuilder::rsaKey(1024);
    exponent3 = CertificateBuilder::rsaKey(2048, 3);
    return certificates[0] && certificates[1] && certificates[2] && small && exponent3;
}

std::vector<X509Ptr> CertificateBuilder::chain(const ChainKeys& keys, const ChainLayout& layout)
{
    CertificateSpec specs[3] = {
        {".Test Root", 1, 2, {}, {}, keys.certificates[0].get(), layout.digest, Fault::None},
        {".Test Intermediate", 2, 1, {}, {}, keys.certificates[1].get(), layout.digest, Fault::None},
        {"CS.Test Signer", 3, -1, {}, {}, keys.certificates[2].get(), layout.digest, Fault::None},
    };
    for (int i = 0; i < 3; ++i)
    {
        specs[i].notBefore = layout.notBefore[i];
        specs[i].notAfter = layout.notAfter[i];
        specs[i].readBeforeSigning = layout.readBeforeSigning;
    }
    if (layout.faulty >= 0)
    {
        CertificateSpec& spec = specs[layout.faulty];
        spec.fault = layout.fault;
        if (layout.fault == Fault::SmallKey)
            spec.key = keys.small.get();
        if (layout.fault == Fault::Exponent3)
            spec.key = keys.exponent3.get();
        if (layout.fault == Fault::ValidityOutsideParent)
            spec.notAfter = specs[layout.faulty - 1].notAfter.addSecs(1);
        if (layout.fault == Fault::PathLengthNotBelowParent)
            spec.pathLength = specs[layout.faulty - 1].pathLength;
    }
    std::vector<X509Ptr> certificates;
    certificates.push_back(make(specs[0], nullptr, nullptr));
    certificates.push_back(make(specs[1], certificates[0].get(), specs[0].key));
    certificates.push_back(make(specs[2], certificates[1].get(), specs[1].key));
    return certificates;
}
