// Device certificates: leaves with roles other than a content signer's, certificate requests made
// here and by openssl, signed by an authority that rebuilds what they propose, and many leaves in
// one run. openssl, the verifier and the chain checker are the judges.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "commandline.h"
#include "console.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <openssl/x509.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "device secret";

struct CliRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CliRun run(const QStringList& arguments)
{
    CliRun result;
    Console console(&result.out, &result.err, QByteArray());
    result.status = RunCommandLine(QStringList{"talvane-chain"} + arguments, console);
    return result;
}

QByteArray describe(const CliRun& result)
{
    return "status " + QByteArray::number(result.status) + "\nstdout:\n" + result.out + "stderr:\n" +
           result.err;
}

struct ToolRun
{
    int status = -1;
    QByteArray out;
};

[[maybe_unused]] ToolRun openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

QString commonNameOf(const QString& pem)
{
    const auto certificates = ChainCheck::loadPemCertificates(pem);
    return certificates.empty() ? QString() : subjectEntry(certificates.front().get(), NID_commonName);
}

} // namespace

class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rolesOfALeaf_data();
    void rolesOfALeaf();
    void rolesOfAChainsLeaf();

private:
    QString fixture(const QString& name) const { return mFixtures.filePath(name); }
    QStringList issuedBy() const
    {
        return {"--issuer", fixture("root.pfx"), "--issuer-password-file", fixture("password"), "--serial",
                "random"};
    }
    QStringList password() const { return {"--password-file", fixture("password")}; }

    QTemporaryDir mFixtures;
    std::unique_ptr<QTemporaryDir> mWork;
};

void TestDevices::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(QDir::setCurrent(mFixtures.path()));
    QVERIFY(writeFile(fixture("password"), kPassword + "\n"));
    const CliRun result = run(QStringList{"root", "--out", "root", "--root-name", ".Devices.Example",
                                          "--organization", ".Line", "--entity", "Authority", "--days",
                                          "1000"} +
                              password());
    QVERIFY2(result.status == 0, describe(result));
}

void TestDevices::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
    QVERIFY(QDir::setCurrent(mWork->path()));
}

void TestDevices::rolesOfALeaf_data()
{
    QTest::addColumn<QString>("roles");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("commonName"); // on success; else a word of the refusal
    QTest::newRow("a media block") << "LE SPB MD FM SM" << 0 << "LE SPB MD FM SM.Device";
    QTest::newRow("spaces around") << "  PR  " << 0 << "PR.Device";
    QTest::newRow("unknown role") << "LE XX" << 2 << "XX";
    QTest::newRow("a role twice") << "SM MD SM" << 2 << "SM";
    QTest::newRow("signer beside a device role") << "CS SM" << 2 << "CS";
    QTest::newRow("no role") << " " << 2 << "--roles";
    QTest::newRow("lower case is another role") << "sm" << 2 << "sm";
}

void TestDevices::rolesOfALeaf()
{
    QFETCH(QString, roles);
    QFETCH(int, status);
    QFETCH(QString, commonName);
    const CliRun result =
        run(QStringList{"leaf", "--out", "device", "--entity", "Device", "--roles", roles} + issuedBy() +
            password());
    QVERIFY2(result.status == status, describe(result));
    if (status != 0)
    {
        QVERIFY2(result.err.contains(commonName.toUtf8()), describe(result));
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
        return;
    }
    QCOMPARE(commonNameOf("device.pem"), commonName);
    const QStringList findings = ChainCheck::checkDevicePemFiles({fixture("root.pem"), "device.pem"});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    // A device passes as a device and is refused as the signer of a playlist.
    const QStringList verify{"verify", fixture("root.pem"), "device.pem"};
    CliRun judged = run(verify);
    QVERIFY2(judged.status == 0, describe(judged));
    judged = run(verify + QStringList{"--signer"});
    QVERIFY2(judged.status == 1, describe(judged));
}

// The chain's leaf takes the roles too; the authorities above it never carry one.
void TestDevices::rolesOfAChainsLeaf()
{
    CliRun result = run(QStringList{"chain", "--out-dir", "lab", "--root-name", ".R", "--organization", ".O",
                                    "--roles", "SM", "--leaf-entity", "Block"} +
                        password());
    QVERIFY2(result.status == 0, describe(result));
    QCOMPARE(commonNameOf("lab/leaf.pem"), QString("SM.Block"));
    QCOMPARE(commonNameOf("lab/root.pem"), QString(".Root"));
    result = run(QStringList{"chain", "--out-dir", "bad", "--root-name", ".R", "--organization", ".O",
                             "--roles", "SM CS"} +
                 password());
    QCOMPARE(result.status, 2);
    QVERIFY(!QFileInfo::exists("bad"));
}

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
