#include "commandline.h"

#include "certificaterules.h"
#include "chaincommand.h"

#include <QCommandLineParser>

#include <array>
#include <cstdio>

namespace
{

// The commands as flags, so that each option can name where it applies.
enum CommandFlag : unsigned
{
    Root = 1,
    Intermediate = 2,
    Leaf = 4,
    Verify = 8,
    Create = Root | Intermediate | Leaf
};

struct CommandEntry
{
    const char* name;
    CommandFlag flag;
    CertificateType type; // what a create command makes; not read for verify
};

constexpr std::array<CommandEntry, 4> kCommands = {{
    {"root", Root, CertificateType::Root},
    {"intermediate", Intermediate, CertificateType::Intermediate},
    {"leaf", Leaf, CertificateType::Leaf},
    {"verify", Verify, CertificateType::Root},
}};

struct OptionEntry
{
    const char* name;
    const char* valueName; // null for a switch
    const char* description;
    unsigned commands;
};

const std::array<OptionEntry, 14> kOptions = {{
    {ChainOption::Out, "NAME", "Destination: NAME.pem and NAME.pfx are written, named as the window names them.",
     Create},
    {ChainOption::Issuer, "FILE.pfx", "PKCS#12 file of the issuing certificate (intermediate and leaf).",
     Intermediate | Leaf},
    {ChainOption::RootName, "TEXT", "Organization (O) of a root; below it the O comes from the issuer.", Root},
    {ChainOption::Organization, "TEXT", "Organisation name, the organizational unit (OU).", Create},
    {ChainOption::Entity, "TEXT", "Entity name, the common name (CN); \".\" and for a leaf \"CS\" go in front.",
     Create},
    // The range (%1, %2) comes from the rules.
    {ChainOption::Serial, "N", "Serial number (%1 to %2); default: the next one of the trace file.", Create},
    {ChainOption::PathLength, "N",
     "Path length of an authority: at least 1, below the issuer's; default 3 for a root, the issuer's less one "
     "for an intermediate.",
     Root | Intermediate},
    {ChainOption::Start, "ISO-8601", "Start of validity; default now (not before the issuer's start).", Create},
    {ChainOption::End, "ISO-8601", "End of validity; default one year after the start (not after the issuer's end).",
     Create},
    {ChainOption::Sha1, nullptr, "Sign with SHA-1 instead of SHA-256.", Create},
    {ChainOption::Force, nullptr, "Overwrite existing output files.", Create},
    {ChainOption::PasswordFile, "FILE",
     "First line of FILE: password of the new PKCS#12 file, or of the files to verify (else TALVANE_PASSWORD, "
     "else a prompt).",
     Create | Verify},
    {ChainOption::IssuerPasswordFile, "FILE",
     "First line of FILE: password of the issuing file (else TALVANE_ISSUER_PASSWORD, else a prompt).",
     Intermediate | Leaf},
    {ChainOption::At, "ISO-8601",
     "Verify: judge validity and the warnings at this time instead of now (when the chain is to be used).",
     Verify},
}};

const char kDescription[] =
    "Creates and verifies digital-cinema certificate chains.\n"
    "\n"
    "  talvane-chain root|intermediate|leaf --out NAME [options]\n"
    "  talvane-chain verify FILE... [--password-file FILE] [--at ISO-8601]\n"
    "\n"
    "Exit status: 0 success, 1 creation failed or verification found errors, 2 bad usage.";

void printOut(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void addOptions(QCommandLineParser& parser)
{
    for (const OptionEntry& entry : kOptions)
    {
        QString description = QString::fromLatin1(entry.description);
        if (entry.name == ChainOption::Serial)
            description = description.arg(CertificateRules::kSmallestSerial).arg(CertificateRules::kLargestSerial);
        QCommandLineOption option(QString::fromLatin1(entry.name), description);
        if (entry.valueName)
            option.setValueName(QString::fromLatin1(entry.valueName));
        parser.addOption(option);
    }
}

} // namespace

int Report(const CommandError& error)
{
    std::fprintf(stderr, "%s\n", error.sentence.toLocal8Bit().constData());
    std::fflush(stderr);
    return error.status;
}

int RunCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    addOptions(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("root, intermediate, leaf or verify."));
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Certificate files to verify (PEM or PKCS#12)."),
                                 QStringLiteral("[FILE...]"));

    if (!parser.parse(arguments))
        return Report({ExitUsage, parser.errorText()});
    if (parser.isSet(help))
    {
        printOut(parser.helpText());
        return ExitSuccess;
    }
    if (parser.isSet(version))
    {
        printOut(QStringLiteral("talvane-chain %1\n").arg(QCoreApplication::applicationVersion()));
        return ExitSuccess;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Report({ExitUsage, QStringLiteral("No command given: use root, intermediate, leaf or verify "
                                                 "(see --help).")});
    const CommandEntry* command = nullptr;
    for (const CommandEntry& entry : kCommands)
        if (positional.front() == QLatin1String(entry.name))
            command = &entry;
    if (!command)
        return Report({ExitUsage, QStringLiteral("Unknown command \"%1\": use root, intermediate, leaf or verify.")
                                      .arg(positional.front())});

    for (const OptionEntry& entry : kOptions)
        if (!(entry.commands & command->flag) && parser.isSet(QString::fromLatin1(entry.name)))
            return Report({ExitUsage, QStringLiteral("The option --%1 does not apply to the command %2.")
                                          .arg(QLatin1String(entry.name), QLatin1String(command->name))});
    // An option given twice would leave one of the values unused without a word.
    for (const OptionEntry& entry : kOptions)
        if (entry.valueName && parser.values(QString::fromLatin1(entry.name)).size() > 1)
            return Report({ExitUsage, QStringLiteral("The option --%1 is given more than once.")
                                          .arg(QLatin1String(entry.name))});

    if (command->flag == Verify)
        return RunVerify(parser);
    if (positional.size() > 1)
        return Report({ExitUsage, QStringLiteral("Unexpected argument \"%1\" after the command %2.")
                                      .arg(positional.at(1), QLatin1String(command->name))});
    return RunCreate(parser, command->type);
}
