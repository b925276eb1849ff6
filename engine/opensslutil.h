#pragma once

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <string>

// Stateless helpers over OpenSSL for the certificate engine.
//
// Results: non-zero on success, 0 on failure (a few return a length, as noted). A missing
// argument prints one fixed diagnostic line ("OpenSSLUtil::Operation(): text") on standard output.
// Every call leaves the OpenSSL error queue empty, so no stale error reaches the next caller.
//
// Ownership: a T** output is released first and then receives a new object that the caller owns;
// every other pointer argument is borrowed. char** outputs are arrays freed with delete[].
//
// Files are written through a temporary file in the target's folder that replaces the target
// only once it is complete; files holding a private key are created owner-only.
class OpenSSLUtil
{
public:
    OpenSSLUtil() = delete;

    // --- keys ---------------------------------------------------------------------------------
    // A new 2048-bit key, exponent 65537; 1 only if RSA_check_key accepts it (a key failing the
    // check still lands in *key). The random generator must have been seeded.
    static int RSACreate2048(RSA** key);
    // The same key as a key pair for IssueCertificate: *key is freed first and stays null when
    // the generation or the check failed. Safe on any thread, several at once.
    static int KeyPairCreate2048(EVP_PKEY** key);
    // *out: a new reference to cert's RSA public key; the previous *out is freed.
    static int ExtractRSAPublicKey(X509* cert, RSA** out);

    // --- names --------------------------------------------------------------------------------
    // Text of the first entry: its length (at most 255), 0 when empty or on error, -1 when the
    // name lacks the attribute (then *out is unchanged).
    static int X509ExtractIssuerCommonName(X509* cert, std::string* out);
    static int X509ExtractIssuerOrganizationName(X509* cert, std::string* out);
    static int X509ExtractIssuerOrganizationUnitName(X509* cert, std::string* out);
    static int X509ExtractSubjectCommonName(X509* cert, std::string* out);
    static int X509ExtractSubjectOrganizationName(X509* cert, std::string* out);
    static int X509ExtractSubjectOrganizationUnitName(X509* cert, std::string* out);

    // Replace the first entry of the attribute in place (an empty text removes it). CN, O and OU
    // take 1 to 64 characters. The subject's dnQualifier drops the text's last character (the
    // line feed that Base64Encode ends with).
    static int X509SetIssuerCommonName(X509* cert, const std::string& text);
    static int X509SetIssuerOrganizationName(X509* cert, const std::string& text);
    static int X509SetIssuerOrganizationUnitName(X509* cert, const std::string& text);
    static int X509SetIssuerDnQualifier(X509* cert, const std::string& text);
    static int X509SetSubjectCommonName(X509* cert, const std::string& text);
    static int X509SetSubjectOrganizationName(X509* cert, const std::string& text);
    static int X509SetSubjectOrganizationUnitName(X509* cert, const std::string& text);
    static int X509SetSubjectDnQualifier(X509* cert, const std::string& text);

    // The whole name on one line, last entry first; escaped = RFC 2253. Result: its length.
    static int X509ExtractIssuerName(X509* cert, std::string* out, bool escaped);
    static int X509ExtractSubjectName(X509* cert, std::string* out, bool escaped);

    // --- serial, constraints, validity --------------------------------------------------------
    // -1 in *out for a serial that does not fit a signed 32-bit integer.
    static int X509ExtractSerialNumber(X509* cert, int* out);
    // *pathLength is 0 when the constraint is absent; outputs unchanged on failure.
    static int X509ExtractBasicConstraints(X509* cert, bool* ca, int* pathLength);
    // Printed like "Jan  1 01:00:00 2025 GMT".
    static int X509ExtractValidityStart(X509* cert, std::string* out);
    static int X509ExtractValidityEnd(X509* cert, std::string* out);

    // --- signature algorithm and thumbprint ---------------------------------------------------
    // bits 1: signed with sha1WithRSAEncryption; bits 256: with sha256WithRSAEncryption.
    static int X509IsSHAN(X509* cert, int bits);
    // SHA-1 of the DER TBSCertificate into out (20 bytes, borrowed); result 20.
    static int X509GetThumbprintSHA1(X509* cert, unsigned char* out);

    // --- extensions (OpenSSL's v3 configuration syntax) ---------------------------------------
    static int X509AddV3Extension(X509* issuer, X509* subject, int nid, const char* value);
    // The old extension of that kind is removed even when value cannot be made into a new one.
    static int X509ReplaceV3Extension(X509* issuer, X509* subject, int nid, const char* value);

    // --- Base64 -------------------------------------------------------------------------------
    // *out must be null; it receives a NUL-terminated array (caller frees with delete[]).
    // Result: bytes produced (a line feed ends every line of 64 and the last line).
    static int Base64Encode(const unsigned char* data, char** out, int length);
    static int Base64Decode(const char* text, char** out, int length);

    // --- self-signed certificate in one call --------------------------------------------------
    // *cert: an empty certificate made by the caller, filled in and signed with key (borrowed).
    static int X509CreateDCCertificate(X509** cert, EVP_PKEY* key, int* serial, const char* issuerCommonName,
                                       const char* subjectCommonName, int* days);

    // --- certificate files --------------------------------------------------------------------
    // *cert is freed and set null first; pem: first CERTIFICATE block, else one DER certificate.
    static int LoadX509Certificate(const char* path, X509** cert, bool pem);
    static int PEMWriteX509(X509* cert, const char* path);
    static int X509WriteDER(X509* cert, const char* path);

    // --- RSA key files ------------------------------------------------------------------------
    // With a password the key is encrypted (AES-128-CBC, traditional PEM); "" fails; null: clear.
    static int PEMWritePrivateRSAKey(const char* path, RSA* key, const char* password);
    static int PEMExtractPrivateRSAKey(const char* path, RSA** key, const char* password);
    static int PEMWritePublicRSAKey(const char* path, RSA* key);
    // "PUBLIC KEY" first, then "RSA PUBLIC KEY".
    static int PEMExtractPublicRSAKey(const char* path, RSA** key, const char* password);

    // --- console -----------------------------------------------------------------------------
    // Reads a password without echo into buffer (borrowed, size bytes, NUL-terminated).
    // Result: characters taken; 0 at once when there is no console.
    static int getpwd(char* buffer, int size);

    // --- PKCS#12 ------------------------------------------------------------------------------
    // Classic container: certificates under RC2-40, key under 3DES (2048 iterations each), SHA-1
    // MAC with one iteration. chain may be null. A null password is asked on the console.
    static int PKCS12Write(const char* path, X509* cert, EVP_PKEY* key, STACK_OF(X509) * chain,
                           const char* password);
    // Outputs are freed and set null first, and stay empty after a failure. chain may be null;
    // otherwise *chain becomes a list (possibly empty) of the other certificates in file order.
    static int PKCS12Extract(const char* path, EVP_PKEY** key, X509** cert, STACK_OF(X509) * *chain,
                             const char* password);
    static int PCKS12ExtractPrivateKey(const char* path, EVP_PKEY** key, const char* password);
    // The readers above refuse a container whose MAC or encryption asks for more iterations
    // than kPkcs12MostIterations (pkcs12work.h), before deriving anything. 1 when that is why
    // `path` is refused (with this password, which reveals the counts of encrypted parts); 0
    // otherwise, also for a file that is no container.
    static int PKCS12IterationsTooHigh(const char* path, const char* password);
    static int X509LoadCertificatePCKS12(const char* path, const char* password, X509** cert);

    // --- files for other tools -------------------------------------------------------------
    // The key as PKCS#8 PEM, owner-only: encrypted with AES-256-CBC under a key derived with PBKDF2
    // (HMAC-SHA-256) from password, or in the clear when password is null ("" fails).
    static int PEMWritePKCS8PrivateKey(const char* path, EVP_PKEY* key, const char* password);
    // One CERTIFICATE block per certificate of certs, in its order.
    static int PEMWriteX509Chain(STACK_OF(X509) * certs, const char* path);
    // A container of the current kind, owner-only: key and certificates under AES-256-CBC (PBKDF2,
    // HMAC-SHA-256), a SHA-256 MAC, every bag named after its certificate's CN (followed by the
    // serial number where CNs repeat), only the key and its certificate sharing a localKeyID;
    // chain (may be null) follows cert in its order. password must not be empty.
    static int PKCS12WriteCurrent(const char* path, X509* cert, EVP_PKEY* key, STACK_OF(X509) * chain,
                                  const char* password);

    // Key and certificates from one PEM file: CA certificates go to *chain in file order, the
    // last other certificate to *cert. chain is required.
    static int PEMExtract(const char* path, EVP_PKEY** key, X509** cert, STACK_OF(X509) * *chain,
                          const char* password);

    // --- certificate requests --------------------------------------------------------------
    // The request as one "CERTIFICATE REQUEST" block.
    static int PEMWriteX509REQ(X509_REQ* request, const char* path);
    // A container of the current kind holding only key, its bag named name, owner-only; password
    // must not be empty.
    static int PKCS12WriteKey(const char* path, EVP_PKEY* key, const char* name, const char* password);
    // A self-signed root (CN name, 100 days) with its key in a PKCS#12 file. key may be null:
    // a new one is made (and freed); a given key stays the caller's.
    static int X509CreateRootDC(const char* path, const char* password, int* serial, const char* name,
                                EVP_PKEY* key);
};
