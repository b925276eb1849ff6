#include "commandline.h"

#include "commands.h"
#include "console.h"
#include "diagnosticsink.h"
#include "help.h"
#include "refusals.h"

#include <QCoreApplication>

#include <algorithm>
#include <optional>

namespace
{

// Letters to change, add or drop to turn one word into the other.
int editDistance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i)
    {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j)
        {
            const int above = row[size_t(j)];
            row[size_t(j)] =
                std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

// The candidate nearest to `given`, when it is near enough to be what was meant: a third of its
// letters at most, or a word that starts the same way.
QString suggestion(const QString& given, const QStringList& candidates)
{
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString& candidate : candidates)
    {
        const int distance = editDistance(given, candidate);
        if (distance < bestDistance)
        {
            best = candidate;
            bestDistance = distance;
        }
    }
    const bool near = bestDistance <= std::max<qsizetype>(1, best.size() / 3) ||
                      (given.size() >= 3 && best.startsWith(given));
    return near ? best : QString();
}

// The commands that do the work; help is named in the sentences' "see --help".
QStringList commandNames()
{
    QStringList names;
    for (const Command* command : AllCommands())
        if (command != &HelpCommand())
            names << QLatin1String(command->name);
    return names;
}

QStringList optionNamesOf(const Command& command)
{
    QStringList names;
    for (const CommandOption& option : command.options)
        names << QLatin1String(SpecOf(option.option).name);
    return names << QStringLiteral("verbose") << QStringLiteral("help");
}

void addOptions(QCommandLineParser& parser, const Command& command)
{
    for (const CommandOption& option : command.options)
    {
        const OptionSpec& spec = SpecOf(option.option);
        QStringList names{QLatin1String(spec.name)};
        if (spec.alias)
            names << QLatin1String(spec.alias);
        QCommandLineOption parsed(names, OptionDescription(option));
        if (spec.valueName)
            parsed.setValueName(QLatin1String(spec.valueName));
        parser.addOption(parsed);
    }
    parser.addOption(QCommandLineOption(QLatin1String(SpecOf(Option::Verbose).name)));
}

// Why the parser refused the arguments: an option of another command, an unknown one (with the
// one probably meant), or the parser's own sentence (a value missing).
CommandError parseFailure(const QCommandLineParser& parser, const Command& command)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty())
        return Refuse::parserError(parser.errorText());
    const QString& name = unknown.front();
    if (AllOptionNames().contains(name))
        return Refuse::optionNotForCommand(name, QLatin1String(command.name));
    return Refuse::unknownOption(name, suggestion(name, optionNamesOf(command)));
}

// An option given twice would leave one of its values unused without a word.
Refusal optionGivenTwice(const QCommandLineParser& parser, const Command& command)
{
    for (const CommandOption& option : command.options)
    {
        const OptionSpec& spec = SpecOf(option.option);
        if (spec.valueName && parser.values(QLatin1String(spec.name)).size() > 1)
            return Refuse::optionTwice(QLatin1String(spec.name));
    }
    return std::nullopt;
}

int runCommand(const Command& command, const QStringList& arguments, Console& console)
{
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    addOptions(parser, command);
    if (!parser.parse(arguments))
        return Report(console, parseFailure(parser, command));
    if (parser.isSet(help))
    {
        console.out(CommandHelp(command));
        return ExitSuccess;
    }
    if (auto error = optionGivenTwice(parser, command))
        return Report(console, *error);
    Invocation invocation(command, parser, console);
    if (!command.operandName && !invocation.operands().isEmpty())
        return Report(console,
                      Refuse::unexpectedArgument(invocation.operands().front(), QLatin1String(command.name)));

    // The engine's and the board layer's lines are for developers: only --verbose shows them, on
    // standard error, so that standard output carries the command's result alone.
    const bool verbose = invocation.isSet(Option::Verbose);
    const DiagnosticRedirect diagnostics(verbose ? &Console::diagnosticWriter : nullptr, &console);
    return command.run(invocation);
}

int runHelp(Invocation& invocation)
{
    Console& console = invocation.console();
    const QStringList operands = invocation.operands();
    if (invocation.isSet(Option::Manual))
        console.out(ManualPage(QCoreApplication::applicationVersion()));
    else if (invocation.isSet(Option::All))
        console.out(CompleteHelp());
    else if (operands.isEmpty())
        console.out(OverviewHelp());
    else if (const Command* command = FindCommand(operands.front()))
        console.out(CommandHelp(*command));
    else
        return Report(console, Refuse::unknownCommand(operands.front(), commandNames(),
                                                      suggestion(operands.front(), commandNames())));
    return ExitSuccess;
}

} // namespace

bool Command::takes(Option option) const
{
    return std::any_of(options.begin(), options.end(),
                       [option](const CommandOption& taken) { return taken.option == option; }) ||
           option == Option::Verbose;
}

Invocation::Invocation(const Command& command, const QCommandLineParser& parser, Console& console)
    : mCommand(command), mParser(parser), mConsole(console)
{
}

bool Invocation::isSet(Option option) const
{
    return mCommand.takes(option) && mParser.isSet(QLatin1String(SpecOf(option).name));
}

QString Invocation::value(Option option) const
{
    return mCommand.takes(option) ? mParser.value(QLatin1String(SpecOf(option).name)) : QString();
}

QStringList Invocation::operands() const
{
    return mParser.positionalArguments();
}

int Report(Console& console, const CommandError& error)
{
    console.errLine(error.sentence);
    return error.status;
}

const Command& HelpCommand()
{
    static const Command command{
        "help",
        "help [COMMAND] [--all] [--manual]",
        "this overview, or a command's options and examples",
        "Prints the overview of the commands, or the help of COMMAND: its usage, what it "
        "does, its options and examples.",
        "talvane-chain help leaf\ntalvane-chain help --all",
        {{Option::All}, {Option::Manual}},
        "COMMAND",
        "The command to show the help of.",
        runHelp};
    return command;
}

const std::vector<const Command*>& AllCommands()
{
    static const std::vector<const Command*> commands{
        &RootCommand(),    &IntermediateCommand(), &LeafCommand(),   &ChainCommand(),  &RenewCommand(),
        &RequestCommand(), &SignCommand(),         &VerifyCommand(), &ShowCommand(),   &ExportCommand(),
        &ExpiryCommand(),  &HelpCommand()};
    return commands;
}

const Command* FindCommand(const QString& name)
{
    for (const Command* command : AllCommands())
        if (name == QLatin1String(command->name))
            return command;
    return nullptr;
}

int RunCommandLine(const QStringList& arguments, Console& console)
{
    const QStringList given = arguments.mid(1);
    if (given.isEmpty())
        return Report(console, Refuse::noCommand(commandNames()));
    const QString& first = given.front();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("-?"))
    {
        console.out(OverviewHelp());
        return ExitSuccess;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v"))
    {
        console.outLine(QStringLiteral("talvane-chain %1").arg(QCoreApplication::applicationVersion()));
        return ExitSuccess;
    }
    const Command* command = FindCommand(first);
    if (!command)
        return Report(console,
                      first.startsWith(QLatin1Char('-'))
                          ? Refuse::noCommand(commandNames())
                          : Refuse::unknownCommand(first, commandNames(), suggestion(first, commandNames())));
    QStringList rest = arguments;
    rest.removeAt(1);
    const int status = runCommand(*command, rest, console);
    // A result that did not reach standard output is no success, whatever else was done.
    if (console.outFailed() && status == ExitSuccess)
        return Report(console, Refuse::outputFailed());
    return status;
}
