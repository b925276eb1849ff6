#pragma once

// The issuing certificate of an intermediate or a leaf, read from its PKCS#12 file once, with the
// checks every command that issues below it applies.

#include "certificatetype.h"
#include "command.h"
#include "issuingcertificate.h"

#include "chainrules.h"

class Console;
class Invocation;
class Secret;
struct PeriodRequest;

// Reads the file at `path` with `password` (borrowed); a refusal names the real cause: no such
// file, a wrong password, a certificate without its key, a file of another kind, a leaf.
Refusal readIssuer(const QString& path, const Secret& password, IssuingCertificate& issuer);

// A path length not given is the largest the issuer leaves; one given is refused, not corrected.
// A leaf's path length is not judged, only whether the issuer signs anything.
Refusal fitPathLength(CertificateType type, bool given, int& pathLength, const IssuingCertificate& issuer);

// The issuer of a run of leaves (sign, leaf --batch): its password from --issuer-password-file, the
// environment or a prompt, into `password` (which the caller keeps while it issues); read once;
// able to sign leaves; and the run's one period under it.
Refusal readLeafIssuer(const Invocation& invocation, const QString& path, const PeriodRequest& requested,
                       Secret& password, IssuingCertificate& issuer, CertificateRules::ChainPeriod& period);
