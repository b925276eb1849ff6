// talvane-chain verify: reads chains from PEM, DER and PKCS#12 files and judges each by the
// digital-cinema rules, one line per finding.

#include "commands.h"

#include "certificatesources.h"
#include "chainrules.h"
#include "chainverifier.h"
#include "console.h"
#include "notes.h"
#include "refusals.h"
#include "values.h"

#include <optional>

namespace
{

constexpr int kDefaultWarnDays = 30;

// The time to judge at, and the days before an end that deserve a warning.
Refusal readTimes(const Invocation& invocation, ChainVerifier::Options& options)
{
    options.now = QDateTime::currentDateTimeUtc();
    if (invocation.isSet(Option::At))
    {
        const auto at = parseTime(invocation.value(Option::At));
        if (!at)
            return Refuse::notATime(invocation.value(Option::At), OptionText(Option::At));
        options.now = *at;
        options.nowChosen = true;
    }
    if (invocation.isSet(Option::Profile))
    {
        const QString profile = invocation.value(Option::Profile);
        if (profile == QLatin1String("smpte"))
            options.profile = ChainVerifier::Options::Profile::Smpte;
        else if (profile == QLatin1String("interop"))
            options.profile = ChainVerifier::Options::Profile::Interop;
        else
            return Refuse::unknownProfile(profile);
    }
    options.warnDays = kDefaultWarnDays;
    if (invocation.isSet(Option::WarnDays))
    {
        const auto days = parseDays(invocation.value(Option::WarnDays), 0);
        if (!days || *days > CertificateRules::kMostValidityDays)
            return Refuse::notDays(invocation.value(Option::WarnDays), OptionText(Option::WarnDays), 0);
        options.warnDays = int(*days);
    }
    return std::nullopt;
}

int run(Invocation& invocation)
{
    Console& console = invocation.console();
    if (invocation.operands().isEmpty())
        return Report(console, Refuse::noFiles(QLatin1String(invocation.command().name)));

    ChainVerifier::Options options;
    if (auto error = readTimes(invocation, options))
        return Report(console, *error);

    CertificateSources sources(invocation);
    if (auto error = sources.addOperands())
        return Report(console, *error);

    const ChainReport report = ChainVerifier::verifyCertificates(sources.borrowed(), options);
    int errors = 0;
    int warnings = 0;
    for (const ChainFinding& finding : report.findings)
    {
        console.outLine(Note::finding(finding.isError(), finding.line()));
        (finding.isError() ? errors : warnings) += 1;
    }
    console.outLine(Note::verifySummary(int(report.certificates), errors, warnings));
    return errors == 0 ? ExitSuccess : ExitFailure;
}

} // namespace

const Command& VerifyCommand()
{
    static const Command command{
        "verify",
        "verify FILE... [--password-file FILE] [--at ISO-8601] [--warn-days N]",
        "judge chains by the digital-cinema certificate rules",
        "Reads the certificates of PEM, DER and PKCS#12 files (told by their content, not their names), "
        "sorts "
        "them into chains and judges every chain by the digital-cinema certificate profile: one line per "
        "finding on standard output, \"error: \" or \"warning: \" first, then a summary line.\n"
        "The exit status is 1 when a chain has an error.",
        "talvane-chain verify root.pem intermediate.pem player.pem\n"
        "talvane-chain verify player.pfx --password-file password --at 2030-01-01T00:00:00Z",
        {{Option::PasswordFile,
          "First line of FILE (- for standard input): the password of the PKCS#12 files, "
          "else TALVANE_PASSWORD, else asked."},
         {Option::Profile},
         {Option::At},
         {Option::WarnDays}},
        "FILE...",
        "Certificate files: PEM, DER or PKCS#12.",
        run};
    return command;
}
