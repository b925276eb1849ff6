#include "options.h"

#include <algorithm>
#include <array>

namespace
{

// In the order of the enum; checked by SpecOf. Descriptions say which certificate field an option
// fills, so that nobody has to guess what the window's labels mean.
const std::array<OptionSpec, 46> kOptions = {{
    {Option::Out, "out", nullptr, "NAME",
     "Destination: NAME.pem and NAME.pfx are written (NAME.pfx given is NAME)."},
    {Option::OutDir, "out-dir", nullptr, "DIR", "The folder to write into; made when missing."},
    {Option::Issuer, "issuer", nullptr, "FILE.pfx",
     "PKCS#12 file of the issuing certificate, with its key; or the pkcs11: URI of a key in a token."},
    {Option::RootName, "root-name", nullptr, "TEXT",
     "The root's organization, the subject's O; every certificate below the root carries the root's O."},
    {Option::Organization, "organization", "organisation", "TEXT",
     "Organisation name, the subject's organizational unit (OU)."},
    {Option::Entity, "entity", nullptr, "TEXT", "Entity name, the common name (CN) after its role prefix."},
    {Option::RootEntity, "root-entity", nullptr, "TEXT",
     "Entity name of the root (CN \".TEXT\"); default Root."},
    {Option::IntermediateEntity, "intermediate-entity", nullptr, "TEXT",
     "Entity name of the intermediates (CN \".TEXT\", then \".TEXT-2\", ...); default Intermediate."},
    {Option::LeafEntity, "leaf-entity", nullptr, "TEXT",
     "Entity name of the leaf (CN \"CS.TEXT\", or with --roles); default Leaf."},
    {Option::Intermediates, "intermediates", nullptr, "N", "Number of intermediates, 0 to 8; default 1."},
    {Option::Serial, "serial", nullptr, "N|random|trace",
     "Serial number (%1 to %2), or random (the default): drawn from 63 bits of the board-seeded generator, "
     "the trace file neither read nor written; or trace: the next one of the trace file serialNumberTrace, "
     "as the window takes it."},
    {Option::PathLength, "path-length", nullptr, "N", "Path length of an authority: at least 1."},
    {Option::Start, "start", nullptr, "ISO-8601", "Start of validity; default now."},
    {Option::End, "end", nullptr, "ISO-8601",
     "End of validity; default 3,649 days after the start, never after 2038-01-19T03:14:07Z."},
    {Option::Days, "days", nullptr, "N", "Valid for N days from the start, instead of --end."},
    {Option::Sha1, "sha1", nullptr, nullptr, "Sign with SHA-1 instead of SHA-256."},
    {Option::Force, "force", nullptr, nullptr, "Overwrite existing output files."},
    {Option::PasswordFile, "password-file", nullptr, "FILE",
     "First line of FILE (- for standard input): the password of the new PKCS#12 file, else "
     "TALVANE_PASSWORD, else asked twice."},
    {Option::IssuerPasswordFile, "issuer-password-file", nullptr, "FILE",
     "First line of FILE (- for standard input): the password of the issuing file, else "
     "TALVANE_ISSUER_PASSWORD, else asked."},
    {Option::InputPasswordFile, "input-password-file", "issuer-password-file", "FILE",
     "First line of FILE (- for standard input): the password of the PKCS#12 file read, else "
     "TALVANE_ISSUER_PASSWORD, else asked."},
    {Option::At, "at", nullptr, "ISO-8601",
     "Judge validity and the warnings at this time instead of now (when the chain is to be used)."},
    {Option::WarnDays, "warn-days", nullptr, "N",
     "Warn about a certificate that ends within N days of now, or of --at (default 30; 0: never)."},
    {Option::Json, "json", nullptr, nullptr, "Print one JSON document instead of text."},
    {Option::KeyPem, "key-pem", nullptr, "OUT",
     "The private key as PKCS#8 PEM, encrypted with AES-256-CBC (PBKDF2) under the new password; "
     "owner-only."},
    {Option::NoEncrypt, "no-encrypt", nullptr, nullptr,
     "Write the --key-pem key unencrypted (said on standard error)."},
    {Option::ChainPem, "chain-pem", nullptr, "OUT", "Every certificate as PEM in chain order, root first."},
    {Option::LeafFirst, "leaf-first", nullptr, nullptr,
     "--chain-pem with the leaf first, for tools that want the signer first."},
    {Option::Pkcs12, "pkcs12", nullptr, "OUT",
     "Key and certificates as a current PKCS#12 file (AES-256-CBC with PBKDF2, SHA-256 MAC, each certificate "
     "named after its CN) under the new password; owner-only."},
    {Option::Verbose, "verbose", nullptr, nullptr,
     "Also print the diagnostic lines of the engine and the board layer on standard error."},
    {Option::Manual, "manual", nullptr, nullptr, "Print the manual page (roff) instead."},
    {Option::All, "all", nullptr, nullptr, "Print the help of every command."},
    {Option::Profile, "profile", nullptr, "smpte|interop",
     "The certificate profile: smpte (the default) wants sha256WithRSAEncryption on every certificate and "
     "serial numbers of at most 64 bits; interop takes sha1WithRSAEncryption or sha256WithRSAEncryption, one "
     "of them for the whole chain, and serial numbers of at most 160 bits. Every other rule is common to "
     "both."},
    {Option::Signer, "signer", nullptr, nullptr,
     "The leaf must be a content signer, what signs a playlist or a package: its common name carries exactly "
     "the role CS (another role beside it is a warning). Without it any leaf with known roles passes, a "
     "device's "
     "(SM, LE SPB MD FM SM ...) as well."},
    {Option::Root, "root", nullptr, "FILE",
     "The trusted root (PEM or DER): every chain must end at it, else an error says where it ends."},
    {Option::RootThumbprint, "root-thumbprint", nullptr, "BASE64",
     "The trusted root by its thumbprint (Base64 of the SHA-1 of its TBSCertificate, as show prints it)."},
    {Option::Strict, "strict", nullptr, nullptr, "Warnings fail the run as errors do (exit status 1)."},
    {Option::Chain, "chain", nullptr, nullptr,
     "Renew a whole chain: a folder that chain made, or its .pfx files root first."},
    {Option::NewKey, "new-key", nullptr, nullptr,
     "Renew with a fresh RSA-2048 key: a new dnQualifier, so a new subject."},
    {Option::InPasswordFile, "in-password-file", nullptr, "FILE",
     "First line of FILE (- for standard input): the password of the PKCS#12 file renewed, else "
     "TALVANE_PASSWORD, else asked."},
    {Option::Within, "within", nullptr, "DAYS",
     "Certificates that end within DAYS days of now fail the run (default 90)."},
    {Option::Roles, "roles", nullptr, "\"R1 R2 ...\"",
     "The roles of a leaf, put in front of its entity in the common name (\"LE SPB MD FM SM.TEXT\"): CS "
     "(content signer, the default, and then alone), SM, SMS, SPB, MD, LE, LD, FM, PR."},
    {Option::Batch, "batch", nullptr, "FILE",
     "Many leaves in one run: after the header line \"name,entity,roles\", one leaf a line as "
     "\"NAME,ENTITY,ROLES\" (roles left empty are CS); # starts a comment."},
    {Option::Token, "token", nullptr, "URI",
     "Make the key inside the PKCS#11 token the URI names (pkcs11:token=LABEL;object=KEY-LABEL): RSA-2048, "
     "sensitive, never extractable; the certificate is stored beside it, and no .pfx is written."},
    {Option::Module, "module", nullptr, "PATH",
     "The token's PKCS#11 module; default the URI's module-path, else TALVANE_PKCS11_MODULE, else p11-kit's "
     "proxy, which finds every registered module."},
    {Option::PinFile, "pin-file", nullptr, "FILE",
     "First line of FILE (- for standard input): the token's user PIN, else TALVANE_PIN, else asked. Never "
     "on the command line or in the URI."},
    {Option::IssuerCert, "issuer-cert", nullptr, "FILE.pem",
     "The certificate of a key in a token, where the token holds none, and any certificates above it."},
}};

} // namespace

const OptionSpec& SpecOf(Option option)
{
    const OptionSpec& spec = kOptions[static_cast<size_t>(option)];
    Q_ASSERT(spec.option == option);
    return spec;
}

QString OptionText(Option option)
{
    return QStringLiteral("--") + QLatin1String(SpecOf(option).name);
}

QStringList AllOptionNames()
{
    QStringList names;
    for (const OptionSpec& spec : kOptions)
    {
        names << QLatin1String(spec.name);
        if (spec.alias)
            names << QLatin1String(spec.alias);
    }
    names.removeDuplicates();
    return names;
}
