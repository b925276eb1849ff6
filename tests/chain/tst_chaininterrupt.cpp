// chain stopped in the middle, for real: this executable runs the command again in a child that
// kills itself (or is sent a stop signal, or waits) at a chosen rename, and the test then looks at
// what the folder holds once the next run has been into it.

#include "clirun.h"
#include "commandline.h"
#include "console.h"
#include "filesystemcalls.h"
#include "foldersnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <memory>

#include <unistd.h>

namespace
{

// "<signal>:<rename>" in the child: at that rename it raises the signal, or with signal 0 says
// "held" on standard output and waits for a byte on standard input.
const char kStopVariable[] = "TALVANE_TEST_STOP_AT";

int gSignal = 0;
int gStopAt = 0;
std::atomic<int> gRenames{0};

int stopAtRename(const char*, const std::string&)
{
    if (++gRenames != gStopAt)
        return 0;
    if (gSignal != 0)
    {
        std::raise(gSignal);
        return 0;
    }
    const char held[] = "held\n";
    char go;
    if (::write(STDOUT_FILENO, held, sizeof held - 1) < 0 || ::read(STDIN_FILENO, &go, 1) < 0)
        std::abort();
    return 0;
}

int runChild(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList stop = qEnvironmentVariable(kStopVariable).split(QLatin1Char(':'));
    gSignal = stop.value(0).toInt();
    gStopAt = stop.value(1).toInt();
    FileSystemCalls::WatchCalls(stopAtRename);
    Console console;
    return RunCommandLine(QStringList{"talvane-chain"} + application.arguments().mid(1), console);
}

bool put(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush();
}

} // namespace

class TestChainInterrupt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void killedAtEveryRename();
    void stopSignalsCleanUp_data();
    void stopSignalsCleanUp();
    void secondRunIntoTheFolderRefused();

private:
    QStringList arguments(bool force) const;
    // A child running chain --force that stops at `rename` (see kStopVariable).
    void startChild(QProcess& child, int signal, int rename) const;
    QString out() const { return mWork->filePath("out"); }

    std::unique_ptr<QTemporaryDir> mWork;
};

void TestChainInterrupt::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
    QVERIFY(QDir::setCurrent(mWork->path()));
    QVERIFY(put(mWork->filePath("password"), "interrupted secret\n"));
    const CliRun old = RunCli(arguments(false));
    QVERIFY2(old.status == 0, old.err.constData());
}

QStringList TestChainInterrupt::arguments(bool force) const
{
    QStringList arguments{"chain",
                          "--out-dir",
                          "out",
                          "--root-name",
                          ".Studio.Example",
                          "--organization",
                          ".Lab.Example",
                          "--intermediates",
                          "0",
                          "--password-file",
                          mWork->filePath("password")};
    if (force)
        arguments << "--force";
    return arguments;
}

void TestChainInterrupt::startChild(QProcess& child, int signal, int rename) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kStopVariable, QStringLiteral("%1:%2").arg(signal).arg(rename));
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(mWork->path());
    child.start(QCoreApplication::applicationFilePath(), arguments(true));
    QVERIFY(child.waitForStarted());
}

void TestChainInterrupt::killedAtEveryRename()
{
    QMap<QString, QByteArray> before = folderSnapshot(out());
    bool sawOld = false;
    bool sawNew = false;
    for (int rename = 1;; ++rename)
    {
        QVERIFY2(rename < 64, "the run never got to its end");
        QProcess child;
        startChild(child, SIGKILL, rename);
        QVERIFY(child.waitForFinished(-1));
        if (child.exitStatus() == QProcess::NormalExit)
        {
            QCOMPARE(child.exitCode(), 0);
            break;
        }

        // The next run deals with what the killed one left, then finds the files there.
        const CliRun next = RunCli(arguments(false));
        QCOMPARE(next.status, 1);
        const QMap<QString, QByteArray> after = folderSnapshot(out());
        const QString at = QStringLiteral("killed at rename %1").arg(rename);
        QVERIFY2(after.keys() == before.keys(), qPrintable(at + ": " + after.keys().join(' ')));
        int kept = 0;
        for (auto file = after.cbegin(); file != after.cend(); ++file)
            kept += file.value() == before.value(file.key()) ? 1 : 0;
        QVERIFY2(kept == 0 || kept == after.size(), qPrintable(at + ": a mixed chain"));
        if (kept == 0)
        {
            sawNew = true;
            QVERIFY2(next.err.contains("interrupted"), qPrintable(at));
            QVERIFY(after["chain.pem"].contains(after["root.pem"]));
            QVERIFY(after["chain.pem"].contains(after["leaf.pem"]));
        }
        else
            sawOld = true;
        before = after;
    }
    QVERIFY(sawOld);
    QVERIFY(sawNew);
}

void TestChainInterrupt::stopSignalsCleanUp_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM while the files are staged") << int(SIGTERM);
    QTest::newRow("SIGINT while the files are staged") << int(SIGINT);
    QTest::newRow("SIGHUP while the files are staged") << int(SIGHUP);
}

void TestChainInterrupt::stopSignalsCleanUp()
{
    QFETCH(int, signal);
    const QMap<QString, QByteArray> before = folderSnapshot(out());
    QProcess child;
    startChild(child, signal, 2);
    QVERIFY(child.waitForFinished(-1));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    // Nothing put in place, and nothing of the run's own left behind.
    QCOMPARE(folderSnapshot(out()), before);
}

void TestChainInterrupt::secondRunIntoTheFolderRefused()
{
    QProcess first;
    startChild(first, 0, 1);
    QByteArray said;
    while (!said.contains("held"))
    {
        QVERIFY2(first.waitForReadyRead(-1), first.readAllStandardError().constData());
        said += first.readAllStandardOutput();
    }
    const QMap<QString, QByteArray> before = folderSnapshot(mWork->path());

    const CliRun second = RunCli(arguments(true));
    QCOMPARE(second.status, 1);
    QVERIFY(second.out.isEmpty());
    QCOMPARE(folderSnapshot(mWork->path()), before);

    first.write("go");
    first.closeWriteChannel();
    QVERIFY(first.waitForFinished(-1));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kStopVariable))
        return runChild(argc, argv);
    QCoreApplication application(argc, argv);
    TestChainInterrupt test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chaininterrupt.moc"
