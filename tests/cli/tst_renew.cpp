// A chain's life in process: serial numbers unique per issuer, renewing each kind of certificate
// and whole chains (openssl, the verifier and the chain checker as judges), and expiry's
// statuses for scripts.

#include "certificatebuilder.h"
#include "chainfixtures.h"
#include "clirun.h"
#include "commandline.h"
#include "console.h"
#include "foldersnapshot.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <set>

#include <openssl/x509.h>
#include <openssl/x509v3.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "renew secret";

// The judge's exit status and both its streams.
std::pair<int, QByteArray> openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), process.readAll().trimmed()};
}

X509Ptr firstOf(const QString& pem)
{
    std::vector<X509Ptr> certificates = ChainCheck::loadPemCertificates(pem);
    return certificates.empty() ? nullptr : std::move(certificates.front());
}

QByteArray subjectDer(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509_NAME(X509_get_subject_name(certificate), &der);
    QByteArray bytes(reinterpret_cast<const char*>(der), length > 0 ? length : 0);
    OPENSSL_free(der);
    return bytes;
}

QByteArray keyDer(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(X509_get0_pubkey(certificate), &der);
    QByteArray bytes(reinterpret_cast<const char*>(der), length > 0 ? length : 0);
    OPENSSL_free(der);
    return bytes;
}

// Every extension's DER but the authority key identifier's, in order.
QList<QByteArray> extensionsBesideAki(X509* certificate)
{
    QList<QByteArray> extensions;
    for (int i = 0; i < X509_get_ext_count(certificate); ++i)
    {
        X509_EXTENSION* extension = X509_get_ext(certificate, i);
        if (OBJ_obj2nid(X509_EXTENSION_get_object(extension)) == NID_authority_key_identifier)
            continue;
        unsigned char* der = nullptr;
        const int length = i2d_X509_EXTENSION(extension, &der);
        extensions << QByteArray(reinterpret_cast<const char*>(der), length > 0 ? length : 0);
        OPENSSL_free(der);
    }
    return extensions;
}

qint64 serialOf(X509* certificate)
{
    int64_t serial = 0;
    return ASN1_INTEGER_get_int64(&serial, X509_get0_serialNumber(certificate)) == 1 ? serial : -1;
}

QStringList chainStems(int intermediates)
{
    QStringList stems{"root"};
    for (int i = 1; i <= intermediates; ++i)
        stems << (i == 1 ? QStringLiteral("intermediate") : QStringLiteral("intermediate-%1").arg(i));
    return stems << "leaf";
}

} // namespace

class TestRenew : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaultSerialsUniquePerIssuer();
    void renewsOneCertificate_data();
    void renewsOneCertificate();
    void renewsWholeChains_data();
    void renewsWholeChains();
    void anotherToolsChain();
    void refusalsLeaveEverything_data();
    void refusalsLeaveEverything();
    void expiryStatuses();
    void tenYearWarning_data();
    void tenYearWarning();

private:
    QString fixture(const QString& name) const { return mFixtures.filePath(name); }
    QStringList passwords() const
    {
        return {"--in-password-file", fixture("password"), "--issuer-password-file", fixture("password")};
    }
    void makeChain(const QString& folder, int intermediates);
    void checkJudges(const QStringList& rootFirst, bool lastIsLeaf = true);

    QTemporaryDir mFixtures;
    std::unique_ptr<QTemporaryDir> mWork;
};

void TestRenew::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(QDir::setCurrent(mFixtures.path()));
    QVERIFY(writeFile(fixture("password"), kPassword + "\n"));
    makeChain(fixture("lab"), 1);
    makeChain(fixture("other"), 0);

    // A leaf of another tool whose dnQualifier is not the one of its key.
    ChainCheck::initOpenSsl();
    const EvpPkeyPtr key = CertificateBuilder::rsaKey(2048);
    CertificateSpec spec;
    spec.commonName = "CS.Stranger";
    spec.notBefore = QDateTime::currentDateTimeUtc().addDays(-1);
    spec.notAfter = QDateTime::currentDateTimeUtc().addYears(1);
    spec.key = key.get();
    spec.fault = Fault::WrongDnQualifier;
    const X509Ptr stranger = CertificateBuilder::make(spec, nullptr, nullptr);
    QVERIFY(stranger);
    QVERIFY(writeFile(fixture("stranger.pfx"),
                      classicPkcs12(key.get(), stranger.get(), {}, kPassword.constData())));
}

void TestRenew::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
    QVERIFY(QDir::setCurrent(mWork->path()));
}

void TestRenew::makeChain(const QString& folder, int intermediates)
{
    const CliRun result =
        RunCli({"chain", "--out-dir", folder, "--root-name", ".Renew.Example", "--organization", ".Lab",
                "--intermediates", QString::number(intermediates), "--password-file", fixture("password")});
    QVERIFY2(result.status == 0, Describe(result));
}

// openssl in strict mode, the chain checker and verify, on a chain's PEM files root first.
void TestRenew::checkJudges(const QStringList& rootFirst, bool lastIsLeaf)
{
    QStringList strict{"verify", "-x509_strict", "-CAfile", rootFirst.front()};
    for (int i = 1; i + 1 < rootFirst.size(); ++i)
        strict << "-untrusted" << rootFirst.at(i);
    const auto [status, text] = openssl(strict << rootFirst.back());
    QVERIFY2(status == 0, text.constData());
    ChainCheck::Options options;
    options.lastIsLeaf = lastIsLeaf;
    const QStringList findings = ChainCheck::checkPemFiles(rootFirst, options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    const CliRun verify = RunCli(QStringList{"verify"} + rootFirst);
    QVERIFY2(verify.status == 0, Describe(verify));
}

// Separate runs in separate folders under one issuer, each drawing its serial by default: all
// distinct, all in 1 .. 2^63-1, and the verifier (which refuses one issuer and serial twice) and
// show read them.
void TestRenew::defaultSerialsUniquePerIssuer()
{
    const int runs = 1000;
    std::set<qint64> serials;
    QStringList leaves;
    bool above32Bits = false;
    for (int i = 0; i < runs; ++i)
    {
        const QString folder = mWork->filePath(QString::number(i));
        QVERIFY(QDir().mkpath(folder) && QDir::setCurrent(folder));
        const CliRun result = RunCli(QStringList{"renew", fixture("lab/leaf.pfx"), "--issuer",
                                                 fixture("lab/intermediate.pfx"), "--out", "leaf"} +
                                     passwords());
        QVERIFY2(result.status == 0, Describe(result));
        const X509Ptr leaf = firstOf(QDir(folder).filePath("leaf.pem"));
        QVERIFY(leaf);
        const qint64 serial = serialOf(leaf.get());
        QVERIFY2(serial >= 1, qPrintable(QString::number(serial)));
        above32Bits = above32Bits || serial > 0xffffffffLL;
        serials.insert(serial);
        leaves << QDir(folder).filePath("leaf.pem");
    }
    QCOMPARE(int(serials.size()), runs);
    QVERIFY(above32Bits);

    const CliRun verify =
        RunCli(QStringList{"verify", fixture("lab/root.pem"), fixture("lab/intermediate.pem")} + leaves);
    QVERIFY2(verify.status == 0, Describe(verify).left(2000).constData());
    const CliRun show = RunCli(QStringList{"show", "--json"} + leaves.mid(0, 20));
    QCOMPARE(show.status, 0);
    const QJsonArray shown = QJsonDocument::fromJson(show.out).object()["certificates"].toArray();
    QCOMPARE(shown.size(), 20);
    for (const QJsonValue& certificate : shown)
    {
        const QJsonObject serial = certificate["serial"].toObject();
        const qint64 decimal = serial["decimal"].toString().toLongLong();
        QVERIFY(serials.count(decimal) == 1);
        QCOMPARE(serial["hex"].toString().toLongLong(nullptr, 16), decimal);
    }
}

void TestRenew::renewsOneCertificate_data()
{
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("issuer"); // empty: a root
    QTest::addColumn<bool>("newKey");
    QTest::newRow("leaf under its issuer") << "leaf"
                                           << "intermediate" << false;
    QTest::newRow("intermediate under its root") << "intermediate"
                                                 << "root" << false;
    QTest::newRow("root, its own issuer") << "root" << QString() << false;
    QTest::newRow("leaf with a new key") << "leaf"
                                         << "intermediate" << true;
}

void TestRenew::renewsOneCertificate()
{
    QFETCH(QString, stem);
    QFETCH(QString, issuer);
    QFETCH(bool, newKey);
    const QMap<QString, QByteArray> before = folderSnapshot(fixture("lab"));
    QStringList arguments =
        QStringList{"renew", fixture("lab/" + stem + ".pfx"), "--out", "renewed"} + passwords();
    if (!issuer.isEmpty())
        arguments << "--issuer" << fixture("lab/" + issuer + ".pfx");
    if (newKey)
        arguments << "--new-key";
    const CliRun result = RunCli(arguments);
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out.count('\n'), 2);
    QCOMPARE(folderSnapshot(fixture("lab")), before);

    const X509Ptr old = firstOf(fixture("lab/" + stem + ".pem"));
    const X509Ptr renewed = firstOf(mWork->filePath("renewed.pem"));
    QVERIFY(old && renewed);
    QVERIFY(serialOf(renewed.get()) != serialOf(old.get()));
    QCOMPARE(keyDer(renewed.get()) == keyDer(old.get()), !newKey);
    if (newKey)
    {
        QVERIFY(subjectEntry(renewed.get(), NID_dnQualifier) != subjectEntry(old.get(), NID_dnQualifier));
        for (const int nid : {NID_organizationName, NID_organizationalUnitName, NID_commonName})
            QCOMPARE(subjectEntry(renewed.get(), nid), subjectEntry(old.get(), nid));
    }
    else
    {
        QCOMPARE(subjectDer(renewed.get()), subjectDer(old.get()));
        QCOMPARE(extensionsBesideAki(renewed.get()), extensionsBesideAki(old.get()));
    }
    // A new validity from now, never past the issuer's.
    QVERIFY(timeOf(X509_get0_notBefore(renewed.get())) > timeOf(X509_get0_notBefore(old.get())));

    // The container under the old password holds the key of the certificate and the chain above.
    const ChainCheck::Pkcs12Contents contents =
        ChainCheck::loadPkcs12(mWork->filePath("renewed.pfx"), kPassword);
    QVERIFY2(contents.ok(), qPrintable(contents.error));
    QCOMPARE(X509_check_private_key(renewed.get(), contents.key.get()), 1);

    QStringList paths;
    for (const char* above : {"root", "intermediate"})
        if (!issuer.isEmpty() && (above == issuer || QString(above) == "root"))
            paths << fixture(QStringLiteral("lab/%1.pem").arg(above));
    checkJudges(paths << mWork->filePath("renewed.pem"), stem == "leaf");
    if (stem != "leaf")
        QVERIFY2(result.err.contains("renew them too"), Describe(result));
}

void TestRenew::renewsWholeChains_data()
{
    QTest::addColumn<int>("intermediates");
    QTest::addColumn<bool>("newKey");
    QTest::newRow("root and leaf") << 0 << false;
    QTest::newRow("one intermediate") << 1 << false;
    QTest::newRow("three intermediates") << 3 << false;
    QTest::newRow("one intermediate, new keys") << 1 << true;
}

void TestRenew::renewsWholeChains()
{
    QFETCH(int, intermediates);
    QFETCH(bool, newKey);
    const QString old = mWork->filePath("old");
    makeChain(old, intermediates);
    const QMap<QString, QByteArray> before = folderSnapshot(old);
    QStringList arguments =
        QStringList{"renew", "--chain", old, "--out-dir", "new", "--in-password-file", fixture("password")};
    if (newKey)
        arguments << "--new-key";
    const CliRun result = RunCli(arguments);
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out.count('\n'), 2 * (intermediates + 2) + 1);
    QCOMPARE(folderSnapshot(old), before);

    const QStringList stems = chainStems(intermediates);
    const QString renewed = mWork->filePath("new");
    for (const QString& stem : stems)
    {
        const X509Ptr was = firstOf(QDir(old).filePath(stem + ".pem"));
        const X509Ptr is = firstOf(QDir(renewed).filePath(stem + ".pem"));
        QVERIFY(was && is);
        QCOMPARE(keyDer(is.get()) == keyDer(was.get()), !newKey);
        QCOMPARE(subjectDer(is.get()) == subjectDer(was.get()), !newKey);
        QVERIFY(serialOf(is.get()) != serialOf(was.get()));
    }
    QStringList paths;
    for (const QString& stem : stems)
        paths << QDir(renewed).filePath(stem + ".pem");
    checkJudges(paths);
    if (QTest::currentTestFailed())
        return;

    // A signature made with the old leaf key verifies with the renewed leaf, which the renewed
    // chain vouches for.
    if (newKey)
        return;
    QVERIFY(writeFile("data", "a composition's digest"));
    const QString passin = "file:" + fixture("password");
    QCOMPARE(openssl({"pkcs12", "-legacy", "-in", QDir(old).filePath("leaf.pfx"), "-passin", passin,
                      "-nocerts", "-nodes", "-out", "old-key.pem"})
                 .first,
             0);
    QCOMPARE(openssl({"dgst", "-sha256", "-sign", "old-key.pem", "-out", "signature", "data"}).first, 0);
    QCOMPARE(
        openssl({"x509", "-in", QDir(renewed).filePath("leaf.pem"), "-pubkey", "-noout", "-out", "new.pub"})
            .first,
        0);
    const auto [status, text] =
        openssl({"dgst", "-sha256", "-verify", "new.pub", "-signature", "signature", "data"});
    QVERIFY2(status == 0 && text.contains("Verified OK"), text.constData());
}

// Another tool's chain, whose leaf names its issuer by key alone: the renewed leaf keeps that form,
// and the old leaf still verifies under the renewed root, which it never named by serial.
void TestRenew::anotherToolsChain()
{
    const EvpPkeyPtr rootKey = CertificateBuilder::rsaKey(2048);
    const EvpPkeyPtr leafKey = CertificateBuilder::rsaKey(2048);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    CertificateSpec spec;
    spec.commonName = ".Other.Root";
    spec.pathLength = 1;
    spec.notBefore = now.addDays(-30);
    spec.notAfter = now.addYears(5);
    spec.key = rootKey.get();
    const X509Ptr root = CertificateBuilder::make(spec, nullptr, nullptr);
    spec.commonName = "CS.Other.Leaf";
    spec.pathLength = -1;
    spec.serial = 2;
    spec.key = leafKey.get();
    spec.keyIdOnly = true;
    const X509Ptr leaf = CertificateBuilder::make(spec, root.get(), rootKey.get());
    QVERIFY(root && leaf);
    QVERIFY(writeFile("root.pem", pemOf(root.get())) && writeFile("leaf.pem", pemOf(leaf.get())));
    QVERIFY(writeFile("root.pfx", classicPkcs12(rootKey.get(), root.get(), {}, kPassword.constData())));
    QVERIFY(
        writeFile("leaf.pfx", classicPkcs12(leafKey.get(), leaf.get(), {root.get()}, kPassword.constData())));

    CliRun result =
        RunCli(QStringList{"renew", "leaf.pfx", "--issuer", "root.pfx", "--out", "leaf-2"} + passwords());
    QVERIFY2(result.status == 0, Describe(result));
    result = RunCli(QStringList{"renew", "root.pfx", "--out", "root-2"} + passwords());
    QVERIFY2(result.status == 0, Describe(result));
    const X509Ptr renewed = firstOf("leaf-2.pem");
    QVERIFY(renewed);
    AuthorityKeyIdPtr aki(static_cast<AUTHORITY_KEYID*>(
        X509_get_ext_d2i(renewed.get(), NID_authority_key_identifier, nullptr, nullptr)));
    QVERIFY(aki && aki->keyid && !aki->issuer && !aki->serial);
    for (const char* pem : {"leaf.pem", "leaf-2.pem"})
    {
        for (const char* anchor : {"root.pem", "root-2.pem"})
        {
            const auto [status, text] = openssl({"verify", "-x509_strict", "-CAfile", anchor, pem});
            QVERIFY2(status == 0, text.constData());
        }
    }
}

void TestRenew::refusalsLeaveEverything_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("names"); // a word the sentence must name

    const QString lab = fixture("lab");
    QTest::newRow("not a certificate of the profile")
        << QStringList{"renew", fixture("stranger.pfx"), "--issuer", lab + "/root.pfx", "--out", "x"} << 1
        << "dnQualifier";
    QTest::newRow("wrong issuer") << QStringList{"renew",    lab + "/leaf.pfx",
                                                 "--issuer", fixture("other/root.pfx"),
                                                 "--out",    "x"}
                                  << 1 << "not issued by";
    QTest::newRow("validity past the issuer's end")
        << QStringList{"renew", lab + "/leaf.pfx",     "--issuer", lab + "/intermediate.pfx", "--out", "x",
                       "--end", "2038-01-19T03:14:07Z"}
        << 1 << "2038-01-19T03:14:07Z";
    QTest::newRow("output over the input")
        << QStringList{"renew", lab + "/leaf.pfx", "--issuer", lab + "/intermediate.pfx",
                       "--out", lab + "/leaf",     "--force"}
        << 2 << "leaf";
    QTest::newRow("output over the issuer")
        << QStringList{"renew", lab + "/leaf.pfx",         "--issuer", lab + "/intermediate.pfx",
                       "--out", lab + "/intermediate.pfx", "--force"}
        << 2 << "intermediate";
    QTest::newRow("a root given an issuer")
        << QStringList{"renew", lab + "/root.pfx", "--issuer", lab + "/root.pfx", "--out", "x"} << 2
        << "root";
    QTest::newRow("a leaf without its issuer")
        << QStringList{"renew", lab + "/leaf.pfx", "--out", "x"} << 2 << "--issuer";
    QTest::newRow("a chain over itself")
        << QStringList{"renew", "--chain", lab, "--out-dir", lab} << 2 << "--force";
    QTest::newRow("a chain with a piece missing")
        << QStringList{"renew", "--chain", lab + "/root.pfx", lab + "/leaf.pfx", "--out-dir", "x"} << 1
        << "one chain";
}

void TestRenew::refusalsLeaveEverything()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, names);
    const QMap<QString, QByteArray> fixtures = folderSnapshot(mFixtures.path());
    const CliRun result = RunCli(arguments + passwords());
    QVERIFY2(result.status == status, Describe(result));
    QVERIFY2(result.err.contains(names.toUtf8()), Describe(result));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(folderSnapshot(mFixtures.path()), fixtures);
    QCOMPARE(QDir(mWork->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// A folder of certificates ending in the past, in 10 days and in 5 years, with the statuses a
// cron job acts on.
void TestRenew::expiryStatuses()
{
    const EvpPkeyPtr key = CertificateBuilder::rsaKey(2048);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    const struct
    {
        const char* file;
        QDateTime end;
    } ends[] = {{"certificates/ended.pem", now.addDays(-3)},
                {"certificates/deep/soon.der", now.addDays(10).addSecs(60)},
                {"certificates/later.pem", now.addYears(5)}};
    QVERIFY(QDir().mkpath("certificates/deep"));
    for (const auto& end : ends)
    {
        CertificateSpec spec;
        spec.commonName = "." + QByteArray(end.file).split('/').last().split('.').first();
        spec.pathLength = 1;
        spec.notBefore = now.addYears(-1);
        spec.notAfter = end.end;
        spec.key = key.get();
        const X509Ptr certificate = CertificateBuilder::make(spec, nullptr, nullptr);
        QVERIFY(certificate);
        const bool der = QByteArray(end.file).endsWith(".der");
        QVERIFY(writeFile(end.file, der ? derOf(certificate.get()) : pemOf(certificate.get())));
    }
    QVERIFY(writeFile("certificates/notes.txt", "not a certificate"));
    QVERIFY(writeFile("certificates/broken.pem",
                      "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"));

    CliRun result = RunCli({"expiry", "certificates", "--json", "--within", "5"});
    QCOMPARE(result.status, 1); // one has ended, and one file cannot be read
    const QJsonObject report = QJsonDocument::fromJson(result.out).object();
    const QJsonArray listed = report["certificates"].toArray();
    QCOMPARE(listed.size(), 3);
    // The soonest first, with the days left an independent count gives.
    QCOMPARE(listed[0].toObject()["commonName"].toString(), QString(".ended"));
    QCOMPARE(listed[0].toObject()["daysLeft"].toInt(), -3);
    QCOMPARE(listed[1].toObject()["daysLeft"].toInt(), 10);
    QCOMPARE(listed[1].toObject()["ending"].toBool(), false);
    QCOMPARE(listed[2].toObject()["commonName"].toString(), QString(".later"));
    QCOMPARE(report["unreadable"].toArray().size(), 1);

    // Nothing within 9 days once the ended and broken ones are gone, a container in the folder passed
    // over without its password; read with it, its certificate ends in 5 days. The one in 10 days is
    // within the default 90.
    QVERIFY(QFile::remove("certificates/ended.pem") && QFile::remove("certificates/broken.pem"));
    CertificateSpec spec;
    spec.commonName = ".contained";
    spec.pathLength = 1;
    spec.notBefore = now.addYears(-1);
    spec.notAfter = now.addDays(5);
    spec.key = key.get();
    const X509Ptr contained = CertificateBuilder::make(spec, nullptr, nullptr);
    QVERIFY(contained && writeFile("certificates/deep/contained.pfx",
                                   classicPkcs12(key.get(), contained.get(), {}, kPassword.constData())));
    result = RunCli({"expiry", "certificates", "--within", "9"});
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out.count('\n'), 2);
    result = RunCli({"expiry", "certificates", "--within", "9", "--password-file", fixture("password")});
    QVERIFY2(result.status == 1 && result.out.count('\n') == 3, Describe(result));
    result = RunCli({"expiry", "certificates"});
    QVERIFY2(result.status == 1, Describe(result));
    QVERIFY(result.out.startsWith(iso(now.addDays(10).addSecs(60)).toUtf8()));
    for (const char* within : {"soon", "-1", "9223372036854775807"})
        QCOMPARE(RunCli({"expiry", "certificates", "--within", within}).status, 2);
    result = RunCli({"expiry"});
    QCOMPARE(result.status, 2);
}

void TestRenew::tenYearWarning_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("warnings");
    const QStringList names{"--root-name", ".Renew.Example", "--organization", ".Lab"};
    QTest::newRow("a root of 3,650 days is quiet")
        << QStringList{"root", "--out", "r", "--entity", "R", "--days", "3650"} + names << 0;
    QTest::newRow("a root of 3,651 days")
        << QStringList{"root", "--out", "r", "--entity", "R", "--days", "3651"} + names << 1;
    QTest::newRow("a chain of 3,651 days, each certificate")
        << QStringList{"chain", "--out-dir", "c", "--intermediates", "0", "--days", "3651"} + names << 2;
    QTest::newRow("a root renewed for 3,651 days") << QStringList{"renew",
                                                                  fixture("lab/root.pfx"),
                                                                  "--out",
                                                                  "r",
                                                                  "--days",
                                                                  "3651",
                                                                  "--in-password-file",
                                                                  fixture("password")}
                                                   << 1;
}

void TestRenew::tenYearWarning()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, warnings);
    const CliRun result = RunCli(arguments + QStringList{"--password-file", fixture("password")});
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(int(result.err.count("Warning:")), warnings);
}

QTEST_GUILESS_MAIN(TestRenew)
#include "tst_renew.moc"
