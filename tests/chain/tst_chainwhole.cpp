// talvane-chain chain: whole chains that every judge accepts, the refusals, and a folder that a
// failed run leaves exactly as it was.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "foldersnapshot.h"
#include "smallfilesystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509v3.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "chain secret";
const QDateTime kLatestEnd(QDate(2038, 1, 19), QTime(3, 14, 7), Qt::UTC);

// Root, intermediates and leaf, in the order of the chain, as talvane-chain names their files.
QStringList stems(int intermediates)
{
    QStringList names{"root"};
    for (int i = 1; i <= intermediates; ++i)
        names << (i == 1 ? QStringLiteral("intermediate") : QStringLiteral("intermediate-%1").arg(i));
    return names << "leaf";
}

QStringList chainFiles(int intermediates)
{
    QStringList files;
    for (const QString& stem : stems(intermediates))
        files << stem + ".pem" << stem + ".pfx";
    return files << "chain.pem";
}

bool ownerOnly(const QString& path)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    return (QFile::permissions(path) & others) == 0;
}

} // namespace

class TestChainWhole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wholeChains_data();
    void wholeChains();
    void namesAndGivenSerials();
    void randomSerials();
    void refusals_data();
    void refusals();
    void existingFilesRefused();
    void folderInTheWayLeavesEverything();
    void failingFileSystem_data();
    void failingFileSystem();
    void noBoardLeavesNoFolder();
    void forceKeepsLinksModesAndGroups();

private:
    ChainRun chain(const QStringList& arguments, const QMap<QString, QString>& environment = {}) const;
    QString work(const QString& name) const { return mWork->filePath(name); }
    // The chain's certificates from chain.pem, root first.
    std::vector<X509Ptr> certificatesOf(const QString& folder) const;
    void checkFields(const std::vector<X509Ptr>& certificates, int intermediates) const;
    void checkJudges(const QString& folder, int intermediates, bool sha1) const;

    QTemporaryDir mFixtures;
    QTemporaryDir* mWork = nullptr;
};

ChainRun TestChainWhole::chain(const QStringList& arguments, const QMap<QString, QString>& environment) const
{
    return ChainRunner::run(QStringList{"chain"} + arguments, mWork->path(), environment);
}

std::vector<X509Ptr> TestChainWhole::certificatesOf(const QString& folder) const
{
    return ChainCheck::loadPemCertificates(QDir(folder).filePath("chain.pem"));
}

void TestChainWhole::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(writeFile(mFixtures.filePath("password"), kPassword + "\n"));
}

void TestChainWhole::init()
{
    mWork = new QTemporaryDir;
    QVERIFY(mWork->isValid());
    QVERIFY(writeFile(work("serialNumberTrace"), "6"));
}

void TestChainWhole::cleanup()
{
    delete mWork;
    mWork = nullptr;
}

void TestChainWhole::wholeChains_data()
{
    QTest::addColumn<int>("intermediates");
    QTest::addColumn<bool>("sha1");
    QTest::newRow("root and leaf") << 0 << false;
    QTest::newRow("one intermediate") << 1 << false;
    QTest::newRow("three intermediates, SHA-1") << 3 << true;
}

void TestChainWhole::wholeChains()
{
    QFETCH(int, intermediates);
    QFETCH(bool, sha1);
    QStringList arguments{"--out-dir",       "made/chain",
                          "--root-name",     ".Studio.Example",
                          "--organization",  ".Lab.Example",
                          "--intermediates", QString::number(intermediates),
                          "--password-file", mFixtures.filePath("password"),
                          "--serial",        "trace"};
    if (sha1)
        arguments << "--sha1";
    const ChainRun result = chain(arguments);
    QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));

    // Standard output: the files written, one per line, and nothing else; the folder was made and
    // holds exactly those.
    const QString folder = work("made/chain");
    QByteArray listed;
    for (const QString& file : chainFiles(intermediates))
        listed += QDir(folder).filePath(file).toUtf8() + "\n";
    QCOMPARE(result.out, listed);
    QStringList expected = chainFiles(intermediates);
    expected.sort();
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             expected);

    // chain.pem holds the PEM files from the root down, each issued by the one before it.
    QByteArray joined;
    for (const QString& stem : stems(intermediates))
        joined += readFile(QDir(folder).filePath(stem + ".pem"));
    QCOMPARE(readFile(QDir(folder).filePath("chain.pem")), joined);
    const std::vector<X509Ptr> certificates = certificatesOf(folder);
    QCOMPARE(int(certificates.size()), intermediates + 2);
    for (size_t i = 1; i < certificates.size(); ++i)
        QCOMPARE(X509_check_issued(certificates[i - 1].get(), certificates[i].get()), X509_V_OK);

    checkFields(certificates, intermediates);
    if (!QTest::currentTestFailed())
        checkJudges(folder, intermediates, sha1);
}

// Path lengths, serials, validity and keys of a chain made with the defaults from the trace "6".
void TestChainWhole::checkFields(const std::vector<X509Ptr>& certificates, int intermediates) const
{
    // Path lengths: the last intermediate 1, each authority above one more, the root N + 1.
    for (int level = 0; level <= intermediates; ++level)
        QCOMPARE(pathLengthOf(certificates[size_t(level)].get()), long(intermediates + 1 - level));
    QCOMPARE(pathLengthOf(certificates.back().get()), -1L);

    // Consecutive serials from the trace, the last one recorded.
    for (size_t i = 0; i < certificates.size(); ++i)
        QCOMPARE(ASN1_INTEGER_get(X509_get0_serialNumber(certificates[i].get())), long(7 + i));
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray::number(6 + intermediates + 2));

    // One period for all: from now for 3,649 days, never past 2038-01-19 03:14:07 UTC.
    const QDateTime start = timeOf(X509_get0_notBefore(certificates.front().get()));
    QVERIFY(qAbs(start.secsTo(QDateTime::currentDateTimeUtc())) < 600);
    for (const X509Ptr& certificate : certificates)
    {
        QCOMPARE(timeOf(X509_get0_notBefore(certificate.get())), start);
        QCOMPARE(timeOf(X509_get0_notAfter(certificate.get())), std::min(start.addDays(3649), kLatestEnd));
    }

    // A key of its own for every certificate.
    for (size_t i = 0; i < certificates.size(); ++i)
        for (size_t j = i + 1; j < certificates.size(); ++j)
            QVERIFY(EVP_PKEY_eq(X509_get0_pubkey(certificates[i].get()),
                                X509_get0_pubkey(certificates[j].get())) != 1);
}

// The chain checker, every container's layout, talvane-chain verify and OpenSSL's strict check.
void TestChainWhole::checkJudges(const QString& folder, int intermediates, bool sha1) const
{
    const std::vector<X509Ptr> certificates = certificatesOf(folder);
    ChainCheck::Options options;
    options.digest = sha1 ? ChainCheck::Options::Digest::Sha1 : ChainCheck::Options::Digest::Sha256;
    const QStringList findings = ChainCheck::check(ChainCheck::borrow(certificates), options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    // One password for every container, each holding the certificates above its own, root first.
    const QStringList names = stems(intermediates);
    for (int level = 0; level < names.size(); ++level)
    {
        const QString pfx = QDir(folder).filePath(names[level] + ".pfx");
        QVERIFY2(ownerOnly(pfx), qPrintable(pfx));
        std::vector<X509*> above;
        for (int i = 0; i < level; ++i)
            above.push_back(certificates[size_t(i)].get());
        const QStringList layout = ChainCheck::checkPkcs12File(pfx, kPassword, above);
        QVERIFY2(layout.isEmpty(), qPrintable(pfx + ": " + layout.join('\n')));
    }

    // SHA-1 is for Interop packages only.
    const QStringList profile = sha1 ? QStringList{"--profile", "interop"} : QStringList();
    const ChainRun verified = ChainRunner::run(QStringList{"verify", QDir(folder).filePath("chain.pem")} + profile,
                                               folder);
    QVERIFY2(verified.exitCode == 0, describeRun(verified));
    QCOMPARE(withoutTrustedRoot(verified.out),
             QByteArray::number(intermediates + 2) + " certificates checked: 0 errors, 0 warnings.\n");

    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty())
        QSKIP("no openssl command on this machine");
    QProcess strict;
    strict.setWorkingDirectory(folder);
    strict.start(openssl,
                 {"verify", "-x509_strict", "-CAfile", "root.pem", "-untrusted", "chain.pem", "leaf.pem"});
    QVERIFY(strict.waitForFinished(60000));
    QCOMPARE(strict.readAllStandardOutput().trimmed(), QByteArray("leaf.pem: OK"));
    QCOMPARE(strict.exitCode(), 0);
}

void TestChainWhole::namesAndGivenSerials()
{
    const ChainRun result = chain({"--out-dir",
                                   "named",
                                   "--root-name",
                                   ".Studio.Example",
                                   "--organization",
                                   ".Lab.Example",
                                   "--intermediates",
                                   "2",
                                   "--root-entity",
                                   "Studio.Root",
                                   "--intermediate-entity",
                                   "Lab",
                                   "--leaf-entity",
                                   "Player",
                                   "--serial",
                                   "41",
                                   "--start",
                                   "2025-06-01T10:00:00Z",
                                   "--end",
                                   "2035-06-01T10:00:00Z",
                                   "--password-file",
                                   mFixtures.filePath("password")});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    const std::vector<X509Ptr> certificates = certificatesOf(work("named"));
    QCOMPARE(certificates.size(), size_t(4));
    const char* const commonNames[] = {".Studio.Root", ".Lab", ".Lab-2", "CS.Player"};
    for (size_t i = 0; i < certificates.size(); ++i)
    {
        X509* certificate = certificates[i].get();
        QCOMPARE(subjectEntry(certificate, NID_commonName), QString(commonNames[i]));
        // One O throughout, the root's.
        QCOMPARE(subjectEntry(certificate, NID_organizationName), QString(".Studio.Example"));
        QCOMPARE(subjectEntry(certificate, NID_organizationalUnitName), QString(".Lab.Example"));
        QCOMPARE(ASN1_INTEGER_get(X509_get0_serialNumber(certificate)), long(41 + i));
        QCOMPARE(timeOf(X509_get0_notBefore(certificate)),
                 QDateTime(QDate(2025, 6, 1), QTime(10, 0), Qt::UTC));
        QCOMPARE(timeOf(X509_get0_notAfter(certificate)),
                 QDateTime(QDate(2035, 6, 1), QTime(10, 0), Qt::UTC));
    }
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("44"));
}

void TestChainWhole::randomSerials()
{
    const ChainRun result =
        chain({"--out-dir", "drawn", "--root-name", ".Studio.Example", "--organization", ".Lab.Example",
               "--serial", "random", "--password-file", mFixtures.filePath("password")});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    const std::vector<X509Ptr> certificates = certificatesOf(work("drawn"));
    QCOMPARE(certificates.size(), size_t(3));
    QSet<long> serials;
    for (const X509Ptr& certificate : certificates)
    {
        const long serial = ASN1_INTEGER_get(X509_get0_serialNumber(certificate.get()));
        QVERIFY2(serial >= 1 && serial <= 9223372036854775807L, qPrintable(QString::number(serial)));
        serials.insert(serial);
    }
    QCOMPARE(serials.size(), 3);
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("6"));
}

void TestChainWhole::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QStringList names{"--root-name", ".Studio.Example", "--organization", ".Lab.Example"};
    const QStringList usual =
        QStringList{"--out-dir", "out", "--password-file", mFixtures.filePath("password")} + names;
    const QString rootNames = "A root needs --root-name and --organization: the window's placeholder names "
                              "never go into a real root.";
    QTest::newRow("no --out-dir") << names
                                  << "The option --out-dir with the folder for the chain is missing.";
    QTest::newRow("no --root-name") << QStringList{"--out-dir", "out", "--organization", ".Lab"} << rootNames;
    QTest::newRow("no --organization")
        << QStringList{"--out-dir", "out", "--root-name", ".Studio"} << rootNames;
    const QString intermediates = "The number of intermediates must be a whole number from 0 to 8.";
    QTest::newRow("nine intermediates") << usual + QStringList{"--intermediates", "9"} << intermediates;
    QTest::newRow("a negative number of intermediates")
        << usual + QStringList{"--intermediates=-1"} << intermediates;
    QTest::newRow("--out") << usual + QStringList{"--out", "x"}
                           << "The option --out does not apply to the command chain.";
    QTest::newRow("--path-length") << usual + QStringList{"--path-length", "3"}
                                   << "The option --path-length does not apply to the command chain.";
    QTest::newRow("an argument after the command")
        << QStringList{"extra"} + usual << "Unexpected argument \"extra\" after the command chain.";
    QTest::newRow("ampersand in the root name")
        << QStringList{"--out-dir", "out", "--root-name", "Studio & Co", "--organization", ".Lab"}
        << "The option --root-name has the character \"&\" (U+0026), which the digital-cinema checkers "
           "reject in a "
           "name; names take letters A to Z and a to z, digits, space and ' ( ) + , - . / : = ? only.";
    QTest::newRow("leaf entity with its role")
        << usual + QStringList{"--leaf-entity", "CS.Player"}
        << "The option --leaf-entity gives the role already: \"CS.Player\" would become the common name "
           "\"CS.CS.Player\"; give it without \"CS.\".";
    // 62 characters fit the field; the second intermediate's ".<entity>-2" has 65.
    const QString entity(62, QLatin1Char('i'));
    QTest::newRow("second intermediate's common name too long")
        << usual + QStringList{"--intermediates", "2", "--intermediate-entity", entity}
        << "The common name \"." + entity + "-2\" is longer than 64 characters.";
    QTest::newRow("end one second after the 32-bit limit")
        << usual + QStringList{"--end", "2038-01-19T03:14:08Z"}
        << "The validity end 2038-01-19T03:14:08Z lies after 2038-01-19T03:14:07Z, the last second that "
           "32-bit "
           "clocks hold and the checkers accept.";
    QTest::newRow("start after the limit")
        << usual + QStringList{"--start", "2038-02-01T00:00:00Z"}
        << "The validity period from 2038-02-01T00:00:00Z to 2038-01-19T03:14:07Z "
           "is invalid: it ends before it starts, or when it starts.";
    QTest::newRow("serials running past the largest")
        << usual + QStringList{"--serial", "9223372036854775806"}
        << "The serial numbers 9223372036854775806 to 9223372036854775808 of the chain's 3 "
           "certificates must lie from 1 to 9223372036854775807.";
    QTest::newRow("serial not a number")
        << usual + QStringList{"--serial", "first"}
        << "The serial number must be a whole number from 1 to 9223372036854775807, random or trace.";
    QTest::newRow("no password") << QStringList{"--out-dir", "out"} + names
                                 << "No password for the PKCS#12 files in out: give --password-file or set "
                                    "TALVANE_PASSWORD.";
}

void TestChainWhole::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const ChainRun result = chain(arguments);
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err), message + "\n");
    QVERIFY(result.out.isEmpty());
    // Nothing written: no folder, the trace as it was.
    QVERIFY(!QFileInfo::exists(work("out")));
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("6"));
}

void TestChainWhole::existingFilesRefused()
{
    QVERIFY(QDir(mWork->path()).mkdir("out"));
    QVERIFY(writeFile(work("out/leaf.pfx"), "precious"));
    const QMap<QString, QByteArray> before = folderSnapshot(mWork->path());
    const ChainRun result = chain({"--out-dir", "out", "--root-name", ".Studio.Example", "--organization",
                                   ".Lab.Example", "--password-file", mFixtures.filePath("password")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.endsWith("The file out/leaf.pfx exists; give --force to overwrite it.\n"),
             describeRun(result));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(folderSnapshot(mWork->path()), before);
}

void TestChainWhole::folderInTheWayLeavesEverything()
{
    const QStringList arguments{
        "--out-dir",      "out",          "--root-name",     ".Studio.Example",
        "--organization", ".Lab.Example", "--password-file", mFixtures.filePath("password"),
        "--force",        "--serial",     "trace"};
    ChainRun result = chain(arguments);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    // The last container is a folder now: the files before it are replaced first, then put back.
    QVERIFY(QFile::remove(work("out/leaf.pfx")));
    QVERIFY(QDir(work("out")).mkpath("leaf.pfx/kept"));
    QVERIFY(writeFile(work("out/leaf.pfx/kept/note"), "inside"));
    QMap<QString, QByteArray> before = folderSnapshot(mWork->path());

    result = chain(arguments);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.endsWith("Writing the files failed (out/leaf.pfx is a folder, not a file that can be "
                                 "replaced); the folder out is as it was.\n"),
             describeRun(result));
    QVERIFY(result.out.isEmpty());
    // The serial numbers 10 to 12 were taken before the keys were made: never issued again.
    QMap<QString, QByteArray> after = folderSnapshot(mWork->path());
    QCOMPARE(after.take("serialNumberTrace"), QByteArray("12"));
    before.remove("serialNumberTrace");
    QCOMPARE(after, before);
}

void TestChainWhole::failingFileSystem_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("message");
    QTest::newRow("read-only") << true << "Nothing can be written in the folder out.";
    // Five old files take five of the eight pages; the new chain needs five more.
    QTest::newRow("full before the chain is complete") << false << "nothing was changed.";
}

void TestChainWhole::failingFileSystem()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, message);
    SmallFileSystem fileSystem(work("out"), "32k");
    if (!fileSystem.mounted())
        QSKIP(qPrintable(fileSystem.reason()));
    for (const QString& file : chainFiles(0))
        QVERIFY(writeFile(work("out/" + file), "old " + file.toUtf8()));
    if (readOnly)
        QVERIFY(fileSystem.remountReadOnly());
    QMap<QString, QByteArray> before = folderSnapshot(mWork->path());

    const ChainRun result =
        chain({"--out-dir", "out", "--root-name", ".Studio.Example", "--organization", ".Lab.Example",
               "--intermediates", "0", "--password-file", mFixtures.filePath("password"), "--force", "--serial",
               "trace"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.endsWith(message.toUtf8() + "\n"), describeRun(result));
    QVERIFY(result.out.isEmpty());
    // A folder that takes nothing stops the run before it takes serial numbers; a full one after.
    QMap<QString, QByteArray> after = folderSnapshot(mWork->path());
    QCOMPARE(after.take("serialNumberTrace"), QByteArray(readOnly ? "6" : "8"));
    before.remove("serialNumberTrace");
    QCOMPARE(after, before);
}

void TestChainWhole::noBoardLeavesNoFolder()
{
    const ChainRun result =
        chain({"--out-dir", "new/nested/out", "--root-name", ".Studio.Example", "--organization",
               ".Lab.Example", "--password-file", mFixtures.filePath("password")},
              {{"DAZAVO_SIMULATED_BOARDS", ""}});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.endsWith(
                 "Failed seeding the random generator: no Zel Kavra card was found or the card is "
                 "in use by another application.\n"),
             describeRun(result));
    // The folders this run made are gone again.
    QVERIFY(!QFileInfo::exists(work("new")));
    QCOMPARE(readFile(work("serialNumberTrace")), QByteArray("6"));
}

void TestChainWhole::forceKeepsLinksModesAndGroups()
{
    const QStringList arguments{"--out-dir",      "out",          "--root-name",     ".Studio.Example",
                                "--organization", ".Lab.Example", "--intermediates", "0",
                                "--password-file", mFixtures.filePath("password"), "--force"};
    ChainRun result = chain(arguments);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    // A certificate 0640 of the group nogroup, and the chain file a link to one kept elsewhere.
    const QByteArray leaf = QFile::encodeName(work("out/leaf.pem"));
    QCOMPARE(::chmod(leaf.constData(), 0640), 0);
    const struct group* other = ::getgrnam("nogroup");
    if (::geteuid() == 0 && other != nullptr)
        QCOMPARE(::chown(leaf.constData(), uid_t(-1), other->gr_gid), 0);
    struct stat before = {};
    QCOMPARE(::stat(leaf.constData(), &before), 0);
    QVERIFY(QDir(mWork->path()).mkpath("kept"));
    QVERIFY(QFile::rename(work("out/chain.pem"), work("kept/chain.pem")));
    QVERIFY(QFile::link(work("kept/chain.pem"), work("out/chain.pem")));
    const QByteArray oldLeaf = readFile(work("out/leaf.pem"));

    result = chain(arguments);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QVERIFY(readFile(work("out/leaf.pem")) != oldLeaf);
    struct stat after = {};
    QCOMPARE(::stat(leaf.constData(), &after), 0);
    QCOMPARE(after.st_mode & 07777, mode_t(0640));
    QCOMPARE(after.st_gid, before.st_gid);
    QVERIFY(QFileInfo(work("out/chain.pem")).isSymLink());
    QVERIFY(readFile(work("kept/chain.pem")).contains(readFile(work("out/leaf.pem"))));
    QVERIFY(ownerOnly(work("out/leaf.pfx")));
}

QTEST_GUILESS_MAIN(TestChainWhole)
#include "tst_chainwhole.moc"
