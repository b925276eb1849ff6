#pragma once

#include "certificatetype.h"

#include <QByteArray>
#include <QString>

class QCommandLineParser;

// Exit statuses of talvane-chain.
enum ExitStatus
{
    ExitSuccess = 0,
    ExitFailure = 1, // creation or export failed or was refused; verification found errors; a
                     // file cannot be read
    ExitUsage = 2    // the command line itself is wrong
};

// One failure: the status to leave with and the plain sentence for standard error.
struct CommandError
{
    int status = ExitFailure;
    QString sentence;
};

// Prints the sentence on standard error and gives back its status.
int Report(const CommandError& error);

// The commands, each given the parsed command line (its first positional argument is the
// command's name). Each returns the exit status.
int RunCreate(const QCommandLineParser& parser, CertificateType type);
int RunVerify(const QCommandLineParser& parser);
int RunShow(const QCommandLineParser& parser);
int RunExport(const QCommandLineParser& parser);
int RunChain(const QCommandLineParser& parser);
