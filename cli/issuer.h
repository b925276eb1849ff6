#pragma once

// The issuing certificate of an intermediate or a leaf, read from its PKCS#12 file once, with the
// checks every command that issues below it applies.

#include "certificatesettings.h"
#include "certificatetype.h"
#include "command.h"
#include "issuingcertificate.h"

#include "chainrules.h"

#include <vector>

class Console;
class Invocation;
class Secret;
struct PeriodRequest;
struct TokenAccess;

// The issuer option (--issuer) of every command that issues below an authority, read in one
// place so that each such command takes a token's key as it takes a .pfx: either the PKCS#12 file
// of the issuing certificate with its key (the password from --issuer-password-file, else
// TALVANE_ISSUER_PASSWORD, else a prompt), or the pkcs11: URI of a key in a token (the PIN from
// --pin-file, else TALVANE_PIN, else a prompt; the module from --module; the certificate stored
// beside the key, else the one of --issuer-cert that is the key's, with the certificates above it
// from the same file). Either way the same checks: an authority, its certificate and its key
// together; `issuer.objects` signs, and keeps a token's session open for as long as it lives.
// The command holds SecretsHeld while this runs.
// A command that stores a certificate beside the issuer's key (a renewed root) gives `token`
// (borrowed), which is then the token opened, with the key's label and id; untouched for a .pfx.
Refusal ObtainIssuer(const Invocation& invocation, IssuingCertificate& issuer, TokenAccess* token = nullptr);

// The key that the pkcs11: URI `uri` names, with its certificate, read and checked as ObtainIssuer
// reads one given as --issuer; `token` is then the token opened, with the key's label and id. For
// renew, whose operand may name a root in a token.
Refusal ObtainTokenIssuer(const Invocation& invocation, const QString& uri, IssuingCertificate& issuer,
                          TokenAccess& token);

// The options ObtainIssuer reads, for the option list of a command that issues.
std::vector<CommandOption> IssuerOptions();
// The same, followed by a command's own options.
std::vector<CommandOption> IssuerOptionsWith(const std::vector<CommandOption>& own);

// Whether the issuer option names a key in a token rather than a file.
bool IssuerInToken(const Invocation& invocation);

// Reads the file at `path` with `password` (borrowed); a refusal names the real cause: no such
// file, a wrong password, a certificate without its key, a file of another kind, a leaf.
Refusal readIssuer(const QString& path, const Secret& password, IssuingCertificate& issuer);

// A path length not given is the largest the issuer leaves; one given is refused, not corrected.
// A leaf's path length is not judged, only whether the issuer signs anything.
Refusal fitPathLength(CertificateType type, bool given, int& pathLength, const IssuingCertificate& issuer);

// The issuer of a run of leaves (sign, leaf --batch), by ObtainIssuer (a .pfx or a token's key):
// read once, able to sign leaves, and the run's one period under it.
Refusal readLeafIssuer(const Invocation& invocation, const PeriodRequest& requested,
                       IssuingCertificate& issuer, CertificateRules::ChainPeriod& period);

// What every leaf of such a run shares: under `issuer`, the OU `organization` or the issuer's, the
// run's period, SHA-256 unless `sha1`.
CertificateSettings LeafSettingsUnder(const IssuingCertificate& issuer, const QString& organization,
                                      const CertificateRules::ChainPeriod& period, bool sha1);
