#pragma once

#include <QByteArray>
#include <QStringList>

// talvane-chain run in the test's own process, as a user would run it, with its streams captured.
struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// `arguments` after the program's name; `input` is what standard input holds.
CliRun RunCli(const QStringList& arguments, const QByteArray& input = QByteArray());

// The status and both streams, for the message of a failed check.
QByteArray Describe(const CliRun& result);
