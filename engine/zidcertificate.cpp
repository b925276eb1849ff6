// ZIDCertificate: construction, the release steps, parameters, Init, the extension texts and the
// subject key thumbprint.

#include "zidcertificate.h"

#include "diagnosticsink.h"
#include "enginediagnostics.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"
#include "rsakeys.h"

#include <openssl/objects.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace
{

// Extension texts of the key-usage flags, in the order in which they are joined (alphabetical).
struct KeyUsageText
{
    unsigned flag;
    const char* text;
};
constexpr KeyUsageText kKeyUsageTexts[] = {
    {ZIDCertificate::CRLSign, "cRLSign"},           {ZIDCertificate::DataEncipherment, "dataEncipherment"},
    {ZIDCertificate::DecipherOnly, "decipherOnly"}, {ZIDCertificate::DigitalSignature, "digitalSignature"},
    {ZIDCertificate::EncipherOnly, "encipherOnly"}, {ZIDCertificate::KeyAgreement, "keyAgreement"},
    {ZIDCertificate::KeyCertSign, "keyCertSign"},   {ZIDCertificate::KeyEncipherment, "keyEncipherment"},
};

void CopyNames(CertificateNames* names, const char* organizationName, const char* organizationUnitName,
               const char* commonName, const char* dnQualifier)
{
    if (organizationName != nullptr)
        names->organizationName = organizationName;
    if (organizationUnitName != nullptr)
        names->organizationUnitName = organizationUnitName;
    if (commonName != nullptr)
        names->commonName = commonName;
    if (dnQualifier != nullptr)
        names->dnQualifier = dnQualifier;
}

} // namespace

ZIDCertificate::ZIDCertificate()
{
    EnsureEngineInitialised();
    mpX509 = X509_new();
    if (mpX509 == nullptr)
        Diagnose("ZIDCertificate::ZIDCertificate(): Failed creating openSSL X509 structure!\n");
    else
        X509_set_version(mpX509, X509_VERSION_3);

    std::memset(&mDefaultValidityEnd, 0, sizeof mDefaultValidityEnd);
    mDefaultValidityEnd.tm_year = 125;
    mDefaultValidityEnd.tm_mon = 0;
    mDefaultValidityEnd.tm_mday = 1;
    mDefaultValidityEnd.tm_hour = 1;
    // Local time: the C library decides whether daylight saving applies on that date.
    mDefaultValidityEnd.tm_isdst = -1;
}

ZIDCertificate::~ZIDCertificate()
{
    ReleaseX509();
    ReleaseIssuerX509();
    ReleaseKey();
    ReleaseIssuerKey();
    ReleaseChain();
}

void ZIDCertificate::ReleaseKey()
{
    if (mpIssuerKey == mpKey)
        mpIssuerKey = nullptr;
    FreeRsaKey(mpRSA);
    mpRSA = nullptr;
    EVP_PKEY_free(mpKey);
    mpKey = nullptr;
}

void ZIDCertificate::ReleaseIssuerKey()
{
    if (mpIssuerKey == nullptr)
        return;
    if (mpKey == mpIssuerKey)
    {
        FreeRsaKey(mpRSA);
        mpRSA = nullptr;
        mpKey = nullptr;
    }
    EVP_PKEY_free(mpIssuerKey);
    mpIssuerKey = nullptr;
}

void ZIDCertificate::ReleaseX509()
{
    if (mpIssuerX509 == mpX509)
        mpIssuerX509 = nullptr;
    X509_free(mpX509);
    mpX509 = nullptr;
}

void ZIDCertificate::ReleaseIssuerX509()
{
    if (mpIssuerX509 == nullptr)
        return;
    if (mpX509 == mpIssuerX509)
        mpX509 = nullptr;
    X509_free(mpIssuerX509);
    mpIssuerX509 = nullptr;
}

void ZIDCertificate::DetachIssuerX509()
{
    if (mpIssuerX509 == mpX509)
        mpIssuerX509 = nullptr;
    else
        ReleaseIssuerX509();
}

void ZIDCertificate::DetachIssuerKey()
{
    if (mpIssuerKey == mpKey)
        mpIssuerKey = nullptr;
    else
        ReleaseIssuerKey();
}

void ZIDCertificate::ReleaseChain()
{
    FreeX509Stack(mpChain);
    mpChain = nullptr;
}

void ZIDCertificate::SetSubjectNames(const char* organizationName, const char* organizationUnitName,
                                     const char* commonName, const char* dnQualifier)
{
    CopyNames(&mSubject, organizationName, organizationUnitName, commonName, dnQualifier);
}

void ZIDCertificate::SetIssuerNames(const char* organizationName, const char* organizationUnitName,
                                    const char* commonName, const char* dnQualifier)
{
    CopyNames(&mIssuer, organizationName, organizationUnitName, commonName, dnQualifier);
}

int ZIDCertificate::SetBasicConstraints(bool ca, int pathLength)
{
    if (ca && pathLength < 0)
    {
        Diagnose(
            "ZIDCertificate::SetBasicConstraints(): Invalid configuration, for a root certificate (ca=true) "
            "the PathLength MUST NOT be negative!\n");
        return 0;
    }
    if (!ca && pathLength != 0)
    {
        Diagnose(
            "ZIDCertificate::SetBasicConstraints(): Invalid configuration, for a leaf certificate (ca=false) "
            "the PathLength MUST be 0!\n");
        return 0;
    }
    mCA = ca;
    mPathLength = pathLength;
    return 1;
}

void ZIDCertificate::SetKeyUsage(unsigned flags, bool enable)
{
    if (enable)
        mKeyUsage |= flags;
    else
        mKeyUsage &= ~flags;
}

int ZIDCertificate::Init(X509* certificate)
{
    if (certificate == nullptr)
    {
        Diagnose("ZIDCertificate::Init(): !pX509!\n");
        return 0;
    }
    int serial = -1;
    int result = OpenSSLUtil::X509ExtractSerialNumber(certificate, &serial);
    mSerialNumber = serial;
    // A missing attribute (-1) goes on; an empty one (0) stops the reading.
    if (result != 0)
        result = OpenSSLUtil::X509ExtractSubjectCommonName(certificate, &mSubject.commonName);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractSubjectOrganizationName(certificate, &mSubject.organizationName);
    if (result != 0)
        result =
            OpenSSLUtil::X509ExtractSubjectOrganizationUnitName(certificate, &mSubject.organizationUnitName);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractIssuerCommonName(certificate, &mIssuer.commonName);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractIssuerOrganizationName(certificate, &mIssuer.organizationName);
    if (result != 0)
        result =
            OpenSSLUtil::X509ExtractIssuerOrganizationUnitName(certificate, &mIssuer.organizationUnitName);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractBasicConstraints(certificate, &mCA, &mPathLength);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractValidityStart(certificate, &mValidityStartText);
    if (result != 0)
        result = OpenSSLUtil::X509ExtractValidityEnd(certificate, &mValidityEndText);

    // ReadPem hands in the object's own certificate: it is kept as it is rather than copied.
    if (certificate != mpX509)
    {
        X509* copy = X509_dup(certificate);
        ReleaseX509();
        mpX509 = copy;
    }
    if (result == 0)
        Diagnose("ZIDCertificate::Init(): Init certificate failed!\n");
    return result;
}

int ZIDCertificate::ApplyBasicConstraints()
{
    std::string text = "critical,CA:";
    if (mCA)
    {
        char pathLength[16];
        std::snprintf(pathLength, sizeof pathLength, "%i", mPathLength);
        text += "TRUE,pathlen:";
        text += pathLength;
    }
    else
        text += "FALSE";
    return OpenSSLUtil::X509ReplaceV3Extension(mpIssuerX509, mpX509, NID_basic_constraints, text.c_str());
}

int ZIDCertificate::ApplyKeyUsage()
{
    std::string text;
    for (const KeyUsageText& usage : kKeyUsageTexts)
    {
        if ((mKeyUsage & usage.flag) == 0)
            continue;
        if (!text.empty())
            text += ',';
        text += usage.text;
    }
    if (text.empty())
        return 1;
    return OpenSSLUtil::X509ReplaceV3Extension(mpIssuerX509, mpX509, NID_key_usage, text.c_str());
}

int ZIDCertificate::getSubjectPublicKeyThumbprint(char** out, bool asBase64)
{
    ErrorQueueScope errors;
    if (out == nullptr)
    {
        Diagnose("ZIDCertificate::getSubjectPublicKeyThumbprint(): Cannot assign allocated memory to "
                 "NULL-Pointer!\n");
        return 0;
    }
    delete[] * out;
    *out = nullptr;
    if (mpX509 == nullptr)
    {
        Diagnose("ZIDCertificate::getSubjectPublicKeyThumbprint(): openSSL X509 structure to get thumbprint "
                 "from is "
                 "not initialized!\n");
        return 0;
    }
    const int index = X509_get_ext_by_NID(mpX509, NID_subject_key_identifier, -1);
    if (index < 0)
        return 0;
    OctetStringPtr identifier(static_cast<ASN1_OCTET_STRING*>(X509V3_EXT_d2i(X509_get_ext(mpX509, index))));
    if (!identifier)
        return 0;
    const int length = ASN1_STRING_length(identifier.get());
    const unsigned char* bytes = ASN1_STRING_get0_data(identifier.get());
    if (asBase64)
        return OpenSSLUtil::Base64Encode(bytes, out, length);

    char* copy = length > 0 ? new (std::nothrow) char[static_cast<std::size_t>(length)] : nullptr;
    if (copy == nullptr)
    {
        Diagnose(
            "ZIDCertificate::getSubjectPublicKeyThumbprint(): Allocation of thumbprint buffer failed!\n");
        return 0;
    }
    std::memcpy(copy, bytes, static_cast<std::size_t>(length));
    *out = copy;
    return length;
}

int ZIDCertificate::VerifySelfSignature()
{
    ErrorQueueScope errors;
    EVP_PKEY* publicKey = mpX509 != nullptr ? X509_get0_pubkey(mpX509) : nullptr;
    if (publicKey == nullptr)
        return 0;
    return X509_verify(mpX509, publicKey);
}

time_t ZIDCertificate::ValidityEndTime() const
{
    struct tm local = mDefaultValidityEnd;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::int64_t Char2Int64(const char* text)
{
    if (text == nullptr)
    {
        PrintDiagnostic("Char2Int64(): !p");
        return -1;
    }
    return std::strtoll(text, nullptr, 10);
}
