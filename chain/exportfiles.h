#pragma once

#include "secret.h"

#include <QString>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <vector>

// The files `talvane-chain export` writes, each complete or not at all (the engine's atomic
// writer). Every pointer is borrowed. Each returns whether the file now holds it.

// The private key as PKCS#8 PEM, owner-only: encrypted with AES-256-CBC under a key derived
// with PBKDF2 (HMAC-SHA-256) from `password`, or unencrypted when `password` is null.
bool WriteKeyPem(const QString& path, EVP_PKEY* key, const Secret* password);

// One "CERTIFICATE" block per certificate, in the order given.
bool WriteCertificatesPem(const QString& path, const std::vector<X509*>& certificates);

// A PKCS#12 file of the current kind, owner-only: key and certificates encrypted with
// AES-256-CBC (PBKDF2, HMAC-SHA-256), a SHA-256 MAC, every bag named after its certificate's CN
// (followed by the serial number where CNs repeat) and only the key and its certificate
// sharing a localKeyID; `chain` follows `certificate` in the order given. The window's containers stay of the
// classic kind; this is for tools that refuse those.
bool WriteCurrentPkcs12(const QString& path, EVP_PKEY* key, X509* certificate,
                        const std::vector<X509*>& chain, const Secret& password);
