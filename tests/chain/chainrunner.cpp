#include "chainrunner.h"

#include "permissionoverride.h"

#include <QProcess>

QString ChainRunner::executable()
{
    return QStringLiteral(TALVANE_CHAIN_EXE);
}

ChainRun ChainRunner::run(const QStringList& arguments, const QString& workingDirectory,
                          const QMap<QString, QString>& environment)
{
    return runCommand(QStringList{executable()} + arguments, workingDirectory, environment);
}

ChainRun ChainRunner::runWithoutPermissionOverride(const QStringList& arguments, const QString& workingDirectory,
                                                   const QMap<QString, QString>& environment)
{
    return runCommand(PermissionOverride::commandWithout(executable(), arguments), workingDirectory, environment);
}

QProcessEnvironment ChainRunner::environment(const QMap<QString, QString>& additions)
{
    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    childEnvironment.remove(QStringLiteral("TALVANE_PASSWORD"));
    childEnvironment.remove(QStringLiteral("TALVANE_ISSUER_PASSWORD"));
    childEnvironment.remove(QStringLiteral("TALVANE_PIN"));
    childEnvironment.remove(QStringLiteral("DAZAVO_SIMULATED_BOARDS"));
    for (auto it = additions.cbegin(); it != additions.cend(); ++it)
        childEnvironment.insert(it.key(), it.value());
    return childEnvironment;
}

ChainRun ChainRunner::runCommand(const QStringList& command, const QString& workingDirectory,
                                 const QMap<QString, QString>& environment)
{
    QProcess process;
    process.setProgram(command.front());
    process.setArguments(command.mid(1));
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(ChainRunner::environment(environment));
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    ChainRun result;
    if (!process.waitForFinished(120000))
    {
        process.kill();
        process.waitForFinished();
        result.crashed = true;
    }
    result.crashed = result.crashed || process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray describeRun(const ChainRun& run)
{
    return "exit " + QByteArray::number(run.exitCode) + (run.crashed ? " (crashed)" : "") + "\nstdout:\n" + run.out +
           "stderr:\n" + run.err;
}
