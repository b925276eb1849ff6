#include "certificatesources.h"

#include "chainverifier.h"
#include "commandline.h"
#include "passwordsource.h"

#include <QCommandLineParser>
#include <QFile>

CertificateSources::CertificateSources(const QCommandLineParser& parser, int missingFileStatus)
    : mParser(parser), mMissingFileStatus(missingFileStatus)
{
}

std::optional<CommandError> CertificateSources::add(const QString& path)
{
    if (!QFile::exists(path))
        return CommandError{mMissingFileStatus, QStringLiteral("The file %1 does not exist.").arg(path)};
    using Kind = ChainVerifier::CertificateFile::Kind;
    ChainVerifier::CertificateFile file = ChainVerifier::loadCertificateFile(path);
    if (file.kind == Kind::Unreadable)
        return CommandError{ExitFailure, QStringLiteral("The file %1 cannot be read.").arg(path)};
    // A damaged block is never passed over: judging the blocks before it would judge another chain.
    if (file.kind == Kind::Damaged)
        return CommandError{ExitFailure,
                            file.certificates.empty()
                                ? QStringLiteral("The file %1 holds no readable certificate.").arg(path)
                                : QStringLiteral("PEM block %2 of the file %1 cannot be read.")
                                      .arg(path)
                                      .arg(file.damagedBlock)};
    if (file.kind == Kind::Pem || file.kind == Kind::Der)
    {
        if (file.certificates.empty())
            return CommandError{ExitFailure,
                                QStringLiteral("The file %1 holds no readable certificate.").arg(path)};
        for (X509Ptr& certificate : file.certificates)
            mCertificates.push_back(std::move(certificate));
        return std::nullopt;
    }
    if (auto error = needPassword(path))
        return error;
    // Borrows the password's bytes: a copy would outlive the wiping.
    ChainVerifier::Pkcs12Contents contents =
        ChainVerifier::loadPkcs12(path, QByteArray::fromRawData(mPassword.data(), mPassword.size()));
    if (!contents.ok())
        return CommandError{ExitFailure,
                            QStringLiteral("The file %1 cannot be read as a PKCS#12 file with the "
                                           "password given.")
                                .arg(path)};
    // The container holds the certificate with the key first; the chain above it is put in
    // order afterwards anyway.
    for (X509Ptr& certificate : contents.chain)
        mCertificates.push_back(std::move(certificate));
    mCertificates.push_back(std::move(contents.certificate));
    return std::nullopt;
}

std::vector<X509*> CertificateSources::borrowed() const
{
    std::vector<X509*> out;
    for (const X509Ptr& certificate : mCertificates)
        out.push_back(certificate.get());
    return out;
}

std::optional<CommandError> CertificateSources::needPassword(const QString& path)
{
    if (mHavePassword)
        return std::nullopt;
    CommandError error;
    const PasswordSource source{mParser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                QStringLiteral("--password-file"),
                                QStringLiteral("the PKCS#12 file %1").arg(path), false};
    if (!ObtainPassword(source, mPassword, error))
        return error;
    mHavePassword = true;
    return std::nullopt;
}
