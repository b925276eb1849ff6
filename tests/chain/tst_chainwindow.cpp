// A chain made by the window's controller passes talvane-chain verify, and the two programs
// continue each other's chains: they share the rules, the names and the trace file.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "fakedazavo.h"
#include "filecontent.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "serialnumbertrace.h"
#include "diagnosticcapture.h"
#include "talvane.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace
{

const QDateTime kStart = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0), Qt::UTC);
const QDateTime kEnd = QDateTime(QDate(2034, 3, 1), QTime(12, 0, 0), Qt::UTC);
const char kPassword[] = "window secret";

} // namespace

class TestChainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowChainVerifies_data();
    void windowChainVerifies();
    void windowAndCommandLineAtOnceNeverShareASerial();

private:
    QTemporaryDir mDir;
};

void TestChainWindow::initTestCase()
{
    // The engine's console prompt must never wait for a keyboard.
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mDir.isValid());
    QVERIFY(QDir::setCurrent(mDir.path()));
}

void TestChainWindow::windowChainVerifies_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::newRow("SHA-256") << 1;
    QTest::newRow("SHA-1") << 0;
}

void TestChainWindow::windowChainVerifies()
{
    QFETCH(int, algorithm);
    const QString folder = QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(QDir::current().mkpath(folder));
    QVERIFY(QDir::setCurrent(mDir.filePath(folder)));
    FakeDazavo::reset();
    DiagnosticCapture capture;
    ModalAnswerer answerer;
    {
        Talvane controller;
        CertificateSettings& settings = controller.settings();
        settings.signingAlgorithm = algorithm;
        settings.destinationPassword = kPassword;
        settings.rootName = ".Root.Example";
        settings.organizationName = ".Lab.Example";
        settings.validityStart = kStart;
        settings.validityEnd = kEnd;
        const struct
        {
            int type;
            const char* destination;
            const char* issuer;
            int pathLength;
            const char* entity;
        } steps[] = {{0, "root", "", 2, ".Authority"},
                     {1, "intermediate", "root.pfx", 1, ".Authority"},
                     {2, "leaf", "intermediate.pfx", 0, "CS.Player"}};
        for (const auto& step : steps)
        {
            settings.destinationFileName = step.destination;
            settings.issuerFileName = step.issuer;
            settings.issuerPassword = step.type == 0 ? QString() : QString(kPassword);
            settings.ca = step.type != 2;
            settings.pathLength = step.pathLength;
            settings.entityName = step.entity;
            QVERIFY(controller.CreateCertificate(step.type));
        }
    }
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("3"));

    // The window's files, leaf container first.
    const QString here = QDir::currentPath();
    // SHA-1 is for Interop packages only.
    const QStringList profile = algorithm == 0 ? QStringList{"--profile", "interop"} : QStringList();
    ChainRun result = ChainRunner::run(QStringList{"verify", "leaf.pfx", "root.pem", "intermediate.pem"} + profile,
                                       here, {{"TALVANE_PASSWORD", kPassword}});
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QCOMPARE(ChainFixtures::withoutTrustedRoot(result.out), QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));

    // talvane-chain continues the window's chain with the next serial of the same trace.
    QFile passwordFile(QDir(here).filePath("password"));
    QVERIFY(passwordFile.open(QIODevice::WriteOnly));
    passwordFile.write(kPassword);
    passwordFile.close();
    const QStringList arguments{"leaf", "--out", "second leaf", "--issuer", "intermediate.pfx",
                                "--issuer-password-file", "password", "--password-file", "password",
                                "--entity", "Player", "--serial", "trace"};
    result = ChainRunner::run(algorithm == 0 ? arguments + QStringList{"--sha1"} : arguments, here);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("4"));
    result = ChainRunner::run(QStringList{"verify", "root.pem", "intermediate.pem", "second leaf.pem"} + profile, here);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(ChainFixtures::withoutTrustedRoot(result.out), QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));

    ChainCheck::Options options;
    options.digest = algorithm == 0 ? ChainCheck::Options::Digest::Sha1 : ChainCheck::Options::Digest::Sha256;
    const QStringList findings = ChainCheck::checkPemFiles({"root.pem", "intermediate.pem", "second leaf.pem"}, options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    QVERIFY(QDir::setCurrent(mDir.path()));
}

void TestChainWindow::windowAndCommandLineAtOnceNeverShareASerial()
{
    QVERIFY(QDir::current().mkpath("together"));
    QVERIFY(QDir::setCurrent(mDir.filePath("together")));
    QFile passwordFile("password");
    QVERIFY(passwordFile.open(QIODevice::WriteOnly) && passwordFile.write(kPassword) > 0);
    passwordFile.close();
    FakeDazavo::reset();
    DiagnosticCapture capture;
    ModalAnswerer answerer;

    // Four command-line roots run while the window, started before them, makes three.
    Talvane controller;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 4; ++i)
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(ChainRunner::executable());
        process->setArguments({"root", "--out", "line" + QString::number(i), "--root-name", ".Root.Example",
                               "--organization", ".Lab.Example", "--entity", "Root", "--password-file", "password",
                               "--serial", "trace"});
        process->setProcessEnvironment(ChainRunner::environment());
        process->setStandardInputFile(QProcess::nullDevice());
        process->start();
        runs.push_back(std::move(process));
    }
    CertificateSettings& settings = controller.settings();
    settings.destinationPassword = kPassword;
    settings.ca = true;
    settings.validityStart = kStart;
    settings.validityEnd = kEnd;
    QStringList files{"line0.pem", "line1.pem", "line2.pem", "line3.pem"};
    for (int i = 0; i < 3; ++i)
    {
        settings.destinationFileName = "window" + QString::number(i);
        QVERIFY(controller.CreateCertificate(0));
        files << settings.destinationFileName;
    }
    for (const auto& process : runs)
    {
        // The window's boxes run the event loop: a run may have been seen to end there already.
        QVERIFY(process->state() == QProcess::NotRunning || process->waitForFinished(120000));
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }

    QSet<long> serials;
    for (const QString& file : files)
    {
        const auto certificates = ChainCheck::loadPemCertificates(file);
        QCOMPARE(certificates.size(), size_t(1));
        serials.insert(ASN1_INTEGER_get(X509_get0_serialNumber(certificates.front().get())));
    }
    QCOMPARE(serials, (QSet<long>{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("7"));
    QVERIFY(QDir::setCurrent(mDir.path()));
}

QTEST_MAIN(TestChainWindow)
#include "tst_chainwindow.moc"
