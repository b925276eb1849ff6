#pragma once

#include "options.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class Console;

// Exit statuses of talvane-chain, the same rule for every command.
enum ExitStatus
{
    ExitSuccess = 0,
    ExitFailure = 1, // the work failed or was refused, the chain has errors, a file does not exist
                     // or cannot be read
    ExitUsage = 2    // the command line itself is wrong or incomplete
};

// One failure: the status to leave with and the sentence for standard error.
struct CommandError
{
    int status = ExitFailure;
    QString sentence;
};

// What every step below a command's run answers: nothing, or why the run stops.
using Refusal = std::optional<CommandError>;

// An option as one command takes it; `description` replaces the option's own where the command
// gives it a meaning of its own.
struct CommandOption
{
    Option option;
    const char* description = nullptr;
};

class Invocation;

// One command of talvane-chain: what its help and the manual say of it, what it takes, and how
// it runs.
struct Command
{
    const char* name;
    const char* usage;       // after "talvane-chain ": "root --out NAME ... [options]"
    const char* summary;     // one line, for the list of commands
    const char* description; // paragraphs, each line a sentence or more
    const char* examples;    // one command line a line
    std::vector<CommandOption> options;
    // The operands' name and description ("FILE...", "PEM, DER or PKCS#12 files"); null: none.
    const char* operandName = nullptr;
    const char* operandDescription = nullptr;
    int (*run)(Invocation& invocation) = nullptr;

    bool takes(Option option) const;
};

// One run of a command: its parsed command line and where its output goes.
class Invocation
{
public:
    Invocation(const Command& command, const QCommandLineParser& parser, Console& console);

    const Command& command() const { return mCommand; }
    Console& console() const { return mConsole; }

    bool isSet(Option option) const;
    QString value(Option option) const;
    // The arguments after the command's name.
    QStringList operands() const;

private:
    const Command& mCommand;
    const QCommandLineParser& mParser;
    Console& mConsole;
};

// Prints the refusal's sentence on standard error and gives back its status.
int Report(Console& console, const CommandError& error);
