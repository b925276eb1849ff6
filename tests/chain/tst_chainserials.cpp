// talvane-chain on a crowded, full or hostile machine: runs started together, traces that cannot
// be used, given serial numbers, files the user may not write, the issuer behind a hard link, a
// long name and a disk that fills up during a chain.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "permissionoverride.h"
#include "smallfilesystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/pkcs12.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace ChainFixtures;

namespace
{

const QStringList kChainNames{"--root-name", ".Fixture.Example", "--organization", ".Lab.Example"};
const QStringList kRootNames = kChainNames + QStringList{"--entity", "Root"};

long serialOf(const QString& pemFile)
{
    const auto certificates = ChainCheck::loadPemCertificates(pemFile);
    return certificates.size() == 1 ? ASN1_INTEGER_get(X509_get0_serialNumber(certificates.front().get()))
                                    : -1;
}

// A container read whole: its MAC checks out under the password.
bool containerWhole(const QString& path)
{
    const QByteArray der = readFile(path);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(der.constData());
    const Pkcs12Ptr container(d2i_PKCS12(nullptr, &bytes, long(der.size())));
    return container && PKCS12_verify_mac(container.get(), "fixture secret", -1) == 1;
}

unsigned modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestChainSerials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void runsStartedTogetherNeverShareASerial();
    void traceThatCannotBeUsed_data();
    void traceThatCannotBeUsed();
    void givenSerialNeverLowersTheTrace();
    void readOnlyTargetIsRefused();
    void hardLinkToTheIssuerIsRefused();
    void longestOutName();
    void separateProcessesDrawDistinctSerials();
    void fullDiskLeavesNoShortFile_data();
    void fullDiskLeavesNoShortFile();

private:
    ChainRun run(const QStringList& arguments) const { return ChainRunner::run(arguments, mWork->path()); }
    QString work(const QString& name) const { return mWork->filePath(name); }
    QStringList root(const QString& out) const
    {
        return QStringList{"root", "--out", out, "--password-file", mFixtures.filePath("password")} +
               kRootNames;
    }

    QTemporaryDir mFixtures;
    QTemporaryDir* mWork = nullptr;
};

// Each process seeds and draws on its own: a generator that started every run from the same state
// would give every folder the same serial under the one issuer.
void TestChainSerials::separateProcessesDrawDistinctSerials()
{
    const int runs = 40;
    QSet<long> serials;
    for (int i = 0; i < runs; ++i)
    {
        const QString folder = work(QString::number(i));
        QVERIFY(QDir().mkpath(folder));
        const ChainRun result = ChainRunner::run({"renew", mFixtures.filePath("root.pfx"), "--out", "root",
                                                  "--in-password-file", mFixtures.filePath("password")},
                                                 folder);
        QVERIFY2(result.exitCode == 0, describeRun(result));
        serials.insert(serialOf(folder + "/root.pem"));
        QVERIFY(!QFile::exists(folder + "/serialNumberTrace"));
    }
    QCOMPARE(serials.size(), runs);
}

void TestChainSerials::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(writeFile(mFixtures.filePath("password"), "fixture secret\n"));
    const ChainRun made =
        ChainRunner::run(root("root") + QStringList{"--serial", "random"}, mFixtures.path());
    QVERIFY2(made.exitCode == 0, describeRun(made));
}

void TestChainSerials::init()
{
    mWork = new QTemporaryDir;
    QVERIFY(mWork->isValid());
}

void TestChainSerials::cleanup()
{
    delete mWork;
    mWork = nullptr;
}

void TestChainSerials::runsStartedTogetherNeverShareASerial()
{
    // Six roots and two chains of two, all started before the first ends, in one folder.
    std::vector<std::unique_ptr<QProcess>> runs;
    QStringList pemFiles;
    for (int i = 0; i < 8; ++i)
    {
        const bool chain = i >= 6;
        const QString name = QString::number(i);
        auto process = std::make_unique<QProcess>();
        process->setProgram(ChainRunner::executable());
        process->setArguments((chain ? QStringList{"chain", "--out-dir", name, "--intermediates", "0",
                                                   "--password-file", mFixtures.filePath("password")} +
                                           kChainNames
                                     : root(name)) +
                              QStringList{"--serial", "trace"});
        process->setWorkingDirectory(mWork->path());
        process->setProcessEnvironment(ChainRunner::environment());
        process->setStandardInputFile(QProcess::nullDevice());
        process->start();
        runs.push_back(std::move(process));
        pemFiles << (chain ? QStringList{name + "/root.pem", name + "/leaf.pem"}
                           : QStringList{name + ".pem"});
    }
    for (const auto& process : runs)
    {
        QVERIFY(process->waitForFinished(120000));
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }
    QSet<long> serials;
    for (const QString& pem : pemFiles)
        serials.insert(serialOf(work(pem)));
    QCOMPARE(serials, (QSet<long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("10"));
}

void TestChainSerials::traceThatCannotBeUsed_data()
{
    QTest::addColumn<QByteArray>("content"); // "<folder>": a folder in the trace's place
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("exitCode");

    // One row per finding: the core tests what each finding covers, this its sentence and status.
    const QStringList trace{"--serial", "trace"};
    QTest::newRow("not a number") << QByteArray("1e3") << 0644u << trace << 1;
    QTest::newRow("a folder") << QByteArray("<folder>") << 0755u << trace << 1;
    QTest::newRow("mode 000, for a user without root's override") << QByteArray("6") << 0000u << trace << 1;
    QTest::newRow("read-only, for a user without root's override") << QByteArray("6") << 0444u << trace << 1;
    QTest::newRow("letters: the default, random, goes on without it")
        << QByteArray("abc") << 0644u << QStringList() << 0;
    QTest::newRow("read-only: --serial 9 goes on without it")
        << QByteArray("6") << 0444u << QStringList{"--serial", "9"} << 0;
    QTest::newRow("letters: --serial random goes on without it")
        << QByteArray("abc") << 0644u << QStringList{"--serial", "random"} << 0;
}

void TestChainSerials::traceThatCannotBeUsed()
{
    QFETCH(QByteArray, content);
    QFETCH(unsigned, mode);
    QFETCH(QStringList, extra);
    QFETCH(int, exitCode);
    const bool permissions = (mode & 0200) == 0;
    const QString reason = PermissionOverride::unavailableReason();
    if (permissions && !reason.isEmpty())
        QSKIP(qPrintable(reason));
    const QString trace = work("serialNumberTrace");
    if (content == "<folder>")
        QVERIFY(QDir().mkpath(trace));
    else
        QVERIFY(writeFile(trace, content));
    QCOMPARE(::chmod(QFile::encodeName(trace).constData(), mode), 0);

    const QStringList arguments = root("r") + extra;
    const ChainRun result =
        permissions ? ChainRunner::runWithoutPermissionOverride(arguments, mWork->path()) : run(arguments);
    QVERIFY2(result.exitCode == exitCode && !result.crashed, describeRun(result));
    if (exitCode != 0)
    {
        // One sentence naming the trace, and nothing made.
        QVERIFY2(result.err.contains(trace.toUtf8()), describeRun(result));
        QVERIFY(!QFile::exists(work("r.pem")) && !QFile::exists(work("r.pfx")));
    }
    else
    {
        QVERIFY(QFile::exists(work("r.pfx")));
    }
    QCOMPARE(::chmod(QFile::encodeName(trace).constData(), 0755), 0);
    if (content != "<folder>")
        QCOMPARE(readFile(trace), content);
}

void TestChainSerials::givenSerialNeverLowersTheTrace()
{
    QVERIFY(writeFile(work("serialNumberTrace"), "203"));
    ChainRun result = run(root("low") + QStringList{"--serial", "5"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(serialOf(work("low.pem")), 5L);
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("203"));
    result = run(root("high") + QStringList{"--serial", "300"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("300"));
}

void TestChainSerials::readOnlyTargetIsRefused()
{
    const QString reason = PermissionOverride::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(writeFile(work("kept.pem"), "old certificate"));
    QCOMPARE(::chmod(QFile::encodeName(work("kept.pem")).constData(), 0444), 0);
    const ChainRun result =
        ChainRunner::runWithoutPermissionOverride(root("kept") + QStringList{"--force"}, mWork->path());
    QVERIFY2(result.exitCode == 1, describeRun(result));
    QCOMPARE(readFile(work("kept.pem")), QByteArray("old certificate"));
    QCOMPARE(modeOf(work("kept.pem")), 0444u);
    QVERIFY(!QFile::exists(work("kept.pfx")));
}

void TestChainSerials::hardLinkToTheIssuerIsRefused()
{
    // The issuing container's only copy, under a second name in another folder.
    QVERIFY(QFile::copy(mFixtures.filePath("root.pfx"), work("issuer.pfx")));
    const QByteArray issuer = readFile(work("issuer.pfx"));
    QVERIFY(QDir().mkpath(work("out")));
    QCOMPARE(::link(QFile::encodeName(work("issuer.pfx")).constData(),
                    QFile::encodeName(work("out/leaf.pfx")).constData()),
             0);
    const ChainRun result = run({"leaf", "--out", "out/leaf", "--issuer", "issuer.pfx",
                                 "--issuer-password-file", mFixtures.filePath("password"), "--password-file",
                                 mFixtures.filePath("password"), "--force", "--entity", "Player"});
    QVERIFY2(result.exitCode == 1, describeRun(result));
    QCOMPARE(readFile(work("issuer.pfx")), issuer);
    QVERIFY(!QFile::exists(work("out/leaf.pem")));
}

void TestChainSerials::longestOutName()
{
    // 240 characters and ".pem": a valid name on every common file system.
    const QString name(240, 'n');
    const ChainRun result = run(root(name) + QStringList{"--serial", "trace"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(serialOf(work(name + ".pem")), 1L);
    QVERIFY(QFile::exists(work(name + ".pfx")));
}

void TestChainSerials::fullDiskLeavesNoShortFile_data()
{
    // A chain of three takes ten pages: seven files, chain.pem and the last container two each.
    QTest::addColumn<int>("pages");
    for (int pages : {8, 9, 10, 12})
        QTest::newRow(qPrintable(QString("%1 pages").arg(pages))) << pages;
}

void TestChainSerials::fullDiskLeavesNoShortFile()
{
    QFETCH(int, pages);
    SmallFileSystem disk(work("disk"), QString("%1k").arg(pages * 4));
    if (!disk.mounted())
        QSKIP(qPrintable(disk.reason()));
    const ChainRun result = run(QStringList{"chain", "--out-dir", "disk/out", "--serial", "random",
                                            "--password-file", mFixtures.filePath("password")} +
                                kChainNames);
    QVERIFY2(!result.crashed && (result.exitCode == 0 || result.exitCode == 1), describeRun(result));
    const QStringList names{"root.pem", "root.pfx", "intermediate.pem", "intermediate.pfx",
                            "leaf.pem", "leaf.pfx", "chain.pem"};
    if (result.exitCode == 1)
    {
        // Whole or not at all: not one of the chain's files.
        for (const QString& name : names)
            QVERIFY2(!QFile::exists(work("disk/out/" + name)), qPrintable(name));
        return;
    }
    QByteArray chain;
    for (const char* name : {"root.pem", "intermediate.pem", "leaf.pem"})
    {
        QVERIFY(serialOf(work("disk/out/") + name) > 0);
        chain += readFile(work("disk/out/") + name);
    }
    QCOMPARE(readFile(work("disk/out/chain.pem")), chain);
    for (const char* name : {"root.pfx", "intermediate.pfx", "leaf.pfx"})
        QVERIFY2(containerWhole(work("disk/out/") + name), qPrintable(name));
}

QTEST_GUILESS_MAIN(TestChainSerials)
#include "tst_chainserials.moc"
