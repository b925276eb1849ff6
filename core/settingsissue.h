#pragma once

#include "certificatesettings.h"

#include <openssl/types.h>

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
