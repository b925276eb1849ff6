// talvane-chain verify: reads chains from PEM, DER and PKCS#12 files and judges each by the
// digital-cinema rules, one line per finding.

#include "certificatesources.h"
#include "chaincommand.h"
#include "chainverifier.h"
#include "commandline.h"

#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace
{

constexpr int kDefaultWarnDays = 30;

void printFinding(const ChainFinding& finding)
{
    std::printf("%s: %s\n", finding.isError() ? "error" : "warning", finding.line().toUtf8().constData());
}

// The time to judge at, and the days before an end that deserve a warning.
std::optional<CommandError> readTimes(const QCommandLineParser& parser, ChainVerifier::Options& options)
{
    options.now = QDateTime::currentDateTimeUtc();
    if (parser.isSet(QLatin1String(ChainOption::At)))
    {
        options.now = QDateTime::fromString(parser.value(QLatin1String(ChainOption::At)), Qt::ISODateWithMs);
        if (!options.now.isValid())
            return CommandError{ExitUsage, QStringLiteral("The time \"%1\" of --at is not an ISO-8601 date and time.")
                                               .arg(parser.value(QLatin1String(ChainOption::At)))};
        options.nowChosen = true;
    }
    options.warnDays = kDefaultWarnDays;
    if (parser.isSet(QLatin1String(ChainOption::WarnDays)))
    {
        const QString text = parser.value(QLatin1String(ChainOption::WarnDays));
        bool number = false;
        options.warnDays = text.toInt(&number);
        if (!number || options.warnDays < 0 || text.startsWith(QLatin1Char('+')))
            return CommandError{ExitUsage, QStringLiteral("The number of days \"%1\" of --warn-days is not a whole "
                                                          "number of 0 or more.")
                                               .arg(text)};
    }
    return std::nullopt;
}

} // namespace

int RunVerify(const QCommandLineParser& parser)
{
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.isEmpty())
        return Report({ExitUsage, QStringLiteral("No file given to verify.")});

    ChainVerifier::Options options;
    options.digest = ChainVerifier::Options::Digest::Either;
    if (auto error = readTimes(parser, options))
        return Report(*error);

    ChainVerifier::initOpenSsl();
    CertificateSources sources(parser, ExitUsage);
    for (const QString& path : files)
        if (auto error = sources.add(path))
            return Report(*error);

    const ChainReport report = ChainVerifier::verifyCertificates(sources.borrowed(), options);
    int errors = 0;
    int warnings = 0;
    for (const ChainFinding& finding : report.findings)
    {
        printFinding(finding);
        (finding.isError() ? errors : warnings) += 1;
    }
    const size_t count = report.certificates;
    std::printf("%zu %s checked: %d %s, %d %s.\n", count, count == 1 ? "certificate" : "certificates", errors,
                errors == 1 ? "error" : "errors", warnings, warnings == 1 ? "warning" : "warnings");
    std::fflush(stdout);
    return errors == 0 ? ExitSuccess : ExitFailure;
}
