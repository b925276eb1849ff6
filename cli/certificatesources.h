#pragma once

#include "chainverifier.h"
#include "command.h"
#include "osslptr.h"
#include "passwords.h"
#include "secret.h"

#include <QString>

#include <vector>

// The certificates of the files a command names: PEM, DER or PKCS#12, told by their content.
// One password serves every PKCS#12 file of the run (--password-file, else TALVANE_PASSWORD,
// else a prompt), asked for at the first of them.
class CertificateSources
{
public:
    explicit CertificateSources(const Invocation& invocation);

    // Adds the certificates of the command's files, in their order; a refusal when none is given
    // or one holds none that can be read.
    Refusal addOperands();
    // Adds the certificates of one file, or the certificate a pkcs11: URI names in a token (its
    // key stays there, which is said on standard error).
    Refusal add(const QString& path);

    // Every certificate added, in the order read; owned by this object.
    std::vector<X509*> borrowed() const;

private:
    Refusal needPassword(const QString& path);
    Refusal addFromToken(const QString& uri);

    const Invocation& mInvocation;
    const SecretsHeld mSecretsHeld; // for as long as the password is held
    Secret mPassword;
    bool mHavePassword = false;
    std::vector<X509Ptr> mCertificates;
};

// Why a container could not be opened, as a sentence for the file; nothing when it was opened.
Refusal ContainerRefusal(const QString& path, const ChainVerifier::Pkcs12Contents& contents);
