#pragma once

// The steps of renewing that one certificate and a whole chain share: reading what is renewed,
// the period under the renewed issuer, issuing again, the warnings on what was made.

#include "chainrules.h"
#include "command.h"
#include "issuingcertificate.h"
#include "osslptr.h"
#include "validity.h"

#include <QString>

#include <vector>

class Console;
class Secret;

// One PKCS#12 file read to be renewed.
struct RenewedContainer
{
    QString path;
    EvpPkeyPtr key;
    X509Ptr certificate;
    std::vector<X509Ptr> chain; // as the container holds it
    QString commonName;
    QString issuerCommonName;
    bool authority = false;
    bool root = false; // its own issuer
};

// Reads `path` with `password` (borrowed): a container with the certificate's own key, and a
// certificate of the profile (RSA-2048, basicConstraints, keyUsage, the dnQualifier of its key,
// O, OU and CN), whichever tool made it.
Refusal readRenewed(const QString& path, const Secret& password, RenewedContainer& container);

// What the period rules need of an issuer about to be made with `period`.
IssuingCertificate issuerFacts(const CertificateRules::ChainPeriod& period);

// Issues `old` (borrowed) again with `serial` and `period` under `issuer` / `issuerKey` (both
// borrowed; a null issuer: self-issued, signed by `issuerKey`), with `newKey` (borrowed, may be
// null) in place of its key. Into `made`.
Refusal reissue(X509* old, EVP_PKEY* newKey, X509* issuer, EVP_PKEY* issuerKey, qint64 serial,
                const CertificateRules::ChainPeriod& period, X509Ptr& made);
