// What only a process of talvane-chain shows: its standard output on a full device, the prompt
// on a terminal beside a result on standard output, a typed password taken whole, and a process
// that cannot be read by a debugger while it holds secrets.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "permissionoverride.h"
#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/wait.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "process secret";
const QStringList kRoot{"root",           "--out", "root",     "--root-name", ".Process",
                        "--organization", ".Lab",  "--entity", "Root"};

} // namespace

class TestChainProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullStandardOutputFails();
    void promptLeavesStandardOutputToTheResult();
    void typedPasswordsTakenWholeOrRefused_data();
    void typedPasswordsTakenWholeOrRefused();
    void notReadableByADebuggerAtThePrompt();

private:
    QString file(const QString& name) const { return mDir.filePath(name); }
    // Starts a shell command line on a terminal of its own; the terminal is the program's.
    pid_t startOnTerminal(PseudoTerminal& terminal, const QString& commandLine) const;

    QTemporaryDir mDir;
};

void TestChainProcess::initTestCase()
{
    QVERIFY(mDir.isValid());
    QVERIFY(writeFile(file("password"), kPassword + "\n"));
    const ChainRun made =
        ChainRunner::run(kRoot + QStringList{"--password-file", file("password")}, mDir.path());
    QVERIFY2(made.exitCode == 0, describeRun(made));
}

pid_t TestChainProcess::startOnTerminal(PseudoTerminal& terminal, const QString& commandLine) const
{
    return terminal.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine}, mDir.path(),
                          ChainRunner::environment().toStringList());
}

// A result that did not reach standard output is no success.
void TestChainProcess::fullStandardOutputFails()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("no /dev/full here");
    for (const QStringList& arguments :
         {QStringList{"show", "root.pem"}, QStringList{"verify", "root.pem"}, QStringList{"help", "--all"}})
    {
        QProcess process;
        process.setWorkingDirectory(mDir.path());
        process.setProcessEnvironment(ChainRunner::environment());
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(ChainRunner::executable(), arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
}

// The prompt speaks on the terminal and standard error; standard output holds the JSON alone.
void TestChainProcess::promptLeavesStandardOutputToTheResult()
{
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QVERIFY(startOnTerminal(terminal, QStringLiteral("exec '%1' show root.pfx --json > shown.json")
                                          .arg(ChainRunner::executable())) > 0);
    QVERIFY2(terminal.waitForOutput("Enter password:"), terminal.output().constData());
    terminal.type(kPassword + "\r");
    const int status = terminal.waitForEnd();
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, terminal.output().constData());
    QJsonParseError error;
    QJsonDocument::fromJson(readFile(file("shown.json")), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
}

void TestChainProcess::typedPasswordsTakenWholeOrRefused_data()
{
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("letters beyond ASCII") << QByteArray("gr\xc3\xbc\xc3\x9f"
                                                        "e \xe2\x82\xac")
                                          << 0;
    QTest::newRow("1,024 bytes") << QByteArray(1024, 'x') << 0;
    QTest::newRow("1,025 bytes") << QByteArray(1025, 'x') << 2;
}

// What is typed is the password, byte for byte: never a character dropped, never cut.
void TestChainProcess::typedPasswordsTakenWholeOrRefused()
{
    QFETCH(QByteArray, typed);
    QFETCH(int, exitCode);
    const QString name = QStringLiteral("typed%1").arg(typed.size());
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QStringList arguments = kRoot;
    arguments[2] = name;
    QVERIFY(startOnTerminal(terminal, QStringLiteral("exec '%1' %2 --force")
                                          .arg(ChainRunner::executable(), arguments.join(' '))) > 0);
    for (int prompt = 1; prompt <= (exitCode == 0 ? 2 : 1); ++prompt)
    {
        QVERIFY2(terminal.waitForOutput("Enter password:", prompt), terminal.output().constData());
        terminal.type(typed + "\r");
    }
    const int status = terminal.waitForEnd();
    QVERIFY2(WIFEXITED(status), terminal.output().constData());
    QCOMPARE(WEXITSTATUS(status), exitCode);
    QVERIFY(!terminal.output().contains(typed));
    if (exitCode == 0)
        QVERIFY(ChainCheck::loadPkcs12(file(name + ".pfx"), typed).ok());
    else
        QVERIFY(!QFile::exists(file(name + ".pem")));
}

// While it waits for a password the process cannot be dumped: another process of the same user
// without the ptrace privilege cannot read its memory or environment, as it can read a plain one's.
void TestChainProcess::notReadableByADebuggerAtThePrompt()
{
    if (!PermissionOverride::unavailableReason().isEmpty())
        QSKIP(qPrintable(PermissionOverride::unavailableReason()));
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    const QStringList command =
        PermissionOverride::commandWithout(ChainRunner::executable(), QStringList{"show", "root.pfx"});
    const pid_t shell = startOnTerminal(terminal, "exec '" + command.join("' '") + "'");
    QVERIFY(shell > 0);
    QVERIFY2(terminal.waitForOutput("Enter password:"), terminal.output().constData());

    const auto readable = [](pid_t pid)
    {
        QProcess reader;
        const QStringList read = PermissionOverride::commandWithout(
            QStringLiteral("/bin/cat"), {QStringLiteral("/proc/%1/environ").arg(pid)});
        reader.start(read.front(), read.mid(1));
        reader.waitForFinished(30000);
        return reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0;
    };
    QProcess plain;
    const QStringList sleeper = PermissionOverride::commandWithout(QStringLiteral("/bin/sleep"), {"30"});
    plain.start(sleeper.front(), sleeper.mid(1));
    QVERIFY(plain.waitForStarted());
    QVERIFY(readable(pid_t(plain.processId())));
    QVERIFY(!readable(shell));
    plain.kill();
    plain.waitForFinished();

    terminal.type(kPassword + "\r");
    const int status = terminal.waitForEnd();
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, terminal.output().constData());
}

QTEST_GUILESS_MAIN(TestChainProcess)
#include "tst_chainprocess.moc"
