// ZIDCertificate: issuing (key, issuer, profile, signature) and the certificate files.

#include "zidcertificate.h"

#include "enginediagnostics.h"
#include "engineinit.h"
#include "opensslutil.h"
#include "osslptr.h"
#include "rsakeys.h"

#include <openssl/objects.h>

#include <cstdint>
#include <memory>

namespace
{

// Frees the thumbprint text that getSubjectPublicKeyThumbprint hands out.
struct ArrayDelete
{
    void operator()(char* text) const { delete[] text; }
};
using ThumbprintText = std::unique_ptr<char, ArrayDelete>;

} // namespace

bool ZIDCertificate::TakeKeyPair(EVP_PKEY* key)
{
    ReleaseKey();
    if (key != nullptr)
    {
        mpKey = key;
        return true;
    }
    if (OpenSSLUtil::RSACreate2048(&mpRSA) == 0)
        return false;
    // mpRSA keeps a reference of its own beside the one the key pair takes over.
    if (!ReferenceRsaKey(mpRSA))
        return false;
    mpKey = WrapRsaKey(mpRSA);
    return mpKey != nullptr;
}

int ZIDCertificate::IssueCertificate(const char* issuerPassword, const char* issuerFileName, EVP_PKEY* key)
{
    ErrorQueueScope errors;
    EnsureEngineInitialised();
    if (!TakeKeyPair(key))
        return 0;

    if (issuerFileName != nullptr)
    {
        DetachIssuerKey();
        DetachIssuerX509();
        ReleaseChain();
        if (OpenSSLUtil::PKCS12Extract(issuerFileName, &mpIssuerKey, &mpIssuerX509, &mpChain,
                                       issuerPassword) == 0)
            return 0;
    }
    else
    {
        DetachIssuerKey();
        DetachIssuerX509();
        mpIssuerKey = mpKey;
        mpIssuerX509 = mpX509;
    }
    return CreateCertificate(mpKey, mpIssuerX509, mpIssuerKey);
}

int ZIDCertificate::IssueCertificateFrom(X509* issuerCertificate, EVP_PKEY* issuerKey,
                                         STACK_OF(X509) * issuerChain, EVP_PKEY* key)
{
    ErrorQueueScope errors;
    EnsureEngineInitialised();
    // The key is the object's whatever happens next, as with IssueCertificate.
    if (!TakeKeyPair(key))
        return 0;
    if (issuerCertificate == nullptr || issuerKey == nullptr)
    {
        Diagnose("ZIDCertificate::IssueCertificateFrom(): Invalid root certificate/signing key!\n");
        return 0;
    }
    DetachIssuerKey();
    DetachIssuerX509();
    ReleaseChain();
    // References of the object's own, so that the issuer's owner may go first.
    mpChain = issuerChain != nullptr ? X509_chain_up_ref(issuerChain) : sk_X509_new_null();
    if (mpChain == nullptr || X509_up_ref(issuerCertificate) != 1)
        return 0;
    mpIssuerX509 = issuerCertificate;
    if (EVP_PKEY_up_ref(issuerKey) != 1)
        return 0;
    mpIssuerKey = issuerKey;
    return CreateCertificate(mpKey, mpIssuerX509, mpIssuerKey);
}

int ZIDCertificate::CreateCertificate(EVP_PKEY* key, X509* issuerCertificate, EVP_PKEY* issuerKey)
{
    ErrorQueueScope errors;
    if (key == nullptr || issuerCertificate == nullptr || issuerKey == nullptr)
    {
        Diagnose("ZIDCertificate::CreateCertificate(): Invalid root certificate/signing key!\n");
        return 0;
    }
    if (mpX509 == nullptr)
        return 0;
    EnsureEngineInitialised();
    const bool selfIssued = issuerCertificate == mpX509;

    // The window's serial is the low 32 bits, read as a signed number: 2^31 and above become
    // negative serials.
    const auto serial = static_cast<std::int32_t>(static_cast<std::uint32_t>(mSerialNumber));
    bool ok = mSerialNumberWide ? ASN1_INTEGER_set_int64(X509_get_serialNumber(mpX509), mSerialNumber) == 1
                                : ASN1_INTEGER_set(X509_get_serialNumber(mpX509), serial) == 1;
    ok = ok && X509_set_pubkey(mpX509, key) == 1;
    ok = ok && ApplyBasicConstraints() != 0;
    ok = ok && ApplyKeyUsage() != 0;
    ok = ok &&
         OpenSSLUtil::X509ReplaceV3Extension(issuerCertificate, mpX509, NID_subject_key_identifier, "hash");

    // The dnQualifier is the Base64 of the key identifier that "hash" just computed.
    char* rawThumbprint = nullptr;
    ok = ok && getSubjectPublicKeyThumbprint(&rawThumbprint, true) != 0;
    const ThumbprintText thumbprint(rawThumbprint);

    ok = ok && OpenSSLUtil::X509SetSubjectCommonName(mpX509, mSubject.commonName) != 0;
    if (ok)
    {
        // Below the root every certificate carries the root's organisation, whatever was stored.
        std::string organization = mSubject.organizationName;
        if (!selfIssued)
        {
            std::string fromIssuer;
            if (OpenSSLUtil::X509ExtractIssuerOrganizationName(issuerCertificate, &fromIssuer) > 0)
                organization = fromIssuer;
        }
        ok = OpenSSLUtil::X509SetSubjectOrganizationName(mpX509, organization) != 0;
    }
    ok = ok && OpenSSLUtil::X509SetSubjectOrganizationUnitName(mpX509, mSubject.organizationUnitName) != 0;
    ok = ok && OpenSSLUtil::X509SetSubjectDnQualifier(mpX509, thumbprint.get()) != 0;

    X509_NAME* issuerSubject = X509_get_subject_name(issuerCertificate);
    if (ok && issuerSubject != nullptr)
        ok = X509_set_issuer_name(mpX509, issuerSubject) == 1;

    // A root's authorityKeyIdentifier names its own key too: OpenSSL 3 leaves a self-issued
    // certificate's key identifier out unless asked with "always".
    ok = ok && OpenSSLUtil::X509ReplaceV3Extension(issuerCertificate, mpX509, NID_authority_key_identifier,
                                                   selfIssued ? "keyid:always,issuer:always"
                                                              : "keyid,issuer:always") != 0;
    if (ok)
    {
        const std::int64_t end =
            mValidityEnd != 0 ? mValidityEnd : static_cast<std::int64_t>(ValidityEndTime());
        // A time that cannot be encoded would leave an empty field in a signed certificate.
        ok = ASN1_TIME_set(X509_getm_notAfter(mpX509), static_cast<time_t>(end)) != nullptr;
        if (mValidityStart != 0 || mValidityStartExact)
            ok = ok &&
                 ASN1_TIME_set(X509_getm_notBefore(mpX509), static_cast<time_t>(mValidityStart)) != nullptr;
        else
            ok = ok && X509_gmtime_adj(X509_getm_notBefore(mpX509), 0) != nullptr;
    }
    ok = ok && X509_sign(mpX509, issuerKey, mSigningAlgorithm == 0 ? EVP_sha1() : EVP_sha256()) > 0;
    return ok ? 1 : 0;
}

int ZIDCertificate::RewrapCertificate(const char* issuerPassword, const char* issuerFileName)
{
    ErrorQueueScope errors;
    if (mpX509 == nullptr)
    {
        Diagnose("ZIDCertificate::RewrapCertificate(): Invalid certificate!\n");
        return 0;
    }
    if (issuerFileName == nullptr)
    {
        Diagnose("ZIDCertificate::RewrapCertificate(): Invalid root file!\n");
        return 0;
    }
    ReleaseIssuerKey();
    // A key read before (ReadPKCS12) is replaced, not leaked.
    ReleaseKey();
    mpKey = X509_get_pubkey(mpX509);
    mpRSA = RsaKeyOf(mpKey);
    if (mpKey == nullptr || mpRSA == nullptr)
        return 0;

    DetachIssuerX509();
    ReleaseChain();
    if (OpenSSLUtil::PKCS12Extract(issuerFileName, &mpIssuerKey, &mpIssuerX509, &mpChain, issuerPassword) ==
        0)
        return 0;
    return CreateCertificate(mpKey, mpIssuerX509, mpIssuerKey);
}

int ZIDCertificate::ReadPem(const char* path)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::ReadPem(): Invalid path/file!\n");
        return 0;
    }
    // Released by the sharing rule first, so that an issuer pointer never outlives it.
    ReleaseX509();
    if (OpenSSLUtil::LoadX509Certificate(path, &mpX509, true) == 0)
        return 0;
    return Init(mpX509);
}

int ZIDCertificate::ReadPKCS12(const char* path, const char* password)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::ReadPKCS12(): Invalid path/file!\n");
        return 0;
    }
    const bool hadRsaView = mpRSA != nullptr;
    // Released by the sharing rule first: when the object was its own issuer, the issuer
    // pointers must not be left on the objects that are about to be freed.
    ReleaseKey();
    ReleaseX509();
    if (OpenSSLUtil::PKCS12Extract(path, &mpKey, &mpX509, &mpChain, password) == 0)
    {
        Diagnose("ZIDCertificate::ReadPKCS12(): PKCS12Extract failed!\n");
        return 0;
    }
    if (mpKey != nullptr && hadRsaView)
        mpRSA = RsaKeyOf(mpKey);
    return Init(mpX509);
}

int ZIDCertificate::ReadRootPKCS12(const char* path, const char* password)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::ReadRootPKCS12(): Invalid path/file!\n");
        return 0;
    }
    DetachIssuerKey();
    DetachIssuerX509();
    ReleaseChain();
    return OpenSSLUtil::PKCS12Extract(path, &mpIssuerKey, &mpIssuerX509, &mpChain, password);
}

int ZIDCertificate::WritePem(const char* path)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::WritePem(): Invalid path/file!\n");
        return 0;
    }
    return OpenSSLUtil::PEMWriteX509(mpX509, path);
}

int ZIDCertificate::WriteRaw(const char* path)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::WriteRaw(): Invalid path/file!\n");
        return 0;
    }
    return OpenSSLUtil::X509WriteDER(mpX509, path);
}

int ZIDCertificate::WritePKCS12(const char* path, const char* password)
{
    ErrorQueueScope errors;
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::WritePKCS12(): Invalid path/file!\n");
        return 0;
    }
    if (mpX509 == nullptr || mpKey == nullptr)
    {
        Diagnose("ZIDCertificate::WritePKCS12(): Certificate key missing!\n");
        return 0;
    }
    // The container's chain is the issuer's chain followed by the issuer. It is put together
    // for this write only: the object's list stays as read, so a second write is the same file
    // and the issuer is not also owned by the list.
    STACK_OF(X509)* chain = mpChain;
    BorrowedX509StackPtr withIssuer;
    if (mpChain != nullptr && mpIssuerX509 != nullptr)
    {
        withIssuer.reset(sk_X509_dup(mpChain));
        if (!withIssuer || sk_X509_push(withIssuer.get(), mpIssuerX509) <= 0)
            return 0;
        chain = withIssuer.get();
    }
    const char* given = password != nullptr && *password != '\0' ? password : nullptr;
    return OpenSSLUtil::PKCS12Write(path, mpX509, mpKey, chain, given);
}

int ZIDCertificate::WritePrivateKeyPem(const char* path, const char* password)
{
    if (path == nullptr)
    {
        Diagnose("ZIDCertificate::WritePrivateKeyPem(): Invalid path/file!\n");
        return 0;
    }
    if (mpRSA == nullptr)
    {
        Diagnose("ZIDCertificate::WritePrivateKeyPem(): Private key missing!\n");
        return 0;
    }
    return OpenSSLUtil::PEMWritePrivateRSAKey(path, mpRSA, password);
}
