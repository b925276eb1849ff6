// talvane-chain's commands called in process: one exit-status rule, help and manual from the
// command table, and what a newcomer relies on (defaults, sentences that name the cause, the
// identity that XML signatures name a signer by).

#include "certificatebuilder.h"
#include "chainfixtures.h"
#include "clirun.h"
#include "command.h"
#include "commandline.h"
#include "commands.h"
#include "console.h"
#include "help.h"

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

using namespace ChainFixtures;

namespace
{

const QByteArray kPassword = "cli secret";

// What an independent judge prints for a certificate file.
QByteArray openssl(const QStringList& arguments)
{
    QProcess process;
    process.start("openssl", arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput().trimmed();
}

QDateTime wholeSecondsNow()
{
    return QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void exitStatuses_data();
    void exitStatuses();
    void helpOfEveryCommand();
    void manualPage();
    void optionSpellingsAndSuggestions();
    void oneValidityRule();
    void belowARootTheIssuerFills();
    void standardOutputCarriesTheFileNamesOnly();
    void identityForXmlSignatures();
    void passwordFromStandardInput();
    void passwordBytesAreOneRule();

private:
    QString fixture(const QString& name) const { return mFixtures.filePath(name); }

    QTemporaryDir mFixtures;
    std::unique_ptr<QTemporaryDir> mWork;
};

void TestCli::initTestCase()
{
    QVERIFY(mFixtures.isValid());
    QVERIFY(QDir::setCurrent(mFixtures.path()));
    QVERIFY(writeFile(fixture("password"), kPassword + "\n"));
    QVERIFY(writeFile(fixture("wrong"), "not the password\n"));
    const QStringList password{"--password-file", fixture("password")};
    const QList<QStringList> chain{
        QStringList{"root", "--out", "root", "--root-name", ".Cli.Example", "--organization", ".Lab",
                    "--entity", "Root", "--path-length", "2", "--days", "1000"} +
            password,
        QStringList{"leaf", "--out", "leaf", "--issuer", "root.pfx", "--issuer-password-file",
                    fixture("password"), "--entity", "Player"} +
            password};
    for (const QStringList& arguments : chain)
    {
        const CliRun result = RunCli(arguments);
        QVERIFY2(result.status == 0, Describe(result));
    }

    // An authority that ended yesterday, in a container of the window's kind.
    const EvpPkeyPtr key = CertificateBuilder::rsaKey(2048);
    CertificateSpec spec;
    spec.commonName = ".Expired";
    spec.pathLength = 2;
    spec.notBefore = wholeSecondsNow().addYears(-2);
    spec.notAfter = wholeSecondsNow().addDays(-1);
    spec.key = key.get();
    const X509Ptr expired = CertificateBuilder::make(spec, nullptr, nullptr);
    QVERIFY(expired);
    QVERIFY(writeFile(fixture("expired.pfx"),
                      classicPkcs12(key.get(), expired.get(), {}, kPassword.constData())));
}

void TestCli::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
    QVERIFY(QDir::setCurrent(mWork->path()));
}

// The rule of the help and the manual: 0 success, 1 the work failed (a file missing or unreadable
// included), 2 the command line itself is wrong.
void TestCli::exitStatuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("names"); // a word the sentence must name: the option, the file or the cause

    const QString password = fixture("password");
    const QStringList newPassword{"--password-file", password};
    const QStringList issuedBy{
        "--issuer-password-file", password, "--password-file", password, "--entity", "P"};
    QTest::newRow("verify of a missing file") << QStringList{"verify", "nothere.pem"} << 1 << "nothere.pem";
    QTest::newRow("show of a missing file") << QStringList{"show", "nothere.pem"} << 1 << "nothere.pem";
    QTest::newRow("export of a missing file")
        << QStringList{"export", "nothere.pfx", "--chain-pem", "c.pem"} << 1 << "nothere.pfx";
    QTest::newRow("missing password file") << QStringList{"leaf",
                                                          "--out",
                                                          "x",
                                                          "--issuer",
                                                          fixture("root.pfx"),
                                                          "--entity",
                                                          "P",
                                                          "--issuer-password-file",
                                                          password,
                                                          "--password-file",
                                                          "nothere"}
                                           << 1 << "nothere";
    QTest::newRow("missing issuer") << QStringList{"leaf", "--out", "x", "--issuer", "nothere.pfx"} + issuedBy
                                    << 1 << "nothere.pfx";
    QTest::newRow("expired issuer") << QStringList{"leaf", "--out", "x", "--issuer", fixture("expired.pfx")} +
                                           issuedBy
                                    << 1 << "expired on";
    QTest::newRow("a leaf as issuer")
        << QStringList{"leaf", "--out", "x", "--issuer", fixture("leaf.pfx")} + issuedBy << 1 << "CS.Player";
    QTest::newRow("a PEM certificate as issuer")
        << QStringList{"leaf", "--out", "x", "--issuer", fixture("root.pem")} + issuedBy << 1 << "PEM";
    QTest::newRow("wrong issuer password") << QStringList{"leaf",
                                                          "--out",
                                                          "x",
                                                          "--issuer",
                                                          fixture("root.pfx"),
                                                          "--entity",
                                                          "P",
                                                          "--issuer-password-file",
                                                          fixture("wrong"),
                                                          "--password-file",
                                                          password}
                                           << 1 << "password is wrong";
    QTest::newRow("output folder missing")
        << QStringList{"leaf", "--out", "sub/dir/x", "--issuer", fixture("root.pfx")} + issuedBy << 1
        << "sub/dir";
    QTest::newRow("leaf without --entity")
        << QStringList{"leaf",  "--out", "x", "--issuer", fixture("root.pfx"), "--issuer-password-file",
                       password}
        << 2 << "--entity";
    QTest::newRow("leaf with an empty --entity")
        << QStringList{"leaf", "--out", "x", "--issuer", fixture("root.pfx"), "--entity", ""} << 2
        << "--entity";
    QTest::newRow("root without --entity")
        << QStringList{"root", "--out", "x", "--root-name", ".R", "--organization", ".O"} + newPassword << 2
        << "--entity";
    QTest::newRow("root ending after 2038")
        << QStringList{"root",     "--out", "x",     "--root-name",         ".R", "--organization", ".O",
                       "--entity", "R",     "--end", "2046-01-01T00:00:00Z"} +
               newPassword
        << 2 << "2038-01-19T03:14:07Z";
    QTest::newRow("--days beside --end")
        << QStringList{"root", "--out", "x", "--days", "9", "--end", "2030-01-01"} << 2 << "--days";
    QTest::newRow("unknown option") << QStringList{"leaf", "--colour"} << 2 << "colour";
    QTest::newRow("option of another command") << QStringList{"root", "--issuer", "r.pfx"} << 2 << "--issuer";
    QTest::newRow("unknown command") << QStringList{"branch"} << 2 << "branch";
    QTest::newRow("help of an unknown command") << QStringList{"help", "branch"} << 2 << "branch";
    QTest::newRow("help") << QStringList{"help"} << 0 << QString();
    QTest::newRow("a command's help") << QStringList{"export", "--help"} << 0 << QString();
}

void TestCli::exitStatuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, names);
    const CliRun result = RunCli(arguments);
    QVERIFY2(result.status == status, Describe(result));
    if (status != 0)
    {
        QVERIFY2(result.err.contains(names.toUtf8()), Describe(result));
        // Nothing written, and the engine's diagnostic lines stay out of a user's way.
        QVERIFY(result.out.isEmpty());
        QVERIFY2(!result.err.contains("()"), Describe(result));
        QCOMPARE(QDir().entryList(QDir::Files), QStringList());
    }
}

// Every command's help shows its own options, not another's, and an example of it; `help CMD` and
// `CMD --help` are the same.
void TestCli::helpOfEveryCommand()
{
    std::set<Option> allOptions{Option::Verbose};
    for (const Command* command : AllCommands())
        for (const CommandOption& option : command->options)
            allOptions.insert(option.option);

    for (const Command* command : AllCommands())
    {
        const QString name = QLatin1String(command->name);
        const CliRun viaHelp = RunCli({"help", name});
        const CliRun viaOption = RunCli({name, "--help"});
        QCOMPARE(viaHelp.status, 0);
        QCOMPARE(viaOption.out, viaHelp.out);
        const QString text = QString::fromUtf8(viaHelp.out);
        QVERIFY2(text.contains("Examples:\n  talvane-chain " + name), qPrintable(name));
        for (const Option option : allOptions)
        {
            // A row of the option list: the name, then its value or the description.
            const QRegularExpression row("\n  " + QRegularExpression::escape(OptionText(option)) + "[ \n]");
            QVERIFY2(text.contains(row) == command->takes(option),
                     qPrintable(name + " " + OptionText(option)));
        }
    }
}

// The manual page holds every command and option and the sections a manual page has.
void TestCli::manualPage()
{
    const CliRun result = RunCli({"help", "--manual"});
    QCOMPARE(result.status, 0);
    const QString page = QString::fromUtf8(result.out).replace("\\-", "-");
    for (const char* section :
         {".SH SYNOPSIS", ".SH EXAMPLES", ".SH ENVIRONMENT", ".SH FILES", ".SH EXIT STATUS", ".SH SEE ALSO",
          "TALVANE_PASSWORD", "DAZAVO_SIMULATED_BOARDS", "serialNumberTrace"})
        QVERIFY2(page.contains(section), section);
    for (const Command* command : AllCommands())
    {
        QVERIFY2(page.contains(".SS " + QLatin1String(command->name)), command->name);
        for (const CommandOption& option : command->options)
            QVERIFY2(page.contains(OptionText(option.option)), qPrintable(OptionText(option.option)));
    }
    // Rendered by man(1) without a warning.
    QVERIFY(writeFile("talvane-chain.1", result.out));
    QProcess man;
    man.start("man", {"--warnings", "-l", "talvane-chain.1"}, QIODevice::ReadOnly);
    man.waitForFinished(60000);
    if (man.error() == QProcess::FailedToStart)
        QSKIP("man is not installed");
    QCOMPARE(man.exitCode(), 0);
    QCOMPARE(man.readAllStandardError(), QByteArray());
}

void TestCli::optionSpellingsAndSuggestions()
{
    // The spelling of the window and the help is taken as the other.
    CliRun result = RunCli({"root", "--out", "r", "--root-name", ".R", "--organisation", ".Spelt", "--entity",
                            "R", "--password-file", fixture("password")});
    QVERIFY2(result.status == 0, Describe(result));
    const auto root = ChainCheck::loadPemCertificates("r.pem");
    QCOMPARE(subjectEntry(root.front().get(), NID_organizationalUnitName), QString(".Spelt"));

    result = RunCli({"leaf", "--isuer", "x.pfx"});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains("--issuer?"), Describe(result));
    result = RunCli({"lef"});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains("leaf?"), Describe(result));
}

// Every creating command: 3,649 days from the start unless --days or --end say otherwise.
void TestCli::oneValidityRule()
{
    const QStringList root{"--root-name", ".R", "--organization",  ".O",
                           "--entity",    "R",  "--password-file", fixture("password")};
    CliRun result = RunCli(QStringList{"root", "--out", "default"} + root);
    QVERIFY2(result.status == 0, Describe(result));
    result = RunCli(QStringList{"root", "--out", "days", "--start", "2030-01-01T00:00:00Z", "--days", "10"} +
                    root);
    QVERIFY2(result.status == 0, Describe(result));

    const auto byDefault = ChainCheck::loadPemCertificates("default.pem");
    const QDateTime start = timeOf(X509_get0_notBefore(byDefault.front().get()));
    QCOMPARE(start.daysTo(timeOf(X509_get0_notAfter(byDefault.front().get()))), 3649);
    // The first second of 1970 is a start like any other, not "now".
    result = RunCli(QStringList{"root", "--out", "epoch", "--start", "1970-01-01T00:00:00Z", "--days", "1"} +
                    root);
    QCOMPARE(result.status, 2); // it ended long ago
    result = RunCli(QStringList{"root", "--out", "epoch", "--start", "1970-01-01T00:00:00Z", "--end",
                                "2030-01-01T00:00:00Z"} +
                    root);
    QVERIFY2(result.status == 0, Describe(result));
    const auto epoch = ChainCheck::loadPemCertificates("epoch.pem");
    QCOMPARE(timeOf(X509_get0_notBefore(epoch.front().get())), QDateTime::fromSecsSinceEpoch(0, Qt::UTC));

    const auto byDays = ChainCheck::loadPemCertificates("days.pem");
    QCOMPARE(timeOf(X509_get0_notAfter(byDays.front().get())),
             QDateTime(QDate(2030, 1, 11), QTime(0, 0), Qt::UTC));
}

// Below a root the OU not given is the issuer's, the end is cut to the issuer's, and the issuer is
// read once, from memory: the chain verifies with openssl as judge.
void TestCli::belowARootTheIssuerFills()
{
    const auto leaf = ChainCheck::loadPemCertificates(fixture("leaf.pem"));
    const auto root = ChainCheck::loadPemCertificates(fixture("root.pem"));
    QCOMPARE(subjectEntry(leaf.front().get(), NID_organizationalUnitName), QString(".Lab"));
    QCOMPARE(timeOf(X509_get0_notAfter(leaf.front().get())), timeOf(X509_get0_notAfter(root.front().get())));
    QCOMPARE(openssl({"verify", "-x509_strict", "-CAfile", fixture("root.pem"), fixture("leaf.pem")}),
             QByteArray(fixture("leaf.pem").toUtf8() + ": OK"));
}

void TestCli::standardOutputCarriesTheFileNamesOnly()
{
    const QStringList arguments{"leaf",
                                "--out",
                                "quiet",
                                "--issuer",
                                fixture("root.pfx"),
                                "--issuer-password-file",
                                fixture("password"),
                                "--password-file",
                                fixture("password"),
                                "--entity",
                                "Q"};
    CliRun result = RunCli(arguments);
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out, (QDir::current().absoluteFilePath("quiet.pem") + "\n" +
                          QDir::current().absoluteFilePath("quiet.pfx") + "\n")
                             .toUtf8());
    // Where the serial comes from, once; the card named once; no line of the board layer.
    QCOMPARE(result.err.count("Serial numbers from "), 1);
    QCOMPARE(result.err.count("Zel Kavra card"), 1);
    QVERIFY2(!result.err.contains("Detected"), Describe(result));

    result = RunCli(arguments + QStringList{"--force", "--verbose"});
    QVERIFY2(result.status == 0, Describe(result));
    QVERIFY2(result.err.contains("Detected 1 Zel card"), Describe(result));
    QCOMPARE(result.out.count('\n'), 2);

    // export lists what it wrote the same way.
    result = RunCli(
        {"export", "quiet.pfx", "--input-password-file", fixture("password"), "--chain-pem", "chain.pem"});
    QVERIFY2(result.status == 0, Describe(result));
    QCOMPARE(result.out, (QDir::current().absoluteFilePath("chain.pem") + "\n").toUtf8());
}

// show gives the issuer name and serial number that XML signatures name their signer by, as
// openssl prints them.
void TestCli::identityForXmlSignatures()
{
    const CliRun text = RunCli({"show", fixture("leaf.pem")});
    QCOMPARE(text.status, 0);
    const QByteArray issuer =
        openssl({"x509", "-in", fixture("leaf.pem"), "-noout", "-issuer", "-nameopt", "RFC2253"})
            .mid(int(qstrlen("issuer=")));
    const QByteArray subject =
        openssl({"x509", "-in", fixture("leaf.pem"), "-noout", "-subject", "-nameopt", "RFC2253"})
            .mid(int(qstrlen("subject=")));
    const QByteArray serialHex = openssl({"x509", "-in", fixture("leaf.pem"), "-noout", "-serial"}).mid(7);
    const QByteArray serial = QByteArray::number(serialHex.toULongLong(nullptr, 16));
    QVERIFY2(text.out.contains("X509IssuerName:       " + issuer + "\n"), text.out.constData());
    QVERIFY2(text.out.contains("X509SerialNumber:     " + serial + "\n"), text.out.constData());
    QVERIFY2(text.out.contains("subject:              " + subject + "\n"), text.out.constData());

    const CliRun json = RunCli({"show", fixture("leaf.pem"), "--json"});
    const QJsonObject certificate =
        QJsonDocument::fromJson(json.out)["certificates"].toArray().first().toObject();
    const QJsonObject identity = certificate["xmlSignatureIdentity"].toObject();
    QCOMPARE(identity["X509IssuerName"].toString().toUtf8(), issuer);
    QCOMPARE(identity["X509SerialNumber"].toString().toUtf8(), serial);
    QCOMPARE(certificate["subjectName"].toString().toUtf8(), subject);
}

void TestCli::passwordFromStandardInput()
{
    const CliRun result =
        RunCli({"leaf", "--out", "piped", "--issuer", fixture("root.pfx"), "--issuer-password-file", "-",
                "--password-file", fixture("password"), "--entity", "Piped"},
               kPassword + "\n");
    QVERIFY2(result.status == 0, Describe(result));
}

// A password file's first line is the password byte for byte, for writing a container as for
// reading it; a file that cannot hold a text line, or a line longer than the limit, is refused
// rather than cut.
void TestCli::passwordBytesAreOneRule()
{
    QVERIFY(writeFile("latin1", "gr\xfc\xdf"
                                "e\n"));
    CliRun result = RunCli({"root", "--out", "latin", "--root-name", ".R", "--organization", ".O", "--entity",
                            "R", "--password-file", "latin1"});
    QVERIFY2(result.status == 0, Describe(result));
    result = RunCli({"leaf", "--out", "below", "--issuer", "latin.pfx", "--issuer-password-file", "latin1",
                     "--password-file", "latin1", "--entity", "B"});
    QVERIFY2(result.status == 0, Describe(result));
    QVERIFY(ChainCheck::loadPkcs12("below.pfx", "gr\xfc\xdf"
                                                "e")
                .ok());

    const QByteArray utf16("\xff\xfep\0w\0\n\0", 8);
    for (const QByteArray& content : {utf16, QByteArray(1025, 'x') + "\n"})
    {
        QVERIFY(writeFile("refused", content));
        result = RunCli({"root", "--out", "refused", "--root-name", ".R", "--organization", ".O", "--entity",
                         "R", "--password-file", "refused"});
        QCOMPARE(result.status, 2);
        QVERIFY(!QFile::exists("refused.pem"));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
