#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <openssl/x509.h>

// What a certificate says about itself, read the way the verifier reads it, for a person or a
// script to look at: the identity other tools of the field ask for (dnQualifier, thumbprint)
// and the fields the profile is about.
struct CertificateFacts
{
    QString organization;       // O
    QString organizationalUnit; // OU
    QString commonName;         // CN
    QString dnQualifier;        // as the subject holds it
    QString roles;              // the CN's roles: before its first "."; empty for an authority
    QString issuerCommonName;
    // The whole names as RFC 2253 strings, the form XML signatures name a signer's issuer in
    // (X509IssuerName, beside the serial number as X509SerialNumber).
    QString subjectName;
    QString issuerName;
    QString serialDecimal;
    QString serialHex;   // upper case, whole bytes: "0A"
    QDateTime notBefore; // UTC; invalid when unreadable
    QDateTime notAfter;
    QString signatureAlgorithm; // "sha256WithRSAEncryption"
    QString keyAlgorithm;       // "RSA", as OpenSSL names the key type
    int keyBits = 0;
    QString keyExponent; // decimal; empty for a key without one
    bool hasBasicConstraints = false;
    bool ca = false;
    long pathLength = -1; // -1: none
    bool hasKeyUsage = false;
    QStringList keyUsage;      // the bits set, by name
    QString keyDnQualifier;    // Base64(SHA-1(DER RSAPublicKey)) of the certificate's key
    QString thumbprint;        // Base64(SHA-1(DER TBSCertificate))
    QString sha256Fingerprint; // of the whole DER certificate, "AB:CD:..."

    bool dnQualifierMatchesKey() const { return !dnQualifier.isEmpty() && dnQualifier == keyDnQualifier; }
};

// Reads them; borrowed. Leaves the OpenSSL error queue as it found it.
CertificateFacts ReadCertificateFacts(const X509* certificate);
