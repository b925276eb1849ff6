#include "help.h"

#include "chainrules.h"
#include "commands.h"

#include <QDate>
#include <QRegularExpression>

namespace
{

constexpr int kWidth = 100;
constexpr int kOptionColumn = 32;

const char kProgram[] = "talvane-chain";

const char kAbout[] =
    "Creates digital-cinema certificate chains (a self-signed root, intermediate authorities "
    "and leaf signing certificates, each with a fresh RSA-2048 key, as PEM and PKCS#12 files), "
    "verifies, shows, exports and renews them, and says which certificates end soon.";

const char kCommon[] =
    "Creating commands list the files written on standard output, one per line; everything else goes to "
    "standard error.\n"
    "Passwords come from the first line of a file (--password-file and the like; - reads standard input), "
    "else from the environment, else from a prompt on the terminal; never from the command line.\n"
    "Every command takes --help, and --verbose for the diagnostic lines of the engine and the board layer.";

const char kExitStatus[] =
    "Exit status: 0 success; 1 the work failed or was refused, a chain has errors, or a "
    "file does not exist or cannot be read; 2 the command line itself is wrong.";

// Words wrapped at kWidth, starting at `firstColumn`, every line after the first indented by
// `indent`; `continuation` ends every line but the last (" \\" for a command line to copy).
QString wrapped(const QString& text, int indent, int firstColumn = 0, const QString& continuation = QString())
{
    QString out;
    int column = firstColumn;
    bool lineEmpty = true;
    const QString padding(indent, QLatin1Char(' '));
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    {
        if (!lineEmpty && column + 1 + word.size() + continuation.size() > kWidth)
        {
            out += continuation + QLatin1Char('\n') + padding;
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty)
        {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += int(word.size());
        lineEmpty = false;
    }
    return out;
}

QString paragraphs(const QString& text, int indent)
{
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n')))
        out << QString(indent, QLatin1Char(' ')) + wrapped(line, indent, indent);
    return out.join(QLatin1Char('\n'));
}

QString optionName(const OptionSpec& spec)
{
    QString name = QStringLiteral("--") + QLatin1String(spec.name);
    if (spec.valueName)
        name += QLatin1Char(' ') + QLatin1String(spec.valueName);
    return name;
}

QString optionRow(const QString& name, const QString& description)
{
    QString row = QStringLiteral("  ") + name;
    if (row.size() + 2 > kOptionColumn)
        row += QLatin1Char('\n') + QString(kOptionColumn, QLatin1Char(' '));
    else
        row = row.leftJustified(kOptionColumn);
    return row + wrapped(description, kOptionColumn, kOptionColumn);
}

QString aliasNote(const OptionSpec& spec)
{
    return spec.alias ? QStringLiteral(" Also spelt --%1.").arg(QLatin1String(spec.alias)) : QString();
}

// Options every command takes besides its own.
const CommandOption kCommonOptions[] = {{Option::Verbose}};

QString escapedRoff(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    text.replace(QLatin1Char('-'), QLatin1String("\\-"));
    // A line starting with a dot or an apostrophe would be taken for a request.
    static const QRegularExpression lineStart(QStringLiteral("^([.'])"), QRegularExpression::MultilineOption);
    text.replace(lineStart, QStringLiteral("\\&\\1"));
    return text;
}

} // namespace

QString OptionDescription(const CommandOption& option)
{
    const OptionSpec& spec = SpecOf(option.option);
    QString text = QString::fromLatin1(option.description ? option.description : spec.description);
    if (option.option == Option::Serial)
        text = text.arg(CertificateRules::kSmallestSerial).arg(CertificateRules::kLargestWideSerial);
    return text + aliasNote(spec);
}

QString CommandHelp(const Command& command)
{
    QString out =
        QStringLiteral("Usage: %1 %2\n\n").arg(QLatin1String(kProgram), QLatin1String(command.usage));
    out += wrapped(QString::fromLatin1(command.summary).left(1).toUpper() +
                       QLatin1String(command.summary + 1) + QLatin1Char('.'),
                   0) +
           QStringLiteral("\n\n");
    out += paragraphs(QString::fromLatin1(command.description), 0) + QStringLiteral("\n\n");
    if (command.operandName)
        out += QStringLiteral("Arguments:\n") +
               optionRow(QLatin1String(command.operandName), QLatin1String(command.operandDescription)) +
               QStringLiteral("\n\n");
    out += QStringLiteral("Options:\n");
    for (const CommandOption& option : command.options)
        out += optionRow(optionName(SpecOf(option.option)), OptionDescription(option)) + QLatin1Char('\n');
    for (const CommandOption& option : kCommonOptions)
        out += optionRow(optionName(SpecOf(option.option)), OptionDescription(option)) + QLatin1Char('\n');
    out += optionRow(QStringLiteral("-h, --help"), QStringLiteral("This help.")) + QLatin1Char('\n');
    out += QStringLiteral("\nExamples:\n");
    for (const QString& example : QString::fromLatin1(command.examples).split(QLatin1Char('\n')))
        out += QStringLiteral("  ") + wrapped(example, 6, 2, QStringLiteral(" \\")) + QLatin1Char('\n');
    out += QLatin1Char('\n') + wrapped(QLatin1String(kExitStatus), 0) + QLatin1Char('\n');
    return out;
}

QString OverviewHelp()
{
    QString out = QStringLiteral("Usage: %1 COMMAND [options] [FILE...]\n       %1 help [COMMAND]\n\n")
                      .arg(QLatin1String(kProgram));
    out += wrapped(QLatin1String(kAbout), 0) + QStringLiteral("\n\nCommands:\n");
    for (const Command* command : AllCommands())
        out += optionRow(QLatin1String(command->name), QLatin1String(command->summary) + QLatin1Char('.')) +
               QLatin1Char('\n');
    out += QLatin1Char('\n') +
           wrapped(QStringLiteral(
                       "%1 help COMMAND, or %1 COMMAND --help, shows a command's options and examples; "
                       "%1 help --all every command's.")
                       .arg(QLatin1String(kProgram)),
                   0) +
           QStringLiteral("\n\n");
    out += paragraphs(QLatin1String(kCommon), 0) + QStringLiteral("\n\n");
    out += optionRow(QStringLiteral("-h, --help"), QStringLiteral("This help.")) + QLatin1Char('\n');
    out += optionRow(QStringLiteral("-v, --version"), QStringLiteral("The version.")) + QLatin1Char('\n');
    out += QLatin1Char('\n') + wrapped(QLatin1String(kExitStatus), 0) + QLatin1Char('\n');
    return out;
}

QString CompleteHelp()
{
    QString out = OverviewHelp();
    for (const Command* command : AllCommands())
        out += QStringLiteral("\n") + QString(kWidth, QLatin1Char('-')) + QStringLiteral("\n\n") +
               CommandHelp(*command);
    return out;
}

QString ManualPage(const QString& version)
{
    QString page;
    auto line = [&page](const QString& text) { page += text + QLatin1Char('\n'); };
    auto text = [&page](const QString& prose) { page += escapedRoff(prose) + QLatin1Char('\n'); };
    line(QStringLiteral(".TH TALVANE-CHAIN \"1\" \"\" \"talvane-chain %1\" \"User Commands\"").arg(version));
    line(QStringLiteral(".SH NAME"));
    text(QStringLiteral("talvane-chain - create, verify, show and export digital-cinema certificate chains"));
    line(QStringLiteral(".SH SYNOPSIS"));
    for (const Command* command : AllCommands())
    {
        line(QStringLiteral(".B talvane-chain"));
        text(QLatin1String(command->usage));
        line(QStringLiteral(".br"));
    }
    line(QStringLiteral(".SH DESCRIPTION"));
    text(QLatin1String(kAbout));
    for (const QString& paragraph : QString::fromLatin1(kCommon).split(QLatin1Char('\n')))
    {
        line(QStringLiteral(".PP"));
        text(paragraph);
    }
    line(QStringLiteral(".SH COMMANDS"));
    for (const Command* command : AllCommands())
    {
        line(QStringLiteral(".SS %1").arg(escapedRoff(QLatin1String(command->name))));
        line(QStringLiteral(".B talvane-chain"));
        text(QLatin1String(command->usage));
        for (const QString& paragraph : QString::fromLatin1(command->description).split(QLatin1Char('\n')))
        {
            line(QStringLiteral(".PP"));
            text(paragraph);
        }
        if (command->operandName)
        {
            line(QStringLiteral(".TP"));
            line(QStringLiteral(".I %1").arg(escapedRoff(QLatin1String(command->operandName))));
            text(QLatin1String(command->operandDescription));
        }
        for (const CommandOption& option : command->options)
        {
            const OptionSpec& spec = SpecOf(option.option);
            line(QStringLiteral(".TP"));
            line(spec.valueName ? QStringLiteral(".BI \"%1 \" %2")
                                      .arg(escapedRoff(QStringLiteral("--") + QLatin1String(spec.name)),
                                           escapedRoff(QLatin1String(spec.valueName)))
                                : QStringLiteral(".B %1").arg(
                                      escapedRoff(QStringLiteral("--") + QLatin1String(spec.name))));
            text(OptionDescription(option));
        }
    }
    line(QStringLiteral(".SH OPTIONS OF EVERY COMMAND"));
    for (const CommandOption& option : kCommonOptions)
    {
        line(QStringLiteral(".TP"));
        line(QStringLiteral(".B %1").arg(escapedRoff(OptionText(option.option))));
        text(OptionDescription(option));
    }
    line(QStringLiteral(".TP\n.B \\-h, \\-\\-help"));
    text(QStringLiteral("The command's help: its options and examples."));
    line(QStringLiteral(".TP\n.B \\-v, \\-\\-version"));
    text(QStringLiteral("The version (without a command)."));
    line(QStringLiteral(".SH EXAMPLES"));
    for (const Command* command : AllCommands())
        for (const QString& example : QString::fromLatin1(command->examples).split(QLatin1Char('\n')))
            if (!example.isEmpty())
            {
                line(QStringLiteral(".PP"));
                line(QStringLiteral(".nf"));
                text(example);
                line(QStringLiteral(".fi"));
            }
    line(QStringLiteral(".SH ENVIRONMENT"));
    const std::pair<const char*, const char*> environment[] = {
        {"TALVANE_PASSWORD", "The password of the PKCS#12 files written, or read by verify and show, when no "
                             "--password-file is given."},
        {"TALVANE_ISSUER_PASSWORD",
         "The password of the issuing PKCS#12 file (--issuer), or of the file export "
         "reads, when no password file is given for it."},
        {"TALVANE_PIN",
         "The user PIN of a token (--token, or a pkcs11: URI as --issuer), when no --pin-file is "
         "given."},
        {"TALVANE_PKCS11_MODULE", "The PKCS#11 module of the token when neither --module nor the URI's "
                                  "module-path names one; without it, p11-kit's proxy."},
        {"DAZAVO_SIMULATED_BOARDS",
         "On machines without the maker's cards: a comma-separated list of the serial "
         "numbers of the cards the board-access emulation reports (default one Zel "
         "Kavra card, 2800001); set but empty, no card, and nothing can be created."},
    };
    for (const auto& [name, meaning] : environment)
    {
        line(QStringLiteral(".TP\n.B %1").arg(escapedRoff(QLatin1String(name))));
        text(QLatin1String(meaning));
    }
    line(QStringLiteral(".SH FILES"));
    line(QStringLiteral(".TP\n.I serialNumberTrace"));
    text(QStringLiteral(
        "In the working folder: the decimal digits of the last serial number used, shared with "
        "the window. Creating commands without --serial take the next numbers from it and "
        "record the last one they used."));
    line(QStringLiteral(".SH EXIT STATUS"));
    line(QStringLiteral(".TP\n.B 0"));
    text(QStringLiteral("Success."));
    line(QStringLiteral(".TP\n.B 1"));
    text(QStringLiteral(
        "The work failed or was refused, a chain has errors, or a file does not exist or cannot "
        "be read."));
    line(QStringLiteral(".TP\n.B 2"));
    text(QStringLiteral("The command line itself is wrong or incomplete."));
    line(QStringLiteral(".SH SEE ALSO"));
    text(QStringLiteral("openssl(1), openssl-verify(1), openssl-pkcs12(1), xmlsec1(1)"));
    return page;
}
