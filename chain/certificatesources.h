#pragma once

#include "chaincommand.h"
#include "osslptr.h"
#include "secret.h"

#include <QString>

#include <optional>
#include <vector>

class QCommandLineParser;

// The certificates of the files a command names: PEM, DER or PKCS#12, told by their content.
// One password serves every PKCS#12 file of the run (--password-file, else TALVANE_PASSWORD,
// else a prompt), asked for at the first of them.
class CertificateSources
{
public:
    // missingFileStatus: the exit status for a file that does not exist.
    CertificateSources(const QCommandLineParser& parser, int missingFileStatus);

    // Adds the certificates of one file; an error when it holds none that can be read.
    std::optional<CommandError> add(const QString& path);

    // Every certificate added, in the order read; owned by this object.
    std::vector<X509*> borrowed() const;

private:
    std::optional<CommandError> needPassword(const QString& path);

    const QCommandLineParser& mParser;
    const int mMissingFileStatus;
    Secret mPassword;
    bool mHavePassword = false;
    std::vector<X509Ptr> mCertificates;
};
