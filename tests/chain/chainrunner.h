#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of talvane-chain as a child process, with standard input from the null device (so
// it never sees a terminal) and the environment of the test minus the password and PIN variables.
struct ChainRun
{
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

class ChainRunner
{
public:
    // Runs in `workingDirectory`; `environment` entries are added (an empty value is set empty;
    // use unset() to remove).
    static ChainRun run(const QStringList& arguments, const QString& workingDirectory,
                        const QMap<QString, QString>& environment = {});
    // The same, without root's permission override (see PermissionOverride).
    static ChainRun runWithoutPermissionOverride(const QStringList& arguments, const QString& workingDirectory,
                                                 const QMap<QString, QString>& environment = {});
    static QString executable();
    // The environment the runs give the child: the test's, minus the password variables, plus
    // `additions`.
    static QProcessEnvironment environment(const QMap<QString, QString>& additions = {});

private:
    static ChainRun runCommand(const QStringList& command, const QString& workingDirectory,
                               const QMap<QString, QString>& environment);
};

// For QVERIFY2 messages.
QByteArray describeRun(const ChainRun& run);
