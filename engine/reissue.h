#pragma once

// Issuing a certificate again: the same subject and extensions under a new serial number and
// validity, for a certificate nearing its end (or with a fresh key).

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdint>

struct ReissueParameters
{
    std::int64_t serial = 0;    // written whole
    std::int64_t notBefore = 0; // seconds since 1970 UTC
    std::int64_t notAfter = 0;
};

// Builds *out (freed first; the caller's afterwards) from `certificate` (borrowed): its subject
// byte for byte, its extensions in their order, its signature digest; a new serial and validity;
// the issuer name of `issuerCertificate` (borrowed; null: the new certificate is its own issuer)
// and an authorityKeyIdentifier naming it in the form the old one had (key identifier, and
// issuer name and serial where the old one named them; none where the old one had none); signed
// with `issuerKey` (borrowed; for a self-issued certificate the key of its own). `newKey`
// (borrowed, may be null) replaces the public key, and with it the subjectKeyIdentifier and the
// subject's dnQualifier. Result 1 on success, 0 with a diagnostic line.
int ReissueCertificate(X509* certificate, EVP_PKEY* newKey, X509* issuerCertificate, EVP_PKEY* issuerKey,
                       const ReissueParameters& parameters, X509** out);

// The key identifier and dnQualifier text of `key` (borrowed): Base64 of the SHA-1 of its DER
// RSAPublicKey, without a line end. *out is freed with delete[] first and is the caller's
// afterwards (delete[]). Result: its length, 0 on failure.
int KeyDnQualifier(EVP_PKEY* key, char** out);

// 1 when `issuer` (borrowed) is the issuer `certificate` (borrowed) names: its subject is the
// certificate's issuer name, and where the certificate's authorityKeyIdentifier holds a key
// identifier, it is the issuer's. The issuer's serial number is not compared: a renewed issuer
// with the same key and subject is still the issuer.
int NamesIssuer(X509* certificate, X509* issuer);

// 1 when `certificate` (borrowed) is its own issuer: its issuer name is its subject and its
// signature verifies with its own key.
int IsSelfSigned(X509* certificate);
