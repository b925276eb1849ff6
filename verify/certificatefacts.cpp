#include "certificatefacts.h"

#include "verifyutil.h"

#include <openssl/core_names.h>
#include <openssl/x509v3.h>

using namespace chainverify;

namespace
{

void readSubject(const X509* certificate, CertificateFacts& facts)
{
    const X509_NAME* subject = X509_get_subject_name(certificate);
    facts.organization = nameText(subject, NID_organizationName);
    facts.organizationalUnit = nameText(subject, NID_organizationalUnitName);
    facts.commonName = nameText(subject, NID_commonName);
    facts.dnQualifier = nameText(subject, NID_dnQualifier);
    facts.roles = rolesOf(facts.commonName);
    facts.issuerCommonName = nameText(X509_get_issuer_name(certificate), NID_commonName);
    facts.subjectName = nameRfc2253(subject);
    facts.issuerName = nameRfc2253(X509_get_issuer_name(certificate));
}

void readSerial(const X509* certificate, CertificateFacts& facts)
{
    const BigNumPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr));
    if (!serial)
        return;
    facts.serialDecimal = bignumText(serial.get());
    const OpenSslStringPtr hexText(BN_bn2hex(serial.get()));
    facts.serialHex = hexText ? QString::fromLatin1(hexText.get()) : QString();
}

void readKey(const X509* certificate, CertificateFacts& facts)
{
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (!key)
        return;
    const char* name = EVP_PKEY_get0_type_name(key);
    facts.keyAlgorithm = name ? QString::fromLatin1(name) : QStringLiteral("unknown");
    facts.keyBits = EVP_PKEY_get_bits(key);
    BIGNUM* exponent = nullptr;
    if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &exponent))
    {
        const BigNumPtr owner(exponent);
        facts.keyExponent = bignumText(exponent);
    }
    facts.keyDnQualifier = QString::fromLatin1(publicKeyThumbprint(key));
}

void readExtensions(const X509* certificate, CertificateFacts& facts)
{
    const BasicConstraintsPtr constraints(static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(certificate, NID_basic_constraints, nullptr, nullptr)));
    facts.hasBasicConstraints = constraints != nullptr;
    facts.ca = constraints && constraints->ca;
    facts.pathLength = pathLengthOf(certificate);
    const BitStringPtr usage(
        static_cast<ASN1_BIT_STRING*>(X509_get_ext_d2i(certificate, NID_key_usage, nullptr, nullptr)));
    facts.hasKeyUsage = usage != nullptr;
    facts.keyUsage = keyUsageNames(usage.get());
}

QString sha256Fingerprint(const X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(certificate, EVP_sha256(), digest, &length))
        return QString();
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex(':').toUpper());
}

} // namespace

CertificateFacts ReadCertificateFacts(const X509* certificate)
{
    CertificateFacts facts;
    if (!certificate)
        return facts;
    const ErrorScope errors;
    ChainVerifier::initOpenSsl();
    readSubject(certificate, facts);
    readSerial(certificate, facts);
    facts.notBefore = toDateTime(X509_get0_notBefore(certificate));
    facts.notAfter = toDateTime(X509_get0_notAfter(certificate));
    facts.signatureAlgorithm = objectName(X509_get_signature_nid(certificate));
    readKey(certificate, facts);
    readExtensions(certificate, facts);
    facts.thumbprint = QString::fromLatin1(certificateThumbprint(certificate));
    facts.sha256Fingerprint = sha256Fingerprint(certificate);
    return facts;
}
