#pragma once

// The issuing certificate of an intermediate or a leaf, read from its PKCS#12 file once, with the
// checks every command that issues below it applies.

#include "certificatetype.h"
#include "command.h"
#include "issuingcertificate.h"

class Secret;

// Reads the file at `path` with `password` (borrowed); a refusal names the real cause: no such
// file, a wrong password, a certificate without its key, a file of another kind, a leaf.
Refusal readIssuer(const QString& path, const Secret& password, IssuingCertificate& issuer);

// A path length not given is the largest the issuer leaves; one given is refused, not corrected.
// A leaf's path length is not judged, only whether the issuer signs anything.
Refusal fitPathLength(CertificateType type, bool given, int& pathLength, const IssuingCertificate& issuer);
