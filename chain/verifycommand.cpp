// talvane-chain verify: reads a chain from PEM and PKCS#12 files and judges it by the
// digital-cinema rules, one line per finding.

#include "chaincommand.h"
#include "chainverifier.h"
#include "commandline.h"
#include "passwordsource.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <optional>

namespace
{

bool looksLikePem(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(64 * 1024).contains("-----BEGIN ");
}

class Sources
{
public:
    explicit Sources(const QCommandLineParser& parser) : mParser(parser) {}

    // Adds the certificates of one file; an error when it holds none that can be read.
    std::optional<CommandError> add(const QString& path)
    {
        if (!QFile::exists(path))
            return CommandError{ExitUsage, QStringLiteral("The file %1 does not exist.").arg(path)};
        if (looksLikePem(path))
        {
            std::vector<X509Ptr> inFile = ChainVerifier::loadPemCertificates(path);
            if (inFile.empty())
                return CommandError{ExitFailure, QStringLiteral("The file %1 holds no readable certificate.").arg(path)};
            for (X509Ptr& certificate : inFile)
                mCertificates.push_back(std::move(certificate));
            return std::nullopt;
        }
        if (auto error = needPassword(path))
            return error;
        ChainVerifier::Pkcs12Contents contents = ChainVerifier::loadPkcs12(path, QByteArray(mPassword.data()));
        if (!contents.ok())
            return CommandError{ExitFailure, QStringLiteral("The file %1 cannot be read as a PKCS#12 file with the "
                                                            "password given.")
                                                 .arg(path)};
        // The container holds the certificate with the key first; the chain above it is
        // ordered afterwards anyway.
        for (X509Ptr& certificate : contents.chain)
            mCertificates.push_back(std::move(certificate));
        mCertificates.push_back(std::move(contents.certificate));
        return std::nullopt;
    }

    std::vector<X509*> borrowed() const
    {
        std::vector<X509*> out;
        for (const X509Ptr& certificate : mCertificates)
            out.push_back(certificate.get());
        return out;
    }

private:
    // One password for every PKCS#12 file of the run, asked for at the first.
    std::optional<CommandError> needPassword(const QString& path)
    {
        if (mHavePassword)
            return std::nullopt;
        CommandError error;
        const PasswordSource source{mParser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                    QStringLiteral("--password-file"), QStringLiteral("the PKCS#12 file %1").arg(path),
                                    false};
        if (!ObtainPassword(source, mPassword, error))
            return error;
        mHavePassword = true;
        return std::nullopt;
    }

    const QCommandLineParser& mParser;
    Secret mPassword;
    bool mHavePassword = false;
    std::vector<X509Ptr> mCertificates;
};

void printFinding(const ChainFinding& finding)
{
    std::printf("%s: %s\n", finding.isError() ? "error" : "warning", finding.line().toUtf8().constData());
}

} // namespace

int RunVerify(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.isEmpty())
        return Report({ExitUsage, QStringLiteral("No file given to verify.")});

    QDateTime now = QDateTime::currentDateTimeUtc();
    if (parser.isSet(QLatin1String(ChainOption::At)))
    {
        now = QDateTime::fromString(parser.value(QLatin1String(ChainOption::At)), Qt::ISODateWithMs);
        if (!now.isValid())
            return Report({ExitUsage, QStringLiteral("The time \"%1\" of --at is not an ISO-8601 date and time.")
                                          .arg(parser.value(QLatin1String(ChainOption::At)))});
    }

    ChainVerifier::initOpenSsl();
    Sources sources(parser);
    for (const QString& path : files)
        if (auto error = sources.add(path))
            return Report(*error);

    QString orderProblem;
    const std::vector<X509*> chain = ChainVerifier::orderRootFirst(sources.borrowed(), &orderProblem);
    ChainVerifier::Options options;
    options.digest = ChainVerifier::Options::Digest::Either;
    options.lastIsLeaf = ChainVerifier::endsInLeaf(chain);
    options.now = now;

    std::vector<ChainFinding> findings;
    if (!orderProblem.isEmpty())
        findings.push_back({ChainFinding::Severity::Error, QStringLiteral("chain order"), QStringLiteral("chain"),
                            orderProblem + QStringLiteral("; judged in the order given")});
    for (ChainFinding& finding : ChainVerifier::verify(chain, options))
        findings.push_back(std::move(finding));

    int errors = 0;
    int warnings = 0;
    for (const ChainFinding& finding : findings)
    {
        printFinding(finding);
        (finding.isError() ? errors : warnings) += 1;
    }
    std::printf("%zu %s checked: %d %s, %d %s.\n", chain.size(), chain.size() == 1 ? "certificate" : "certificates",
                errors, errors == 1 ? "error" : "errors", warnings, warnings == 1 ? "warning" : "warnings");
    std::fflush(stdout);
    return errors == 0 ? ExitSuccess : ExitFailure;
}
