// talvane-chain root|intermediate|leaf: every option, every refusal, and the files it leaves.

#include "chaincheck.h"
#include "chainfixtures.h"
#include "chainrunner.h"
#include "permissionoverride.h"
#include "pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509v3.h>

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "fixture secret";
// A root is made with its names given, never with the window's placeholders.
const QStringList kRootNames{"--root-name", ".Fixture.Example", "--organization", ".Lab.Example", "--entity",
                             "Root"};

// Mode bits of a file, 0 when it cannot be read.
unsigned modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestChainCreate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void badUsage_data();
    void badUsage();
    void helpAndVersion();
    void refusedCreation_data();
    void refusedCreation();
    void rootWithEveryOption();
    void namesAtTheWindowsLimits();
    void issuerStartingInTheLocalClocksGap();
    void derivedDefaultsFitTheIssuer();
    void serialFromTheTrace();
    void randomSerialLeavesTheTrace();
    void traceWrittenInPlaceWhereTheFolderTakesNoFile();
    void traceThatCannotBeWrittenIsSaid();
    void filesWrittenInPlaceWhereTheFolderTakesNoFile();
    void existingFilesNeedForce();
    void passwordSources();
    void passwordFromTerminal_data();
    void passwordFromTerminal();
    void endingAtThePromptGivesTheTerminalBack_data();
    void endingAtThePromptGivesTheTerminalBack();
    void scriptedChainPassesStrictVerification();

private:
    ChainRun run(const QStringList& arguments, const QMap<QString, QString>& environment = {}) const;
    QString fixture(const QString& name) const { return mFixtures.filePath(name); }
    QStringList outputFiles() const;

    QTemporaryDir mFixtures;
    QTemporaryDir* mWork = nullptr;
    QDateTime mRootStart;
    QDateTime mRootEnd;
};

ChainRun TestChainCreate::run(const QStringList& arguments, const QMap<QString, QString>& environment) const
{
    return ChainRunner::run(arguments, mWork ? mWork->path() : mFixtures.path(), environment);
}

QStringList TestChainCreate::outputFiles() const
{
    return QDir(mWork->path()).entryList({"*.pem", "*.pfx", "serialNumberTrace"}, QDir::Files, QDir::Name);
}

void TestChainCreate::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(QFile::exists(ChainRunner::executable()));
    QVERIFY(writeFile(fixture("password"), kPassword + "\n"));
    // Whole seconds, as certificates hold them.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    mRootStart = now.addDays(-1);
    mRootEnd = now.addYears(5);
    const QString password = fixture("password");
    // A root allowing two levels below it, an intermediate (path length 1 by default) and a leaf.
    const QList<QStringList> chain = {
        {"root", "--out", "root", "--path-length", "2", "--start", iso(mRootStart), "--end", iso(mRootEnd),
         "--password-file", password, "--root-name", ".Fixture.Example", "--organization", ".Lab.Example",
         "--entity", "Root"},
        {"intermediate", "--out", "intermediate", "--issuer", "root.pfx", "--issuer-password-file", password,
         "--password-file", password, "--entity", "Intermediate"},
        {"leaf", "--out", "leaf", "--issuer", "intermediate.pfx", "--issuer-password-file", password,
         "--password-file", password, "--entity", "Player"},
    };
    for (const QStringList& arguments : chain)
    {
        const ChainRun result = run(arguments);
        QVERIFY2(result.exitCode == 0 && !result.crashed, describeRun(result));
    }
}

void TestChainCreate::init()
{
    mWork = new QTemporaryDir;
    QVERIFY(mWork->isValid());
}

void TestChainCreate::cleanup()
{
    delete mWork;
    mWork = nullptr;
}

void TestChainCreate::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString longEntity(70, QLatin1Char('x'));
    QTest::newRow("no command") << QStringList() << "No command given: use root, intermediate, leaf, chain, renew, "
                                                    "request, sign, verify, show, export or expiry (see --help).";
    QTest::newRow("unknown command") << QStringList{"branch"}
                                     << "Unknown command \"branch\": use root, intermediate, leaf, chain, renew, "
                                        "request, sign, verify, show, export or expiry.";
    QTest::newRow("unknown option") << QStringList{"root", "--out", "x", "--colour"} << "Unknown option 'colour'.";
    QTest::newRow("option without its value") << QStringList{"root", "--out"} << "Missing value after '--out'.";
    QTest::newRow("root without --out") << QStringList{"root"}
                                        << "The option --out with the destination file name is missing.";
    QTest::newRow("intermediate without --issuer")
        << QStringList{"intermediate", "--out", "x"} << "The option --issuer with the issuing PKCS#12 file is missing.";
    QTest::newRow("leaf without --issuer") << QStringList{"leaf", "--out", "x"}
                                           << "The option --issuer with the issuing PKCS#12 file is missing.";
    QTest::newRow("root with --issuer") << QStringList{"root", "--out", "x", "--issuer", "r.pfx"}
                                        << "The option --issuer does not apply to the command root.";
    QTest::newRow("root with --issuer-password-file")
        << QStringList{"root", "--out", "x", "--issuer-password-file", "p"}
        << "The option --issuer-password-file does not apply to the command root.";
    QTest::newRow("intermediate with --root-name")
        << QStringList{"intermediate", "--out", "x", "--issuer", "r.pfx", "--root-name", ".O"}
        << "The option --root-name does not apply to the command intermediate.";
    QTest::newRow("leaf with --path-length") << QStringList{"leaf", "--out", "x", "--issuer", "r.pfx", "--path-length", "1"}
                                             << "The option --path-length does not apply to the command leaf.";
    QTest::newRow("verify with --out") << QStringList{"verify", "a.pem", "--out", "x"}
                                       << "The option --out does not apply to the command verify.";
    QTest::newRow("root with --at") << QStringList{"root", "--out", "x", "--at", "2030-01-01"}
                                    << "The option --at does not apply to the command root.";
    QTest::newRow("--out twice") << QStringList{"root", "--out", "x", "--out", "y"}
                                 << "The option --out is given more than once.";
    QTest::newRow("argument after a create command") << QStringList{"root", "extra", "--out", "x"}
                                                     << "Unexpected argument \"extra\" after the command root.";
    const QString serialMessage =
        "The serial number must be a whole number from 1 to 9223372036854775807, random or trace.";
    QTest::newRow("serial 0") << QStringList{"root", "--out", "x", "--serial", "0"} << serialMessage;
    QTest::newRow("serial negative") << QStringList{"root", "--out", "x", "--serial=-5"} << serialMessage;
    QTest::newRow("serial not a number") << QStringList{"root", "--out", "x", "--serial", "7a"} << serialMessage;
    QTest::newRow("serial beyond 63 bits")
        << QStringList{"root", "--out", "x", "--serial", "9223372036854775808"} << serialMessage;
    QTest::newRow("path length 0") << QStringList{"root", "--out", "x", "--path-length", "0"}
                                   << "The path length must be a whole number of at least 1; a certificate that "
                                      "signs nothing is a leaf.";
    QTest::newRow("start not ISO-8601") << QStringList{"root", "--out", "x", "--start", "yesterday"}
                                        << "The time \"yesterday\" of --start is not an ISO-8601 date and time.";
    QTest::newRow("end not ISO-8601") << QStringList{"root", "--out", "x", "--end", "2030-13-01"}
                                      << "The time \"2030-13-01\" of --end is not an ISO-8601 date and time.";
    QTest::newRow("end before start")
        << QStringList{"root", "--out", "x", "--start", "2031-01-01T00:00:00Z", "--end", "2030-01-01T00:00:00Z"}
        << "The validity period from 2031-01-01T00:00:00Z to 2030-01-01T00:00:00Z is invalid: it ends before it "
           "starts, or when it starts.";
    QTest::newRow("end in the past")
        << QStringList{"root", "--out", "x", "--start", "2019-01-01T00:00:00Z", "--end", "2020-01-01T00:00:00Z"}
        << "The validity period from 2019-01-01T00:00:00Z to 2020-01-01T00:00:00Z is invalid: it has ended already; "
           "give an end in the future.";
    QTest::newRow("empty organization") << QStringList{"root", "--out", "x", "--organization", ""}
                                        << "The option --organization needs a text.";
    QTest::newRow("common name over 64 characters")
        << QStringList{"root", "--out", "x", "--entity", longEntity}
        << "The common name \"." + longEntity + "\" is longer than 64 characters.";
    // The window's organisation field takes 32 characters; talvane-chain refuses a 33rd before it
    // asks for a password or makes a key.
    const QString longOrganization(33, QLatin1Char('o'));
    QTest::newRow("organization over the window's 32 characters")
        << QStringList{"root", "--out", "x", "--organization", longOrganization}
        << "The option --organization takes at most 32 characters, as the window does; \"" + longOrganization +
               "\" has 33.";
    // The window's placeholder names never go into a real root.
    const QString rootNamesMessage =
        "A root needs --root-name and --organization: the window's placeholder names never go into a real root.";
    QTest::newRow("root without --root-name") << QStringList{"root", "--out", "x", "--organization", ".Lab"}
                                              << rootNamesMessage;
    QTest::newRow("root without --organization") << QStringList{"root", "--out", "x", "--root-name", ".Studio"}
                                                 << rootNamesMessage;
    // Names the checkers reject as T61String: anything outside PrintableString.
    const QString printable = ", which the digital-cinema checkers reject in a name; names take letters A to Z and a "
                              "to z, digits, space and ' ( ) + , - . / : = ? only.";
    QTest::newRow("underscore in the root name")
        << QStringList{"root", "--out", "x", "--root-name", ".Studio_1", "--organization", ".Lab"}
        << "The option --root-name has the character \"_\" (U+005F)" + printable;
    QTest::newRow("accented letter in the organization")
        << QStringList{"root", "--out", "x", "--root-name", ".Studio", "--organization", ".Lab \u00e9t\u00e9"}
        << QString::fromUtf8("The option --organization has the character \"\u00e9\" (U+00E9)") + printable;
    QTest::newRow("character beyond the first plane in a leaf's entity")
        << QStringList{"leaf", "--out", "x", "--issuer", "r.pfx", "--entity", QString::fromUcs4(U"Player \U0001F3AC")}
        << QString::fromUcs4(U"The option --entity has the character \"\U0001F3AC\" (U+1F3AC)") + printable;
    QTest::newRow("leaf entity with its role")
        << QStringList{"leaf", "--out", "x", "--issuer", "r.pfx", "--entity", "CS.Player"}
        << "The option --entity gives the role already: \"CS.Player\" would become the common name \"CS.CS.Player\"; "
           "give it without \"CS.\".";
    QTest::newRow("leaf entity with its dot and role")
        << QStringList{"leaf", "--out", "x", "--issuer", "r.pfx", "--entity", ".CS.Player"}
        << "The option --entity gives the role already: \".CS.Player\" would become the common name "
           "\"CS.CS.Player\"; give it without \"CS.\".";
    QTest::newRow("serial random spelt otherwise") << QStringList{"root", "--out", "x", "--serial", "Random"}
                                                   << serialMessage;
    QTest::newRow("no password and no terminal")
        << QStringList{"root", "--out", "x"} + kRootNames
        << "No password for the new PKCS#12 file x.pfx: give --password-file or set TALVANE_PASSWORD.";
    QTest::newRow("verify without files") << QStringList{"verify"} << "No file given to verify.";
    QTest::newRow("verify --at not ISO-8601") << QStringList{"verify", "a.pem", "--at", "soon"}
                                              << "The time \"soon\" of --at is not an ISO-8601 date and time.";
    QTest::newRow("verify --warn-days negative")
        << QStringList{"verify", "a.pem", "--warn-days", "-1"}
        << "The number of days \"-1\" of --warn-days is not a whole number of 0 or more.";
    QTest::newRow("verify --warn-days not a number")
        << QStringList{"verify", "a.pem", "--warn-days", "a month"}
        << "The number of days \"a month\" of --warn-days is not a whole number of 0 or more.";
    QTest::newRow("show without files") << QStringList{"show"} << "No file given to show.";
    QTest::newRow("show with --force") << QStringList{"show", "a.pem", "--force"}
                                       << "The option --force does not apply to the command show.";
    QTest::newRow("--force for verify") << QStringList{"verify", "a.pem", "--force"}
                                        << "The option --force does not apply to the command verify.";
}

void TestChainCreate::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const ChainRun result = run(arguments);
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err), message + "\n");
    QVERIFY(result.out.isEmpty());
    QCOMPARE(outputFiles(), QStringList());
}

void TestChainCreate::helpAndVersion()
{
    const ChainRun help = run({"help", "--all"});
    QCOMPARE(help.exitCode, 0);
    for (const char* word : {"root --out NAME", "verify FILE", "--issuer-password-file", "--force", "--sha1",
                             "show FILE", "export FILE.pfx", "--warn-days", "--key-pem", "--leaf-first"})
        QVERIFY2(help.out.contains(word), word);
    QVERIFY(help.err.isEmpty());

    const ChainRun version = run({"--version"});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.out.startsWith("talvane-chain "));
}

void TestChainCreate::refusedCreation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("existing"); // a file present beforehand, kept as it is
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("noBoard");

    const QString password = fixture("password");
    const QStringList root{"--issuer",        fixture("root.pfx"), "--issuer-password-file", password,
                           "--password-file", password,            "--entity",               "Player"};
    const QStringList intermediate{"--issuer",        fixture("intermediate.pfx"), "--issuer-password-file", password,
                                   "--password-file", password,                    "--entity",               "Player"};
    const QStringList leaf{"--issuer",        fixture("leaf.pfx"), "--issuer-password-file", password,
                           "--password-file", password,            "--entity",               "Player"};
    const QString rootStart = iso(mRootStart);
    const QString rootEnd = iso(mRootEnd);

    QTest::newRow("PEM file exists") << QStringList{"root", "--out", "x", "--password-file", password} + kRootNames
                                     << "x.pem"
                                     << "The file x.pem exists; give --force to overwrite it." << false;
    // Not even --force may replace the only copy of the issuer's key.
    QTest::newRow("destination is the issuing file")
        << QStringList{"leaf",     "--out",      "issuer",        "--force", "--issuer",
                       "issuer.pfx", "--issuer-password-file", password, "--password-file", password,
                       "--entity", "Player"}
        << "issuer.pfx"
        << "The destination issuer would overwrite its issuing certificate issuer.pfx; choose another --out."
        << false;
    QTest::newRow("PKCS#12 file exists")
        << QStringList{"root", "--out", "x.pem", "--password-file", password} + kRootNames << "x.pfx" << "The file x.pfx exists; give --force to overwrite it." << false;
    QTest::newRow("issuing file missing")
        << QStringList{"leaf", "--out", "x", "--issuer", "none.pfx", "--issuer-password-file", password,
                       "--password-file", password, "--entity", "Player"}
        << QString() << "The issuing file none.pfx does not exist." << false;
    QTest::newRow("wrong issuing password")
        << QStringList{"leaf", "--out", "x", "--issuer", fixture("root.pfx"), "--issuer-password-file",
                       fixture("wrong"), "--password-file", password, "--entity", "Player"}
        << QString()
        << "The issuing file " + fixture("root.pfx") + " cannot be opened with the password given: the password is "
               "wrong."
        << false;
    QTest::newRow("path length equal to the issuer's")
        << QStringList{"intermediate", "--out", "x", "--path-length", "2"} + root << QString()
        << "The path length 2 is too long: it must be lower than the issuing certificate's 2." << false;
    QTest::newRow("intermediate under path length 1")
        << QStringList{"intermediate", "--out", "x"} + intermediate << QString()
        << "The issuing certificate has a path length of 1: it can sign leaves only." << false;
    QTest::newRow("leaf under a leaf") << QStringList{"leaf", "--out", "x"} + leaf << QString()
                                       << "The issuing file " + fixture("leaf.pfx") +
                                              " holds a leaf (CS.Player), which cannot issue certificates; give an "
                                              "authority's .pfx."
                                       << false;
    QTest::newRow("start one second before the issuer's")
        << QStringList{"leaf", "--out", "x", "--start", iso(mRootStart.addSecs(-1))} + root << QString()
        << "The validity start " + iso(mRootStart.addSecs(-1)) + " lies before the issuing certificate's start " +
               rootStart + "."
        << false;
    QTest::newRow("end one second after the issuer's")
        << QStringList{"leaf", "--out", "x", "--end", iso(mRootEnd.addSecs(1))} + root << QString()
        << "The validity end " + iso(mRootEnd.addSecs(1)) + " lies after the issuing certificate's end " + rootEnd +
               "."
        << false;
    QTest::newRow("no board to seed from")
        << QStringList{"root", "--out", "x", "--password-file", password} + kRootNames << QString()
        << "Failed seeding the random generator: no Zel Kavra card was found or the card is in use by another "
           "application."
        << true;
    QTest::newRow("password file missing")
        << QStringList{"root", "--out", "x", "--password-file", QDir::tempPath() + "/talvane-chain-no-such-file"} +
               kRootNames
        << QString() << "The password file " + QDir::tempPath() + "/talvane-chain-no-such-file does not exist."
        << false;
    QTest::newRow("PEM file cannot be written")
        << QStringList{"root", "--out", "missing-folder/x", "--password-file", password} + kRootNames << QString()
        << "The folder missing-folder of --out does not exist; make it first or choose another --out." << false;
}

void TestChainCreate::refusedCreation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, existing);
    QFETCH(QString, message);
    QFETCH(bool, noBoard);

    QVERIFY(writeFile(fixture("wrong"), "not the password\n"));
    QVERIFY(writeFile(mWork->filePath("serialNumberTrace"), "6"));
    if (!existing.isEmpty())
        QVERIFY(writeFile(mWork->filePath(existing), "precious"));
    QMap<QString, QString> environment;
    if (noBoard)
        environment.insert("DAZAVO_SIMULATED_BOARDS", "");

    const ChainRun result = run(arguments, environment);
    QVERIFY2(!result.crashed, describeRun(result));
    QCOMPARE(result.exitCode, 1);
    // The sentence comes last on standard error, after the engine's and the board's lines;
    // standard output lists no file.
    QVERIFY2(result.err.endsWith("\n" + message.toUtf8() + "\n") || result.err == message.toUtf8() + "\n",
             describeRun(result));
    QVERIFY(result.out.isEmpty());
    // Nothing written, nothing replaced, the serial number not used up.
    QStringList expected{"serialNumberTrace"};
    if (!existing.isEmpty())
        expected.append(existing);
    expected.sort();
    QCOMPARE(outputFiles(), expected);
    if (!existing.isEmpty())
        QCOMPARE(readFile(mWork->filePath(existing)), QByteArray("precious"));
    // A run that fails after its serial number was taken (before its key) leaves it unused.
    const bool serialTaken = message.startsWith("Failed writing");
    QCOMPARE(readFile(mWork->filePath("serialNumberTrace")), QByteArray(serialTaken ? "7" : "6"));
}

void TestChainCreate::rootWithEveryOption()
{
    const QString start = "2025-06-01T10:00:00Z";
    const QString end = "2035-06-01T10:00:00Z";
    const ChainRun result =
        run({"root", "--out", "named.crt", "--root-name", ".Studio.Example", "--organization", ".Lab.Example",
             "--entity", "Authority", "--serial", "41", "--path-length", "4", "--start", start, "--end", end,
             "--sha1", "--password-file", fixture("password"), "--verbose"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    // Named as the window names its files; standard output lists both absolute paths and nothing
    // else, the engine's and the board's lines go to standard error.
    QCOMPARE(outputFiles(), (QStringList{"named.crt.pem", "named.pfx", "serialNumberTrace"}));
    QCOMPARE(result.out, mWork->filePath("named.crt.pem").toUtf8() + "\n" + mWork->filePath("named.pfx").toUtf8() + "\n");
    QVERIFY2(result.err.contains("Identified card 0 as Zel Kavra card\n"), describeRun(result));
    QCOMPARE(readFile(mWork->filePath("serialNumberTrace")), QByteArray("41"));

    const auto certificates = ChainCheck::loadPemCertificates(mWork->filePath("named.crt.pem"));
    QCOMPARE(certificates.size(), size_t(1));
    X509* certificate = certificates.front().get();
    QCOMPARE(subjectEntry(certificate, NID_organizationName), QString(".Studio.Example"));
    QCOMPARE(subjectEntry(certificate, NID_organizationalUnitName), QString(".Lab.Example"));
    QCOMPARE(subjectEntry(certificate, NID_commonName), QString(".Authority"));
    QCOMPARE(ASN1_INTEGER_get(X509_get0_serialNumber(certificate)), 41L);
    QCOMPARE(pathLengthOf(certificate), 4L);
    QCOMPARE(X509_get_signature_nid(certificate), NID_sha1WithRSAEncryption);
    QCOMPARE(timeOf(X509_get0_notBefore(certificate)), QDateTime::fromString(start, Qt::ISODate));
    QCOMPARE(timeOf(X509_get0_notAfter(certificate)), QDateTime::fromString(end, Qt::ISODate));

    ChainCheck::Options options;
    options.digest = ChainCheck::Options::Digest::Sha1;
    options.lastIsLeaf = false;
    const QStringList findings = ChainCheck::check(ChainCheck::borrow(certificates), options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    const QStringList layout = ChainCheck::checkPkcs12File(mWork->filePath("named.pfx"), kPassword);
    QVERIFY2(layout.isEmpty(), qPrintable(layout.join('\n')));
}

void TestChainCreate::namesAtTheWindowsLimits()
{
    // The longest texts the window's fields take: root name 64, organisation 32, and an entity
    // of 63 that makes a CN of 64 with its leading ".".
    const QString rootName(64, QLatin1Char('r'));
    const QString organization(32, QLatin1Char('o'));
    const QString entity(63, QLatin1Char('e'));
    const ChainRun result = run({"root", "--out", "limits", "--root-name", rootName, "--organization", organization,
                                 "--entity", entity, "--password-file", fixture("password")});
    QVERIFY2(result.exitCode == 0 && result.out.count('\n') == 2, describeRun(result));
    const auto certificates = ChainCheck::loadPemCertificates(mWork->filePath("limits.pem"));
    QCOMPARE(certificates.size(), size_t(1));
    QCOMPARE(subjectEntry(certificates.front().get(), NID_organizationName), rootName);
    QCOMPARE(subjectEntry(certificates.front().get(), NID_organizationalUnitName), organization);
    QCOMPARE(subjectEntry(certificates.front().get(), NID_commonName), "." + entity);
}

void TestChainCreate::issuerStartingInTheLocalClocksGap()
{
    // 02:30 on 29 March 2009 does not exist on Berlin's clocks (the tests run there); the issuer's
    // time is UTC and must still be read.
    const QString password = fixture("password");
    const QDateTime gap(QDate(2009, 3, 29), QTime(2, 30, 0), Qt::UTC);
    ChainRun result = run(QStringList{"root", "--out", "gap", "--start", iso(gap), "--end", iso(mRootEnd),
                                      "--password-file", password} +
                          kRootNames);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    result = run({"leaf", "--out", "gapleaf", "--issuer", "gap.pfx", "--issuer-password-file", password,
                  "--password-file", password, "--start", iso(gap), "--end", iso(mRootEnd), "--entity", "Player"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    const auto leaf = ChainCheck::loadPemCertificates(mWork->filePath("gapleaf.pem"));
    QCOMPARE(leaf.size(), size_t(1));
    QCOMPARE(timeOf(X509_get0_notBefore(leaf.front().get())), gap);
}

void TestChainCreate::derivedDefaultsFitTheIssuer()
{
    // Without --path-length an intermediate takes the most its issuer allows; without dates a
    // derived certificate starts now and ends 3,649 days later or with its issuer, whichever is first.
    const auto intermediate = ChainCheck::loadPemCertificates(fixture("intermediate.pem"));
    const auto leaf = ChainCheck::loadPemCertificates(fixture("leaf.pem"));
    QCOMPARE(intermediate.size(), size_t(1));
    QCOMPARE(leaf.size(), size_t(1));
    QCOMPARE(pathLengthOf(intermediate.front().get()), 1L);
    QCOMPARE(subjectEntry(intermediate.front().get(), NID_organizationName), QString(".Fixture.Example"));
    QCOMPARE(subjectEntry(leaf.front().get(), NID_organizationName), QString(".Fixture.Example"));
    QCOMPARE(subjectEntry(leaf.front().get(), NID_commonName), QString("CS.Player"));
    const QDateTime start = timeOf(X509_get0_notBefore(leaf.front().get()));
    QVERIFY(qAbs(start.secsTo(QDateTime::currentDateTimeUtc())) < 600);
    const QDateTime issuerEnd = timeOf(X509_get0_notAfter(intermediate.front().get()));
    QCOMPARE(timeOf(X509_get0_notAfter(leaf.front().get())), std::min(start.addDays(3649), issuerEnd));

    // A root that ends in a month: the leaf below it ends with it.
    const QString password = fixture("password");
    const QDateTime soon = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC).addMonths(1);
    ChainRun result = run(QStringList{"root", "--out", "short", "--end", iso(soon), "--password-file", password} +
                          kRootNames);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    result = run({"leaf", "--out", "shortleaf", "--issuer", "short.pfx", "--issuer-password-file", password,
                  "--password-file", password, "--entity", ".Player"});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    const auto shortLeaf = ChainCheck::loadPemCertificates(mWork->filePath("shortleaf.pem"));
    QCOMPARE(shortLeaf.size(), size_t(1));
    QCOMPARE(timeOf(X509_get0_notAfter(shortLeaf.front().get())), soon);
    QCOMPARE(subjectEntry(shortLeaf.front().get(), NID_commonName), QString("CS.Player"));
    const QStringList findings = ChainCheck::checkPemFiles({mWork->filePath("short.pem"), mWork->filePath("shortleaf.pem")});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
}

void TestChainCreate::serialFromTheTrace()
{
    QVERIFY(writeFile(mWork->filePath("serialNumberTrace"), "6"));
    const ChainRun result = run(
        QStringList{"root", "--out", "r", "--serial", "trace", "--password-file", fixture("password")} + kRootNames);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    const auto certificates = ChainCheck::loadPemCertificates(mWork->filePath("r.pem"));
    QCOMPARE(certificates.size(), size_t(1));
    QCOMPARE(ASN1_INTEGER_get(X509_get0_serialNumber(certificates.front().get())), 7L);
    QCOMPARE(readFile(mWork->filePath("serialNumberTrace")), QByteArray("7"));
}

void TestChainCreate::randomSerialLeavesTheTrace()
{
    // Two working folders that each start at serial 1 can no longer give one issuer's two leaves
    // the same serial: --serial random draws it, and the trace is neither read nor written.
    QVERIFY(writeFile(mWork->filePath("serialNumberTrace"), "6"));
    const QString password = fixture("password");
    QList<long> serials;
    for (const char* name : {"first", "second"})
    {
        const ChainRun result = run({"leaf", "--out", name, "--serial", "random", "--issuer", fixture("root.pfx"),
                                     "--issuer-password-file", password, "--password-file", password, "--entity",
                                     "Player"});
        QVERIFY2(result.exitCode == 0, describeRun(result));
        QCOMPARE(result.out, mWork->filePath(QString(name) + ".pem").toUtf8() + "\n" +
                                 mWork->filePath(QString(name) + ".pfx").toUtf8() + "\n");
        const auto leaf = ChainCheck::loadPemCertificates(mWork->filePath(QString(name) + ".pem"));
        QCOMPARE(leaf.size(), size_t(1));
        serials << ASN1_INTEGER_get(X509_get0_serialNumber(leaf.front().get()));
    }
    for (const long serial : serials)
        QVERIFY2(serial >= 1 && serial <= 9223372036854775807L, qPrintable(QString::number(serial)));
    QVERIFY(serials[0] != serials[1]);
    QCOMPARE(readFile(mWork->filePath("serialNumberTrace")), QByteArray("6"));
}

// A working folder that takes no new file but whose trace can be written keeps counting: the
// next run must not issue the same serial number again.
void TestChainCreate::traceWrittenInPlaceWhereTheFolderTakesNoFile()
{
    const QString reason = PermissionOverride::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(QDir(mWork->path()).mkdir("locked"));
    const QString locked = mWork->filePath("locked");
    QVERIFY(writeFile(locked + "/serialNumberTrace", "6"));
    QVERIFY(QFile::setPermissions(locked + "/serialNumberTrace", QFile::ReadOwner | QFile::WriteOwner |
                                                                     QFile::ReadOther | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));

    const ChainRun result = ChainRunner::runWithoutPermissionOverride(
        QStringList{"root", "--out", mWork->filePath("r"), "--serial", "trace", "--password-file", fixture("password")} +
            kRootNames,
        locked);
    QVERIFY(QFile::setPermissions(locked, QFile::permissions(locked) | QFile::WriteOwner));
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QCOMPARE(readFile(locked + "/serialNumberTrace"), QByteArray("7"));
    QVERIFY2(!result.err.contains("trace"), describeRun(result));
}

void TestChainCreate::traceThatCannotBeWrittenIsSaid()
{
    QVERIFY(QDir(mWork->path()).mkdir("serialNumberTrace"));
    const ChainRun result =
        run(QStringList{"root", "--out", "r", "--serial", "9", "--password-file", fixture("password")} + kRootNames);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QVERIFY2(result.err.contains("\nThe serial number 9 could not be recorded in the trace file " +
                                 mWork->filePath("serialNumberTrace").toUtf8() +
                                 ": the next run would use it again; give --serial.\n"),
             describeRun(result));
}

// Files of an earlier run in a folder that takes no new file: those that may be written are
// written in place, the certificate keeping its mode and the container becoming owner-only;
// one that may not is refused and left as it was.
void TestChainCreate::filesWrittenInPlaceWhereTheFolderTakesNoFile()
{
    const QString reason = PermissionOverride::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(QDir(mWork->path()).mkdir("locked"));
    const QString locked = mWork->filePath("locked");
    const std::pair<const char*, unsigned> earlier[] = {
        {"open.pem", 0664}, {"open.pfx", 0644}, {"closed.pem", 0444}, {"closed.pfx", 0644}};
    for (const auto& [name, mode] : earlier)
        QVERIFY(writeFile(locked + "/" + name, "earlier content") &&
                ::chmod(QFile::encodeName(locked + "/" + name).constData(), mode) == 0);
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0555), 0);

    const QStringList options = QStringList{"--force", "--password-file", fixture("password")} + kRootNames;
    const ChainRun open = ChainRunner::runWithoutPermissionOverride(
        QStringList{"root", "--out", locked + "/open"} + options, mWork->path());
    const ChainRun closed = ChainRunner::runWithoutPermissionOverride(
        QStringList{"root", "--out", locked + "/closed"} + options, mWork->path());
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0755), 0);

    QVERIFY2(open.exitCode == 0, describeRun(open));
    QVERIFY(readFile(locked + "/open.pem").startsWith("-----BEGIN CERTIFICATE-----"));
    QVERIFY(ChainCheck::loadPkcs12(locked + "/open.pfx", kPassword).ok());
    QCOMPARE(modeOf(locked + "/open.pem"), 0664u);
    QCOMPARE(modeOf(locked + "/open.pfx"), 0600u);
    QVERIFY2(closed.exitCode == 1 && closed.err.contains("Failed writing the certificate"), describeRun(closed));
    QCOMPARE(readFile(locked + "/closed.pem"), QByteArray("earlier content"));
    QCOMPARE(readFile(locked + "/closed.pfx"), QByteArray("earlier content"));
    // Nothing was left beside them.
    QCOMPARE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"closed.pem", "closed.pfx", "open.pem", "open.pfx"}));
}

void TestChainCreate::existingFilesNeedForce()
{
    QVERIFY(writeFile(mWork->filePath("x.pem"), "old"));
    QVERIFY(writeFile(mWork->filePath("x.pfx"), "old"));
    const ChainRun result =
        run(QStringList{"root", "--out", "x", "--force", "--password-file", fixture("password")} + kRootNames);
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QVERIFY(readFile(mWork->filePath("x.pem")).startsWith("-----BEGIN CERTIFICATE-----"));
    QVERIFY(ChainCheck::loadPkcs12(mWork->filePath("x.pfx"), kPassword).ok());
}

void TestChainCreate::passwordSources()
{
    // The file comes before the environment, and only its first line counts.
    QVERIFY(writeFile(mWork->filePath("two-lines"), "first line\r\nsecond line\n"));
    ChainRun result = run(QStringList{"root", "--out", "byfile", "--password-file", mWork->filePath("two-lines")} +
                              kRootNames,
                          {{"TALVANE_PASSWORD", "from the environment"}});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QVERIFY(ChainCheck::loadPkcs12(mWork->filePath("byfile.pfx"), "first line").ok());

    // Both passwords from the environment.
    result = run({"leaf", "--out", "byenv", "--issuer", fixture("root.pfx"), "--entity", "Player"},
                 {{"TALVANE_PASSWORD", "new one"}, {"TALVANE_ISSUER_PASSWORD", QString::fromUtf8(kPassword)}});
    QVERIFY2(result.exitCode == 0, describeRun(result));
    QVERIFY(ChainCheck::loadPkcs12(mWork->filePath("byenv.pfx"), "new one").ok());

    // An empty password file and a missing issuer password are refused before any work.
    QVERIFY(writeFile(mWork->filePath("empty"), "\n"));
    result = run(QStringList{"root", "--out", "e", "--password-file", mWork->filePath("empty")} + kRootNames);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err),
             "The password file " + mWork->filePath("empty") + " holds no password on its first line.\n");
    result = run({"leaf", "--out", "e", "--issuer", fixture("root.pfx"), "--entity", "Player"},
                 {{"TALVANE_PASSWORD", "new one"}});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err),
             "No password for the issuing file " + fixture("root.pfx") +
                 ": give --issuer-password-file or set TALVANE_ISSUER_PASSWORD.\n");
    QVERIFY(!QFile::exists(mWork->filePath("e.pem")));
}

void TestChainCreate::passwordFromTerminal_data()
{
    QTest::addColumn<QByteArray>("again");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("typed twice alike") << QByteArray("typed secret") << 0;
    QTest::newRow("typed differently") << QByteArray("typed secreT") << 2;
}

void TestChainCreate::passwordFromTerminal()
{
    QFETCH(QByteArray, again);
    QFETCH(int, exitCode);
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QVERIFY(terminal.start(ChainRunner::executable(), QStringList{"root", "--out", "typed"} + kRootNames,
                           mWork->path(), ChainRunner::environment().toStringList()) > 0);

    // Each answer only once its prompt is there: keys typed earlier would meet an echoing terminal.
    const QByteArray answers[] = {"typed secret", again};
    for (int prompt = 1; prompt <= 2; ++prompt)
    {
        QVERIFY2(terminal.waitForOutput("Enter password:", prompt), terminal.output().constData());
        terminal.type(answers[prompt - 1] + "\r");
    }
    const int status = terminal.waitForEnd();
    const QByteArray seen = terminal.output();
    QVERIFY2(WIFEXITED(status), seen.constData());
    QCOMPARE(WEXITSTATUS(status), exitCode);
    QVERIFY2(!seen.contains("typed secret"), seen.constData()); // never echoed
    if (exitCode == 0)
        QVERIFY(ChainCheck::loadPkcs12(mWork->filePath("typed.pfx"), "typed secret").ok());
    else
    {
        QVERIFY(seen.contains("The entered passwords do not match."));
        QVERIFY(!QFile::exists(mWork->filePath("typed.pem")));
    }
}

void TestChainCreate::endingAtThePromptGivesTheTerminalBack_data()
{
    QTest::addColumn<QByteArray>("keys"); // typed at the prompt; none: the signal is sent
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C typed") << QByteArray("\x03") << SIGINT;
    QTest::newRow("Ctrl-\\ typed") << QByteArray("\x1c") << SIGQUIT;
    QTest::newRow("terminated") << QByteArray() << SIGTERM;
    QTest::newRow("hung up") << QByteArray() << SIGHUP;
}

void TestChainCreate::endingAtThePromptGivesTheTerminalBack()
{
    QFETCH(QByteArray, keys);
    QFETCH(int, signal);
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QVERIFY(terminal.settings().c_lflag & ECHO);
    const pid_t program = terminal.start(ChainRunner::executable(), QStringList{"root", "--out", "r"} + kRootNames,
                                         mWork->path(), ChainRunner::environment().toStringList());
    QVERIFY(program > 0);
    // The engine prints this once echo is off.
    QVERIFY2(terminal.waitForOutput("Enter password:"), terminal.output().constData());

    if (keys.isEmpty())
        QCOMPARE(::kill(program, signal), 0);
    else
        terminal.type(keys);
    const int status = terminal.waitForEnd();
    // Ended by the signal itself, as it would have ended without a prompt.
    QVERIFY2(WIFSIGNALED(status), qPrintable(QString("status %1").arg(status)));
    QCOMPARE(WTERMSIG(status), signal);
    QVERIFY2(terminal.settings().c_lflag & ECHO, "echo is still off");
    QVERIFY(terminal.settingsRestored());
}

void TestChainCreate::scriptedChainPassesStrictVerification()
{
    const QStringList pems{fixture("root.pem"), fixture("intermediate.pem"), fixture("leaf.pem")};
    const QStringList findings = ChainCheck::checkPemFiles(pems);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    const auto root = ChainCheck::loadPemCertificates(fixture("root.pem"));
    const auto intermediate = ChainCheck::loadPemCertificates(fixture("intermediate.pem"));
    const QStringList layout =
        ChainCheck::checkPkcs12File(fixture("leaf.pfx"), kPassword, {root.at(0).get(), intermediate.at(0).get()});
    QVERIFY2(layout.isEmpty(), qPrintable(layout.join('\n')));

    const ChainRun verified = run({"verify", pems[2], pems[0], pems[1]});
    QVERIFY2(verified.exitCode == 0, describeRun(verified));
    QCOMPARE(withoutTrustedRoot(verified.out), QByteArray("3 certificates checked: 0 errors, 0 warnings.\n"));

    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty())
        QSKIP("no openssl command on this machine");
    QProcess strict;
    strict.start(openssl, {"verify", "-x509_strict", "-CAfile", pems[0], "-untrusted", pems[1], pems[2]});
    QVERIFY(strict.waitForFinished(60000));
    QCOMPARE(strict.exitCode(), 0);
    QCOMPARE(strict.readAllStandardOutput().trimmed(), pems[2].toUtf8() + ": OK");
}

QTEST_GUILESS_MAIN(TestChainCreate)
#include "tst_chaincreate.moc"
