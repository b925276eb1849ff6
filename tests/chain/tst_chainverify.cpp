// talvane-chain verify: silent on good chains, one line naming the certificate and the rule for
// each fault, the time findings, the files it reads, and how it sorts certificates into chains.

#include "certificatebuilder.h"
#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "faultcases.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/pem.h>
#include <openssl/pkcs12.h>

namespace
{

const QDateTime kStart(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kRootEnd = kStart.addYears(10);
const QString kAt = QStringLiteral("2025-01-01T00:00:00Z"); // inside every validity of the usual chain

using ChainFixtures::pemOf;
using ChainFixtures::writeFile;

// The finding lines of a run without their explanations: "error: <rule>: <certificate>".
QStringList findingHeads(const QByteArray& out)
{
    QStringList heads;
    QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeLast(); // the summary
    // A rule may name a time ("validity at 2030-01-01T00:00:00Z").
    static const QRegularExpression head(
        QStringLiteral("^((?:error|warning): .+?: (?:CN \"[^\"]*\" serial -?\\d+|chain)): "));
    for (const QString& line : lines)
    {
        const QRegularExpressionMatch match = head.match(line);
        heads << (match.hasMatch() ? match.captured(1) : QStringLiteral("(unexpected) ") + line);
    }
    return heads;
}

} // namespace

class TestChainVerify : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void goodChainIsSilent_data();
    void goodChainIsSilent();
    void faultIsNamed_data();
    void faultIsNamed();
    void timeFindings_data();
    void timeFindings();
    void pkcs12Input_data();
    void pkcs12Input();
    void notOneChain_data();
    void notOneChain();
    void missingIssuer_data();
    void missingIssuer();
    void severalLeaves();
    void conformingVariants_data();
    void conformingVariants();
    void derInput();
    void warnDays_data();
    void warnDays();
    void expiredNow();
    void unreadableFiles();

private:
    struct ChainPlan
    {
        const EVP_MD* digest = EVP_sha256();
        Fault fault = Fault::None;
        int faulty = -1;
        QDateTime start = kStart;
        QDateTime rootEnd = kRootEnd;
    };
    std::vector<X509Ptr> makeChain(const ChainPlan& plan) const;
    QString write(const QString& name, const std::vector<X509*>& certificates) const;
    ChainRun verify(const QStringList& arguments, const QMap<QString, QString>& environment = {}) const
    {
        // The line naming the root taken as trusted is judged by the tests of the trust anchor.
        ChainRun result = ChainRunner::run(QStringList{"verify"} + arguments, mWork->path(), environment);
        result.out = ChainFixtures::withoutTrustedRoot(result.out);
        return result;
    }

    ChainKeys mKeys;
    std::vector<X509Ptr> mGoodChain;
    QTemporaryDir* mWork = nullptr;
};

void TestChainVerify::initTestCase()
{
    ChainCheck::initOpenSsl();
    QVERIFY(mKeys.make());
    mGoodChain = makeChain(ChainPlan());
}

void TestChainVerify::init()
{
    mWork = new QTemporaryDir;
    QVERIFY(mWork->isValid());
}

void TestChainVerify::cleanup()
{
    delete mWork;
    mWork = nullptr;
}

std::vector<X509Ptr> TestChainVerify::makeChain(const ChainPlan& plan) const
{
    ChainLayout layout;
    layout.digest = plan.digest;
    layout.fault = plan.fault;
    layout.faulty = plan.faulty;
    for (int i = 0; i < 3; ++i)
    {
        layout.notBefore[i] = plan.start.addDays(i);
        layout.notAfter[i] = plan.rootEnd.addDays(-i);
    }
    return CertificateBuilder::chain(mKeys, layout);
}

QString TestChainVerify::write(const QString& name, const std::vector<X509*>& certificates) const
{
    QByteArray pem;
    for (X509* certificate : certificates)
        pem += pemOf(certificate);
    const QString path = mWork->filePath(name);
    return writeFile(path, pem) ? path : QString();
}

void TestChainVerify::goodChainIsSilent_data()
{
    QTest::addColumn<bool>("sha1");
    QTest::addColumn<bool>("separateFiles");

    QTest::newRow("SHA-256, one file, leaf first") << false << false;
    QTest::newRow("SHA-1, one file, leaf first") << true << false;
    QTest::newRow("SHA-256, a file each, leaf first") << false << true;
}

void TestChainVerify::goodChainIsSilent()
{
    QFETCH(bool, sha1);
    QFETCH(bool, separateFiles);
    ChainPlan plan;
    plan.digest = sha1 ? EVP_sha1() : EVP_sha256();
    const std::vector<X509Ptr> chain = sha1 ? makeChain(plan) : std::vector<X509Ptr>();
    const std::vector<X509*> certificates = ChainCheck::borrow(sha1 ? chain : mGoodChain);

    QStringList files;
    if (separateFiles)
        files << write("leaf.pem", {certificates[2]}) << write("root.pem", {certificates[0]})
              << write("intermediate.pem", {certificates[1]});
    else
        files << write("chain.pem", {certificates[2], certificates[0], certificates[1]});

    // SHA-1 is for Interop packages only.
    const QStringList profile = sha1 ? QStringList{"--profile", "interop"} : QStringList();
    const ChainRun result = verify(files + QStringList{"--at", kAt} + profile);
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QCOMPARE(result.out, QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));
    QVERIFY(result.err.isEmpty());

    // Authorities alone are judged as authorities.
    const ChainRun authorities =
        verify(QStringList{write("authorities.pem", {certificates[1], certificates[0]}), "--at", kAt} + profile);
    QVERIFY2(authorities.exitCode == 0, describeRun(authorities));
    QCOMPARE(authorities.out, QByteArray("2 certificates checked: 0 errors, 0 warnings.\n"));
}

void TestChainVerify::faultIsNamed_data()
{
    addFaultColumns();
    addFaultRows(sharedFaultCases());
    // These break another certificate than the rows of the same names in the checker's suite.
    using namespace ChainPosition;
    addFaultRows({
        {"O differing from the issuer's", Fault::OtherOrganization, leaf, "organization"},
        {"non-critical basicConstraints", Fault::NonCriticalBasicConstraints, root, "basicConstraints"},
        {"AKI serial not the parent's", Fault::AuthoritySerialWrong, intermediate, "authorityKeyIdentifier"},
    });
}

void TestChainVerify::faultIsNamed()
{
    QFETCH(Fault, fault);
    QFETCH(int, faulty);
    QFETCH(QString, rule);
    ChainPlan plan;
    plan.fault = fault;
    plan.faulty = faulty;
    const std::vector<X509Ptr> chain = makeChain(plan);

    // Leaf first: the verifier puts the chain in order itself.
    const ChainRun result = verify({write("chain.pem", {chain[2].get(), chain[0].get(), chain[1].get()}), "--at", kAt});
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 1);
    const QString expected = "error: " + rule + ": " + ChainCheck::describe(chain[faulty].get());
    QVERIFY2(findingHeads(result.out).contains(expected), describeRun(result) + "\nexpected: " + expected.toUtf8());
    QVERIFY2(!result.out.contains("chain order"), describeRun(result));
}

void TestChainVerify::timeFindings_data()
{
    QTest::addColumn<QDateTime>("rootEnd");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QStringList>("expected"); // "<kind>: <rule>: <certificate index>"
    QTest::addColumn<int>("exitCode");

    // With --at the findings name that time, not "now"; certificates ending within 30 days of it
    // (the default of --warn-days) are warned about.
    const QString beforeRoot = QStringLiteral("2023-12-31T23:59:59Z");
    const QString notYet = "error: validity at " + beforeRoot + ": %1";
    QTest::newRow("one second before the root starts")
        << kRootEnd << beforeRoot
        << QStringList{notYet.arg(0), "warning: validity over 10 years: 0", notYet.arg(1), notYet.arg(2)} << 1;
    const QString afterLeaf = kRootEnd.addDays(-2).addSecs(1).toString(Qt::ISODate);
    QTest::newRow("one second after the leaf ends")
        << kRootEnd << afterLeaf
        << QStringList{"warning: expiry: 0", "warning: expiry: 1", "error: validity at " + afterLeaf + ": 2"} << 1;
    QTest::newRow("at the leaf's last second")
        << kRootEnd << kRootEnd.addDays(-2).toString(Qt::ISODate)
        << QStringList{"warning: expiry: 0", "warning: expiry: 1", "warning: expiry: 2"} << 0;
    const QDateTime past2038(QDate(2038, 6, 1), QTime(0, 0), Qt::UTC);
    QTest::newRow("ending past 2038-01-19")
        << past2038 << "2030-01-01T00:00:00Z"
        << QStringList{"warning: validity past 2038: 0", "warning: validity past 2038: 1",
                       "warning: validity past 2038: 2"}
        << 0;
    // The leaf ends two days before the root: at the 32-bit limit exactly, and one second after.
    const QDateTime limit(QDate(2038, 1, 19), QTime(3, 14, 7), Qt::UTC);
    QTest::newRow("leaf ending at 2038-01-19 03:14:07")
        << limit.addDays(2) << "2030-01-01T00:00:00Z"
        << QStringList{"warning: validity past 2038: 0", "warning: validity past 2038: 1"} << 0;
    QTest::newRow("more than 10 years ahead")
        << QDateTime(QDate(2036, 1, 1), QTime(0, 0), Qt::UTC) << kAt
        << QStringList{"warning: validity over 10 years: 0", "warning: validity over 10 years: 1",
                       "warning: validity over 10 years: 2"}
        << 0;
    QTest::newRow("leaf ending exactly 10 years ahead")
        << QDateTime(QDate(2035, 1, 3), QTime(0, 0), Qt::UTC) << kAt
        << QStringList{"warning: validity over 10 years: 0", "warning: validity over 10 years: 1"} << 0;
}

void TestChainVerify::timeFindings()
{
    QFETCH(QDateTime, rootEnd);
    QFETCH(QString, at);
    QFETCH(QStringList, expected);
    QFETCH(int, exitCode);
    ChainPlan plan;
    plan.rootEnd = rootEnd;
    const std::vector<X509Ptr> chain = makeChain(plan);

    const ChainRun result = verify({write("chain.pem", ChainCheck::borrow(chain)), "--at", at});
    QVERIFY2(!result.crashed, describeRun(result));
    QStringList expectedHeads;
    for (const QString& entry : expected)
    {
        const int index = entry.section(QStringLiteral(": "), -1).toInt();
        expectedHeads << entry.section(QStringLiteral(": "), 0, -2) + ": " + ChainCheck::describe(chain[index].get());
    }
    QCOMPARE(findingHeads(result.out), expectedHeads);
    QVERIFY2(!result.out.contains("now"), describeRun(result));
    QCOMPARE(result.exitCode, exitCode);
}

void TestChainVerify::pkcs12Input_data()
{
    QTest::addColumn<QString>("passwordFile"); // content; empty: no --password-file
    QTest::addColumn<QString>("environment");  // TALVANE_PASSWORD; empty: unset
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");

    QTest::newRow("password from a file") << "pfx secret\n" << QString() << 0 << QString();
    QTest::newRow("password from the environment") << QString() << "pfx secret" << 0 << QString();
    QTest::newRow("wrong password")
        << "not it\n" << QString() << 1 << "The file %1 cannot be read as a PKCS#12 file with the password given.";
    QTest::newRow("no password, no terminal")
        << QString() << QString() << 2 << "No password for the PKCS#12 file %1: give --password-file or set "
                                          "TALVANE_PASSWORD.";
}

void TestChainVerify::pkcs12Input()
{
    QFETCH(QString, passwordFile);
    QFETCH(QString, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, error);

    // The leaf with its key, the chain above it (as the tool's containers hold it).
    STACK_OF(X509)* above = sk_X509_new_null();
    sk_X509_push(above, mGoodChain[0].get());
    sk_X509_push(above, mGoodChain[1].get());
    Pkcs12Ptr container(PKCS12_create("pfx secret", "friendlyname", mKeys.certificates[2].get(), mGoodChain[2].get(), above, 0, 0,
                                      0, 0, 0));
    sk_X509_free(above);
    QVERIFY(container);
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(container.get(), &der);
    QVERIFY(length > 0);
    const QString pfx = mWork->filePath("leaf.pfx");
    QVERIFY(writeFile(pfx, QByteArray(reinterpret_cast<const char*>(der), length)));
    OPENSSL_free(der);

    QStringList arguments{pfx, write("root.pem", {mGoodChain[0].get()}), "--at", kAt};
    if (!passwordFile.isEmpty())
    {
        QVERIFY(writeFile(mWork->filePath("password"), passwordFile.toUtf8()));
        arguments << "--password-file" << mWork->filePath("password");
    }
    QMap<QString, QString> variables;
    if (!environment.isEmpty())
        variables.insert("TALVANE_PASSWORD", environment);

    const ChainRun result = verify(arguments, variables);
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, exitCode);
    if (error.isEmpty())
    {
        // The root given twice (in the container and on its own) counts once.
        QCOMPARE(result.out, QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));
        QVERIFY(result.err.isEmpty());
    }
    else
    {
        QCOMPARE(QString::fromUtf8(result.err), error.arg(pfx) + "\n");
        QVERIFY(result.out.isEmpty());
    }
}

void TestChainVerify::notOneChain_data()
{
    QTest::addColumn<QString>("problem");
    QTest::newRow("two roots") << "2 self-signed roots among the certificates";
}

void TestChainVerify::notOneChain()
{
    QFETCH(QString, problem);
    ChainPlan plan;
    plan.start = kStart.addDays(1);
    const std::vector<X509Ptr> other = makeChain(plan);
    const std::vector<X509*> certificates = {mGoodChain[0].get(), other[0].get()};

    const ChainRun result = verify({write("chain.pem", certificates), "--at", kAt});
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 1);
    const QString line = "error: chain order: chain: " + problem +
                         "; judged in the order given\n";
    QVERIFY2(result.out.startsWith(line.toUtf8()), describeRun(result));
}

void TestChainVerify::missingIssuer_data()
{
    QTest::addColumn<QList<int>>("given");   // positions in the usual chain
    QTest::addColumn<int>("top");            // the one whose issuer is missing
    QTest::addColumn<QString>("issuerCN");  // of the missing issuer
    QTest::addColumn<QByteArray>("summary");

    using namespace ChainPosition;
    QTest::newRow("intermediate missing") << QList<int>{root, leaf} << leaf << ".Test Intermediate"
                                          << QByteArray("2 certificates checked: 1 error, 0 warnings.\n");
    QTest::newRow("root missing") << QList<int>{leaf, intermediate} << intermediate << ".Test Root"
                                  << QByteArray("2 certificates checked: 1 error, 0 warnings.\n");
    QTest::newRow("a leaf alone") << QList<int>{leaf} << leaf << ".Test Intermediate"
                                  << QByteArray("1 certificate checked: 1 error, 0 warnings.\n");
}

// One error naming the issuer that is missing, none of the findings that would follow from
// judging the branch without it.
void TestChainVerify::missingIssuer()
{
    QFETCH(QList<int>, given);
    QFETCH(int, top);
    QFETCH(QString, issuerCN);
    QFETCH(QByteArray, summary);
    std::vector<X509*> certificates;
    for (int position : given)
        certificates.push_back(mGoodChain[size_t(position)].get());

    const ChainRun result = verify({write("chain.pem", certificates), "--at", kAt});
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 1);
    const QList<QByteArray> lines = result.out.split('\n');
    QVERIFY2(lines.size() == 3 && lines[1] + '\n' == summary, describeRun(result));
    const QString line = QString::fromUtf8(lines[0]);
    const QString head = "error: missing issuer: " + ChainCheck::describe(mGoodChain[size_t(top)].get()) + ": issued by \"";
    QVERIFY2(line.startsWith(head), describeRun(result));
    QVERIFY2(line.contains("CN = " + issuerCN + ","), describeRun(result));
}

// Two leaves under one intermediate are two chains: each judged, the authorities above them
// named once.
void TestChainVerify::severalLeaves()
{
    CertificateSpec spec{"CS.Second Signer", 4, -1, kStart.addDays(3), kRootEnd.addDays(-3),
                         mKeys.certificates[2].get(), EVP_sha256(), Fault::None};
    const X509Ptr second = CertificateBuilder::make(spec, mGoodChain[1].get(), mKeys.certificates[1].get());
    ChainRun result = verify({write("leaves.pem", {mGoodChain[2].get(), second.get(), mGoodChain[1].get(),
                                                   mGoodChain[0].get()}),
                              "--at", kAt});
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QCOMPARE(result.out, QByteArray("4 certificates checked: 0 errors, 0 warnings.\n"));

    // A faulty root is judged in both chains and named once; the faulty second leaf is named,
    // the first leaf is not.
    ChainPlan plan;
    plan.fault = Fault::NonCriticalBasicConstraints;
    plan.faulty = ChainPosition::root;
    const std::vector<X509Ptr> chain = makeChain(plan);
    spec.fault = Fault::WrongDnQualifier;
    const X509Ptr faultyLeaf = CertificateBuilder::make(spec, chain[1].get(), mKeys.certificates[1].get());
    result = verify({write("faulty.pem", {chain[0].get(), chain[1].get(), chain[2].get(), faultyLeaf.get()}), "--at",
                     kAt});
    QCOMPARE(result.exitCode, 1);
    const QStringList heads = findingHeads(result.out);
    QCOMPARE(heads.count("error: basicConstraints: " + ChainCheck::describe(chain[0].get())), 1);
    QVERIFY2(heads.contains("error: dnQualifier: " + ChainCheck::describe(faultyLeaf.get())), describeRun(result));
    QVERIFY2(!result.out.contains(ChainCheck::describe(chain[2].get()).toUtf8()), describeRun(result));
    QVERIFY2(!result.out.contains("chain order"), describeRun(result));
}

void TestChainVerify::conformingVariants_data()
{
    QTest::addColumn<bool>("crlSign");
    QTest::addColumn<QByteArray>("leafSerialHex");

    QTest::newRow("authorities with cRLSign beside keyCertSign") << true << QByteArray();
    QTest::newRow("leaf serial of 64 bits") << false << QByteArray("FFFFFFFFFFFFFFFF");
}

void TestChainVerify::conformingVariants()
{
    QFETCH(bool, crlSign);
    QFETCH(QByteArray, leafSerialHex);
    CertificateSpec specs[3] = {
        {".Test Root", 1, 2, kStart, kRootEnd, mKeys.certificates[0].get(), EVP_sha256(), Fault::None},
        {".Test Intermediate", 2, 1, kStart, kRootEnd, mKeys.certificates[1].get(), EVP_sha256(), Fault::None},
        {"CS.Test Signer", 3, -1, kStart, kRootEnd, mKeys.certificates[2].get(), EVP_sha256(), Fault::None},
    };
    specs[0].crlSign = specs[1].crlSign = crlSign;
    specs[2].serialHex = leafSerialHex;
    std::vector<X509Ptr> chain;
    chain.push_back(CertificateBuilder::make(specs[0], nullptr, nullptr));
    chain.push_back(CertificateBuilder::make(specs[1], chain[0].get(), specs[0].key));
    chain.push_back(CertificateBuilder::make(specs[2], chain[1].get(), specs[1].key));

    const ChainRun result = verify({write("chain.pem", ChainCheck::borrow(chain)), "--at", kAt});
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QCOMPARE(result.out, QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));
}

// A DER certificate is read as one, with no password asked for; DER and PEM mix.
void TestChainVerify::derInput()
{
    QStringList files;
    for (int i = 0; i < 2; ++i)
    {
        files << mWork->filePath(QStringLiteral("%1.der").arg(i));
        QVERIFY(writeFile(files.back(), ChainFixtures::derOf(mGoodChain[size_t(i)].get())));
    }
    files << write("leaf.pem", {mGoodChain[2].get()});
    const ChainRun result = verify(files + QStringList{"--at", kAt});
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QCOMPARE(result.out, QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));
    QVERIFY(result.err.isEmpty());
}

void TestChainVerify::warnDays_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<qint64>("secondsBeforeLeafEnd"); // --at; the intermediate ends a day after the leaf
    QTest::addColumn<QStringList>("expected");         // "warning: expiry: <certificate index>"

    const qint64 day = 24 * 3600;
    QTest::newRow("default: leaf ending in 30 days") << QStringList() << 30 * day
                                                     << QStringList{"warning: expiry: 2"};
    QTest::newRow("default: leaf ending in 30 days and 1 s") << QStringList() << 30 * day + 1 << QStringList();
    QTest::newRow("31 days: intermediate ending in 31 days")
        << QStringList{"--warn-days", "31"} << 30 * day << QStringList{"warning: expiry: 1", "warning: expiry: 2"};
    QTest::newRow("0 days: never") << QStringList{"--warn-days", "0"} << 1 * day << QStringList();
}

void TestChainVerify::warnDays()
{
    QFETCH(QStringList, options);
    QFETCH(qint64, secondsBeforeLeafEnd);
    QFETCH(QStringList, expected);
    const QDateTime leafEnd = kRootEnd.addDays(-2);
    const QString at = leafEnd.addSecs(-secondsBeforeLeafEnd).toString(Qt::ISODate);

    const ChainRun result = verify(QStringList{write("chain.pem", ChainCheck::borrow(mGoodChain)), "--at", at} + options);
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    QStringList expectedHeads;
    for (const QString& entry : expected)
        expectedHeads << entry.section(": ", 0, -2) + ": " +
                             ChainCheck::describe(mGoodChain[size_t(entry.section(": ", -1).toInt())].get());
    QCOMPARE(findingHeads(result.out), expectedHeads);
    if (!expected.isEmpty())
        QVERIFY2(result.out.contains(": ends " + leafEnd.toString(Qt::ISODate).toUtf8() + ", within "), describeRun(result));
}

// Without --at the time findings say "now".
void TestChainVerify::expiredNow()
{
    ChainPlan plan;
    plan.start = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    plan.rootEnd = plan.start.addYears(1);
    const std::vector<X509Ptr> chain = makeChain(plan);
    const ChainRun result = verify({write("old.pem", ChainCheck::borrow(chain))});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(findingHeads(result.out).contains("error: validity now: " + ChainCheck::describe(chain[2].get())),
             describeRun(result));
}

void TestChainVerify::unreadableFiles()
{
    // A file that does not exist is a failed run, as for every command, not a wrong command line.
    ChainRun result = verify({mWork->filePath("absent.pem")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.err), "The file " + mWork->filePath("absent.pem") + " does not exist.\n");

    QVERIFY(writeFile(mWork->filePath("broken.pem"), "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"));
    result = verify({mWork->filePath("broken.pem")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.err), "The file " + mWork->filePath("broken.pem") +
                                                " holds no readable certificate.\n");

    // Neither PEM nor a container: told by its content and refused without a password.
    QVERIFY(writeFile(mWork->filePath("noise.bin"), "no certificate in here"));
    result = verify({mWork->filePath("noise.bin")}, {{"TALVANE_PASSWORD", "x"}});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QString::fromUtf8(result.err), "The file " + mWork->filePath("noise.bin") +
                                                " is neither a certificate (PEM or DER) nor a PKCS#12 file.\n");
}

QTEST_GUILESS_MAIN(TestChainVerify)
#include "tst_chainverify.moc"
