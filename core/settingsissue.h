#pragma once

#include "certificatesettings.h"
#include "osslptr.h"

#include <openssl/types.h>

#include <memory>

class Secret;
class ZIDCertificate;

// Gives `certificate` (borrowed) every parameter of `settings` for the given form type (see
// CertificateType; any other value gives a certificate without subject names) and issues it:
// a fresh key pair, the issuer read from settings.issuerFileName with `issuerPassword`
// (borrowed; settings.issuerPassword is not read), or a self-signed certificate when the file
// name is empty; then signed. False when issuing failed. The board is not seeded here; callers
// seed it right before. A `key` made beforehand passes to the certificate (which then owns it);
// without one a fresh key pair is made.
bool IssueFromSettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex,
                       const Secret& issuerPassword, EVP_PKEY* key = nullptr);

// An issuer held in memory, with references of its own.
struct IssuerObjects
{
    // What the key needs alive (a token's session); declared first, so that it goes last.
    std::shared_ptr<const void> keyHolder;
    X509Ptr certificate;
    EvpPkeyPtr key;          // signs
    OwnedX509StackPtr chain; // the certificates above `certificate`, root first
    bool valid() const { return certificate && key && chain; }
};

// What a certificate just issued (borrowed) is as the issuer of the next one: itself, its key and
// the chain its container holds. Not valid when a reference cannot be taken.
IssuerObjects IssuerObjectsOf(const ZIDCertificate& issued);

// The same as above, under an issuer in memory (borrowed) instead of an issuing file;
// settings.issuerFileName is not read.
bool IssueFromSettings(ZIDCertificate& certificate, const CertificateSettings& settings, int certComboIndex,
                       const IssuerObjects& issuer, EVP_PKEY* key = nullptr);
