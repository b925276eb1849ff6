#pragma once

#include "certificatenames.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstdint>
#include <ctime>
#include <string>

// One certificate of a digital-cinema chain with its key pair, its issuer (certificate and
// signing key), the chain above the issuer and the profile parameters chosen for it.
//
// Lifetime: constructed, given its parameters, issued (or read), written, destroyed. The object
// owns every OpenSSL object it holds. When the certificate is its own issuer, mpIssuerKey is
// mpKey and mpIssuerX509 is mpX509; the release steps keep such pairs consistent so that each
// object is freed exactly once.
class ZIDCertificate
{
public:
    // Key-usage flags: RFC 5280 bit positions of the keyUsage BIT STRING.
    enum KeyUsage : unsigned
    {
        DigitalSignature = 0x001,
        NonRepudiation = 0x002, // no extension text: adds nothing
        KeyEncipherment = 0x004,
        DataEncipherment = 0x008,
        KeyAgreement = 0x010,
        KeyCertSign = 0x020,
        CRLSign = 0x040,
        EncipherOnly = 0x080,
        DecipherOnly = 0x100,
    };

    ZIDCertificate();
    ~ZIDCertificate();
    ZIDCertificate(const ZIDCertificate&) = delete;
    ZIDCertificate& operator=(const ZIDCertificate&) = delete;

    // --- parameters (null arguments leave the member unchanged) -------------------------------
    void SetSubjectNames(const char* organizationName, const char* organizationUnitName,
                         const char* commonName, const char* dnQualifier);
    void SetIssuerNames(const char* organizationName, const char* organizationUnitName,
                        const char* commonName, const char* dnQualifier);
    // Refuses CA with a negative path length and a leaf with a path length other than 0.
    int SetBasicConstraints(bool ca, int pathLength);
    void SetKeyUsage(unsigned flags, bool enable);
    // The window's serial: only the low 32 bits are written, read as a signed number.
    void SetSerialNumber(std::int64_t value)
    {
        mSerialNumber = value;
        mSerialNumberWide = false;
    }
    // A serial written whole, all 64 bits (positive values up to 2^63-1 are what the profile
    // wants).
    void SetWideSerialNumber(std::int64_t value)
    {
        mSerialNumber = value;
        mSerialNumberWide = true;
    }
    std::int64_t getSerialNumber() const { return mSerialNumber; }
    // 0 signs with SHA-1, any other value with SHA-256.
    void SetSigningAlgorithm(int value) { mSigningAlgorithm = value; }
    // Seconds since 1970 UTC; 0 means the time of issuing (start) or the default end.
    void SetValidityStart(std::int64_t seconds)
    {
        mValidityStart = seconds;
        mValidityStartExact = false;
    }
    // The start exactly as given, 0 (1970-01-01T00:00:00Z) included: for a caller that always
    // knows the start it wants.
    void SetValidityStartExact(std::int64_t seconds)
    {
        mValidityStart = seconds;
        mValidityStartExact = true;
    }
    void SetValidityEnd(std::int64_t seconds) { mValidityEnd = seconds; }

    // --- what Init read -------------------------------------------------------------------------
    std::string getIssuerOrganizationName() const { return mIssuer.organizationName; }
    int getPathLength() const { return mPathLength; }
    std::string getValidityStart() const { return mValidityStartText; }
    std::string getValidityEnd() const { return mValidityEndText; }

    // Reads serial, names, basic constraints and printed validity of certificate (borrowed) and
    // keeps a copy of it; the copy is kept even when reading a field failed.
    int Init(X509* certificate);

    // Extension texts derived from the parameters, applied to mpX509 with mpIssuerX509 as issuer.
    int ApplyBasicConstraints();
    int ApplyKeyUsage();

    // The subjectKeyIdentifier: Base64 with a final line feed, or the raw bytes. *out is freed
    // with delete[] first and belongs to the caller afterwards (delete[]). Result: its length.
    int getSubjectPublicKeyThumbprint(char** out, bool asBase64);

    // 1 when the certificate's signature verifies with its own public key.
    int VerifySelfSignature();

    // --- issuing --------------------------------------------------------------------------------
    // key (may be null: a new RSA-2048 key is made) is owned by the object from now on. Without
    // issuerFileName the certificate becomes its own issuer. A null password is asked on the
    // console.
    int IssueCertificate(const char* issuerPassword, const char* issuerFileName, EVP_PKEY* key);
    // The same under an issuer held in memory (a certificate issued earlier in the same run, or a
    // key that never was in a file): issuerCertificate signs with issuerKey; issuerChain holds the
    // certificates above the issuer, root first, and may be null. All three are borrowed: the
    // object takes references of its own. key as above.
    int IssueCertificateFrom(X509* issuerCertificate, EVP_PKEY* issuerKey, STACK_OF(X509) * issuerChain,
                             EVP_PKEY* key);
    // Fills in mpX509 and signs it. Arguments are borrowed (usually the object's own members).
    int CreateCertificate(EVP_PKEY* key, X509* issuerCertificate, EVP_PKEY* issuerKey);
    // Re-signs a certificate read with ReadPem/ReadPKCS12 by a new issuer, keeping its public key.
    int RewrapCertificate(const char* issuerPassword, const char* issuerFileName);

    // --- files ----------------------------------------------------------------------------------
    int ReadPem(const char* path);
    int ReadPKCS12(const char* path, const char* password);
    // Loads an issuing file into mpIssuerKey, mpIssuerX509 and mpChain only.
    int ReadRootPKCS12(const char* path, const char* password);
    int WritePem(const char* path);
    int WriteRaw(const char* path);
    // The chain bags: mpChain, then the issuer certificate. An empty password is asked on the
    // console.
    int WritePKCS12(const char* path, const char* password);
    int WritePrivateKeyPem(const char* path, const char* password);

private:
    // Takes key (may be null: a new RSA-2048 key is made) as the object's own key pair.
    bool TakeKeyPair(EVP_PKEY* key);
    // The release steps of the sharing rule.
    void ReleaseKey();
    void ReleaseIssuerKey();
    void ReleaseX509();
    void ReleaseIssuerX509();
    void ReleaseChain();
    // Drop the issuer's certificate or key: free it, or only forget it when the object is its
    // own issuer, so that loading a new issuer never takes the object's own certificate or key.
    void DetachIssuerX509();
    void DetachIssuerKey();
    time_t ValidityEndTime() const;

public:
    // Members in declaration order; the constructor sets the values noted. They are open so that
    // callers can inspect what was made; change them only through the operations above.
    X509* mpX509 = nullptr;    // new, version v3
    EVP_PKEY* mpKey = nullptr; // own key pair
    RSA* mpRSA = nullptr;      // holds its own reference to the RSA key inside mpKey
    bool mCA = false;
    int mPathLength = 0;
    unsigned mKeyUsage = 0;
    CertificateNames mIssuer;
    CertificateNames mSubject;
    int mSigningAlgorithm = 1;
    std::int64_t mSerialNumber = 0;
    bool mSerialNumberWide = false;     // written whole, not as its low 32 bits
    STACK_OF(X509) * mpChain = nullptr; // certificates above the issuer
    EVP_PKEY* mpIssuerKey = nullptr;    // signs
    X509* mpIssuerX509 = nullptr;
    std::int64_t mValidityStart = 0;
    bool mValidityStartExact = false; // mValidityStart 0 is a time, not "the time of issuing"
    std::int64_t mValidityEnd = 0;
    struct tm mDefaultValidityEnd; // 1 January 2025, 01:00:00 local time
    std::string mValidityStartText;
    std::string mValidityEndText;
};

// Decimal value of text (leading white space and a sign accepted, stops at the first non-digit);
// -1 for a null pointer.
std::int64_t Char2Int64(const char* text);
