#pragma once

#include <string>

// The name texts of one side (issuer or subject) of a certificate, as the caller chose them.
// dnQualifier is only stored: a subject's dnQualifier is always derived from its public key.
struct CertificateNames
{
    std::string dnQualifier;
    std::string organizationName;     // O
    std::string organizationUnitName; // OU
    std::string commonName;           // CN
};
