#include "commandline.h"

#include "certificaterules.h"
#include "chaincommand.h"

#include <QCommandLineParser>

#include <array>
#include <cstdio>
#include <optional>

namespace
{

// The commands as flags, so that each option can name where it applies.
enum CommandFlag : unsigned
{
    Root = 1,
    Intermediate = 2,
    Leaf = 4,
    Verify = 8,
    Show = 16,
    Export = 32,
    Chain = 64,
    Create = Root | Intermediate | Leaf
};

struct CommandEntry
{
    const char* name;
    CommandFlag flag;
    CertificateType type; // what a create command makes; not read for verify
};

constexpr std::array<CommandEntry, 7> kCommands = {{
    {"root", Root, CertificateType::Root},
    {"intermediate", Intermediate, CertificateType::Intermediate},
    {"leaf", Leaf, CertificateType::Leaf},
    {"chain", Chain, CertificateType::Root},
    {"verify", Verify, CertificateType::Root},
    {"show", Show, CertificateType::Root},
    {"export", Export, CertificateType::Root},
}};

struct OptionEntry
{
    const char* name;
    const char* valueName; // null for a switch
    const char* description;
    unsigned commands;
};

const std::array<OptionEntry, 26> kOptions = {{
    {ChainOption::Out, "NAME", "Destination: NAME.pem and NAME.pfx are written, named as the window names them.",
     Create},
    {ChainOption::OutDir, "DIR",
     "Chain: the folder for root, intermediate (then intermediate-2, ...) and leaf, each as .pem and .pfx, and "
     "chain.pem with every certificate from root to leaf; made when missing.",
     Chain},
    {ChainOption::Issuer, "FILE.pfx", "PKCS#12 file of the issuing certificate (intermediate and leaf).",
     Intermediate | Leaf},
    {ChainOption::RootName, "TEXT",
     "Organization (O) of a root, required for root and chain; below the root the O comes from the issuer.",
     Root | Chain},
    {ChainOption::Organization, "TEXT", "Organisation name, the organizational unit (OU); required for root and chain.",
     Create | Chain},
    {ChainOption::Entity, "TEXT", "Entity name, the common name (CN); \".\" and for a leaf \"CS\" go in front.",
     Create},
    {ChainOption::RootEntity, "TEXT", "Chain: entity name of the root (CN \".TEXT\"); default Root.", Chain},
    {ChainOption::IntermediateEntity, "TEXT",
     "Chain: entity name of the intermediates (\".TEXT\", then \".TEXT-2\", ...); default Intermediate.", Chain},
    {ChainOption::LeafEntity, "TEXT", "Chain: entity name of the leaf (CN \"CS.TEXT\"); default Leaf.", Chain},
    {ChainOption::Intermediates, "N",
     "Chain: number of intermediates, 0 to 8; default 1. Path lengths: the last intermediate 1, each authority "
     "above it one more, so the root N + 1.",
     Chain},
    // The range (%1, %2) comes from the rules.
    {ChainOption::Serial, "N|random",
     "Serial number (%1 to %2), or random: drawn from the board-seeded generator, the trace file neither read nor "
     "written; default: the next one of the trace file. Chain: the root gets the first, each certificate below "
     "the next.",
     Create | Chain},
    {ChainOption::PathLength, "N",
     "Path length of an authority: at least 1, below the issuer's; default 3 for a root, the issuer's less one "
     "for an intermediate.",
     Root | Intermediate},
    {ChainOption::Start, "ISO-8601", "Start of validity; default now (not before the issuer's start).",
     Create | Chain},
    {ChainOption::End, "ISO-8601",
     "End of validity; default one year after the start (not after the issuer's end); for a chain 3,649 days "
     "after the start, and never after 2038-01-19T03:14:07Z.",
     Create | Chain},
    {ChainOption::Sha1, nullptr, "Sign with SHA-1 instead of SHA-256.", Create | Chain},
    {ChainOption::Force, nullptr, "Overwrite existing output files.", Create | Chain | Export},
    {ChainOption::PasswordFile, "FILE",
     "First line of FILE: password of the new PKCS#12 file (of every one of a chain), of the PKCS#12 files to "
     "verify or show, or the new password of what export writes (else TALVANE_PASSWORD, else a prompt; a new "
     "password is asked twice).",
     Create | Chain | Verify | Show | Export},
    {ChainOption::IssuerPasswordFile, "FILE",
     "First line of FILE: password of the issuing file, or of the PKCS#12 file export reads (else "
     "TALVANE_ISSUER_PASSWORD, else a prompt).",
     Intermediate | Leaf | Export},
    {ChainOption::At, "ISO-8601",
     "Verify: judge validity and the warnings at this time instead of now (when the chain is to be used).",
     Verify},
    {ChainOption::WarnDays, "N",
     "Verify: warn about a certificate that ends within N days of now, or of --at (default 30; 0: never).",
     Verify},
    {ChainOption::Json, nullptr, "Show: print one JSON document instead of text.", Show},
    {ChainOption::KeyPem, "OUT",
     "Export: the private key as PKCS#8 PEM, encrypted with AES-256-CBC (PBKDF2) under the new password; "
     "owner-only.",
     Export},
    {ChainOption::NoEncrypt, nullptr, "Export: write the --key-pem key unencrypted (said on standard error).",
     Export},
    {ChainOption::ChainPem, "OUT", "Export: every certificate as PEM in chain order, root first.", Export},
    {ChainOption::LeafFirst, nullptr, "Export: --chain-pem with the leaf first, for tools that want the signer first.",
     Export},
    {ChainOption::Pkcs12, "OUT",
     "Export: key and certificates as a current PKCS#12 file (AES-256-CBC with PBKDF2, SHA-256 MAC, each "
     "certificate named after its CN) under the new password; owner-only.",
     Export},
}};

const char kDescription[] =
    "Creates digital-cinema certificate chains, verifies them, and shows and exports their certificates.\n"
    "\n"
    "  talvane-chain root|intermediate|leaf --out NAME [options]\n"
    "  talvane-chain chain --out-dir DIR --root-name TEXT --organization TEXT [options]\n"
    "  talvane-chain verify FILE... [--password-file FILE] [--at ISO-8601] [--warn-days N]\n"
    "  talvane-chain show FILE... [--password-file FILE] [--json]\n"
    "  talvane-chain export FILE.pfx [--key-pem OUT [--no-encrypt]] [--chain-pem OUT [--leaf-first]]\n"
    "                                [--pkcs12 OUT] [--force]\n"
    "\n"
    "chain makes a self-signed root, N intermediates (--intermediates, default 1) each issued by the one above,\n"
    "and a leaf under the last, with one password for every PKCS#12 file, whole or not at all. Path lengths:\n"
    "the last intermediate 1 and each authority above it one more, so the root of a chain with N\n"
    "intermediates N + 1 (1 without intermediates).\n"
    "\n"
    "Creating commands list the files written on standard output, one per line; everything else goes to\n"
    "standard error.\n"
    "\n"
    "Files to verify or show are PEM, DER or PKCS#12, told by their content.\n"
    "Passwords of export: the PKCS#12 file it reads takes --issuer-password-file or\n"
    "TALVANE_ISSUER_PASSWORD; the new password of --key-pem and --pkcs12 takes --password-file or\n"
    "TALVANE_PASSWORD; else each is asked for (the new one twice).\n"
    "\n"
    "Exit status: 0 success, 1 creation or export failed, verification found errors or a file cannot\n"
    "be read, 2 bad usage.";

void printOut(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

// "root, intermediate, leaf, verify, show or export".
QString commandList()
{
    QStringList names;
    for (const CommandEntry& entry : kCommands)
        names << QLatin1String(entry.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
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

const CommandEntry* findCommand(const QString& name)
{
    for (const CommandEntry& entry : kCommands)
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

// Options of other commands, and an option given twice (one of its values would be left unused
// without a word).
std::optional<CommandError> checkOptionsFor(const QCommandLineParser& parser, const CommandEntry& command)
{
    for (const OptionEntry& entry : kOptions)
        if (!(entry.commands & command.flag) && parser.isSet(QString::fromLatin1(entry.name)))
            return CommandError{ExitUsage, QStringLiteral("The option --%1 does not apply to the command %2.")
                                               .arg(QLatin1String(entry.name), QLatin1String(command.name))};
    for (const OptionEntry& entry : kOptions)
        if (entry.valueName && parser.values(QString::fromLatin1(entry.name)).size() > 1)
            return CommandError{ExitUsage,
                                QStringLiteral("The option --%1 is given more than once.").arg(QLatin1String(entry.name))};
    return std::nullopt;
}

// Reading commands take files; the creating ones take nothing after their name.
int runCommand(const QCommandLineParser& parser, const CommandEntry& command)
{
    if (command.flag == Verify)
        return RunVerify(parser);
    if (command.flag == Show)
        return RunShow(parser);
    if (command.flag == Export)
        return RunExport(parser);
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return Report({ExitUsage, QStringLiteral("Unexpected argument \"%1\" after the command %2.")
                                      .arg(positional.at(1), QLatin1String(command.name))});
    if (command.flag == Chain)
        return RunChain(parser);
    return RunCreate(parser, command.type);
}

} // namespace

int Report(const CommandError& error)
{
    // Diagnostics still buffered for standard output (standard error while a command runs) first.
    std::fflush(stdout);
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
    parser.addPositionalArgument(QStringLiteral("command"), commandList() + QLatin1Char('.'));
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Certificate files to verify or show (PEM, DER or PKCS#12); the "
                                                "PKCS#12 file to export."),
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
        return Report({ExitUsage, QStringLiteral("No command given: use %1 (see --help).").arg(commandList())});
    const CommandEntry* command = findCommand(positional.front());
    if (!command)
        return Report(
            {ExitUsage, QStringLiteral("Unknown command \"%1\": use %2.").arg(positional.front(), commandList())});
    if (auto error = checkOptionsFor(parser, *command))
        return Report(*error);
    return runCommand(parser, *command);
}
