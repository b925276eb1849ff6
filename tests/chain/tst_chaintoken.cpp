// talvane-chain with the root's key in a PKCS#11 token: a SoftHSM2 token of the test's own,
// openssl, the verifier and the chain checker as judges, pkcs11-tool as the token's.

#include "chaincheck.h"
#include "chainrunner.h"
#include "foldersnapshot.h"
#include "pseudoterminal.h"
#include "smallfilesystem.h"
#include "softhsmtoken.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>

namespace
{

const QString kToken = QStringLiteral("Lab Root");
const QString kPin = QStringLiteral("pin-7391-lab");
const QString kPassword = QStringLiteral("container-password");
const QString kModule = QString::fromLatin1(SoftHsmToken::kModule);

QString keyUri(const QString& object)
{
    return QStringLiteral("pkcs11:token=Lab%20Root;object=") + object;
}

bool writeLine(const QString& path, const QString& line)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write((line + QLatin1Char('\n')).toUtf8()) > 0;
}

QByteArray opensslX509(const QString& folder, const QString& pem, const QString& field)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    QStringList arguments{"x509", "-noout", "-in", pem, field};
    if (field == QLatin1String("-ext"))
        arguments << "authorityKeyIdentifier";
    openssl.start(QStringLiteral("openssl"), arguments);
    openssl.waitForFinished(60000);
    return openssl.readAllStandardOutput().replace(':', "").toUpper();
}

// What the token lists of its keys, without its certificates: the same before and after a
// certificate beside a key is replaced.
QString keysListed(const QString& objects)
{
    QStringList kept;
    bool certificate = false;
    for (const QString& line : objects.split(QLatin1Char('\n')))
    {
        if (!line.startsWith(QLatin1Char(' ')))
            certificate = line.startsWith(QLatin1String("Certificate Object"));
        if (!certificate)
            kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

// openssl's strict verification of the leaf below the root, the intermediates untrusted.
QByteArray opensslVerify(const QString& folder, const QString& root, const QStringList& middle,
                         const QString& leaf)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    QStringList arguments{QStringLiteral("verify"), QStringLiteral("-x509_strict"), QStringLiteral("-CAfile"),
                          root};
    for (const QString& untrusted : middle)
        arguments << QStringLiteral("-untrusted") << untrusted;
    openssl.start(QStringLiteral("openssl"), arguments << leaf);
    openssl.waitForFinished(60000);
    return openssl.exitCode() == 0 ? openssl.readAllStandardOutput()
                                   : QByteArray("failed: ") + openssl.readAll();
}

} // namespace

class TestChainToken : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rootInTokenChain();
    void exportAndShow();
    void pinTypedAtThePrompt();
    void issuerChecksApply();
    void issuedByTokenRoot_data();
    void issuedByTokenRoot();
    void tokenRefusals_data();
    void tokenRefusals();
    void wholeChainWithTokenRoot();
    void renewRootInToken();
    void renewRefusesIntermediateInToken();
    void unwrittenRootLeavesNoKey();
    void readmeExample();

private:
    ChainRun run(const QStringList& arguments, const QMap<QString, QString>& environment = {});
    QString path(const QString& name) const { return QDir(mWork.path()).filePath(name); }

    SoftHsmToken mToken;
    QTemporaryDir mWork;
};

ChainRun TestChainToken::run(const QStringList& arguments, const QMap<QString, QString>& environment)
{
    QMap<QString, QString> additions = environment;
    if (!additions.contains(QStringLiteral("TALVANE_PKCS11_MODULE")))
        additions.insert(QStringLiteral("TALVANE_PKCS11_MODULE"), kModule);
    return ChainRunner::run(arguments, mWork.path(), additions);
}

void TestChainToken::initTestCase()
{
    ChainCheck::initOpenSsl();
    QVERIFY(mWork.isValid());
    if (!QFileInfo::exists(kModule))
        QSKIP("SoftHSM2 is not installed (scripts/install-deps installs it)");
    QVERIFY(mToken.initialise(kToken, kPin));
    QVERIFY(writeLine(path(QStringLiteral("pin")), kPin));
    QVERIFY(writeLine(path(QStringLiteral("password")), kPassword));
    QVERIFY(writeLine(path(QStringLiteral("wrong-pin")), QStringLiteral("0000")));
}

// A root made in the token, an intermediate and a leaf issued with its key, the leaf's chain
// judged by openssl, the verifier and the chain checker; the key never leaves the token.
void TestChainToken::rootInTokenChain()
{
    const ChainRun root = run({"root", "--out", "root", "--root-name", ".Example", "--organization", ".Lab",
                               "--entity", "Root", "--token", keyUri("root-key"), "--pin-file", "pin"});
    QVERIFY2(root.exitCode == 0, describeRun(root));
    QCOMPARE(root.out.trimmed(), path(QStringLiteral("root.pem")).toUtf8());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("root.pfx"))));
    QVERIFY(root.err.contains(".pfx"));

    // The certificate the token keeps beside the key is what the intermediate is issued under;
    // TALVANE_PIN as the PIN's source.
    const ChainRun intermediate =
        run({"intermediate", "--out", "intermediate", "--issuer", keyUri("root-key"), "--entity",
             "Intermediate", "--password-file", "password"},
            {{"TALVANE_PIN", kPin}});
    QVERIFY2(intermediate.exitCode == 0, describeRun(intermediate));
    const ChainRun leaf =
        run({"leaf", "--out", "leaf", "--issuer", "intermediate.pfx", "--issuer-password-file", "password",
             "--entity", "Player", "--password-file", "password"});
    QVERIFY2(leaf.exitCode == 0, describeRun(leaf));
    // A second leaf straight under the token's key, its certificate given as a file.
    const ChainRun direct =
        run({"leaf", "--out", "direct", "--issuer", keyUri("root-key"), "--issuer-cert", "root.pem",
             "--pin-file", "pin", "--entity", "Direct", "--password-file", "password"});
    QVERIFY2(direct.exitCode == 0, describeRun(direct));

    QVERIFY(opensslVerify(mWork.path(), "root.pem", {"intermediate.pem"}, "leaf.pem").contains("OK"));
    QVERIFY(opensslVerify(mWork.path(), "root.pem", {}, "direct.pem").contains("OK"));
    const ChainRun verified =
        run({"verify", "--signer", "--root", "root.pem", "leaf.pem", "intermediate.pem"});
    QVERIFY2(verified.exitCode == 0, describeRun(verified));
    const QStringList findings =
        ChainCheck::checkPemFiles({path("root.pem"), path("intermediate.pem"), path("leaf.pem")});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    const QString objects = mToken.listObjects(kPin);
    const qsizetype privateKey = objects.indexOf(QLatin1String("Private Key Object"));
    QVERIFY2(privateKey >= 0, qPrintable(objects));
    QVERIFY(objects.mid(privateKey).section('\n', 0, 4).contains(QLatin1String("never extractable")));
    QVERIFY(objects.contains(QLatin1String("Certificate Object")));

    // Neither the PIN nor a private key of the root reached a file, an output or a message.
    for (const ChainRun* each : {&root, &intermediate, &leaf, &direct})
        QVERIFY(!each->out.contains(kPin.toUtf8()) && !each->err.contains(kPin.toUtf8()));
    const auto files = folderSnapshot(mWork.path());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
    {
        if (it.key() == QLatin1String("pin"))
            continue;
        QVERIFY2(!it.value().contains(kPin.toUtf8()), qPrintable(it.key()));
        QVERIFY2(!it.value().contains("PRIVATE KEY"), qPrintable(it.key()));
    }
}

// The certificate of a token's key can be shown and exported; the key itself never.
void TestChainToken::exportAndShow()
{
    const ChainRun shown = run({"show", keyUri("root-key"), "--pin-file", "pin", "--json"});
    QVERIFY2(shown.exitCode == 0, describeRun(shown));
    QVERIFY(shown.out.contains(".Root"));
    QVERIFY(shown.err.contains("token"));

    const ChainRun exported =
        run({"export", keyUri("root-key"), "--pin-file", "pin", "--chain-pem", "copy.pem"});
    QVERIFY2(exported.exitCode == 0, describeRun(exported));
    const auto copy = ChainCheck::loadPemCertificates(path("copy.pem"));
    const auto original = ChainCheck::loadPemCertificates(path("root.pem"));
    QVERIFY(copy.size() == 1 && original.size() == 1);
    QCOMPARE(X509_cmp(copy.front().get(), original.front().get()), 0);

    for (const char* keyOutput : {"--key-pem", "--pkcs12"})
    {
        const ChainRun refused = run({"export", keyUri("root-key"), "--pin-file", "pin", keyOutput, "key-out",
                                      "--password-file", "password"});
        QVERIFY2(refused.exitCode == 1, describeRun(refused));
        QVERIFY(refused.err.contains("token"));
        QVERIFY(!QFileInfo::exists(path("key-out")));
    }
}

// Without --pin-file or TALVANE_PIN the PIN is asked for on the terminal, without echo.
void TestChainToken::pinTypedAtThePrompt()
{
    PseudoTerminal terminal(PseudoTerminal::Use::Program);
    QVERIFY(terminal.ready());
    QStringList environment = ChainRunner::environment({{"TALVANE_PKCS11_MODULE", kModule}}).toStringList();
    QVERIFY(terminal.start(ChainRunner::executable(),
                           {"root", "--out", "typed", "--root-name", ".Example", "--organization", ".Lab",
                            "--entity", "Typed", "--token", keyUri("typed-key")},
                           mWork.path(), environment) > 0);
    QVERIFY2(terminal.waitForOutput("PIN"), terminal.output().constData());
    QVERIFY2(terminal.waitForOutput("Enter password:"), terminal.output().constData());
    terminal.type(kPin.toUtf8() + "\r");
    const int status = terminal.waitForEnd();
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, terminal.output().constData());
    QVERIFY(!terminal.output().contains(kPin.toUtf8()));
    QVERIFY(QFileInfo::exists(path("typed.pem")));
}

// A token's key is held to what its certificate allows, as a .pfx's is.
void TestChainToken::issuerChecksApply()
{
    const ChainRun root = run({"root", "--out", "short", "--root-name", ".Example", "--organization", ".Lab",
                               "--entity", "Short", "--path-length", "1", "--days", "30", "--token",
                               keyUri("short-key"), "--pin-file", "pin"});
    QVERIFY2(root.exitCode == 0, describeRun(root));
    const ChainRun intermediate =
        run({"intermediate", "--out", "under-short", "--issuer", keyUri("short-key"), "--pin-file", "pin",
             "--entity", "Under", "--password-file", "password"});
    QVERIFY2(intermediate.exitCode == 1, describeRun(intermediate));
    QVERIFY(intermediate.err.contains("path length"));
    const ChainRun tooLong = run({"leaf", "--out", "too-long", "--issuer", keyUri("short-key"), "--pin-file",
                                  "pin", "--entity", "Long", "--days", "60", "--password-file", "password"});
    QVERIFY2(tooLong.exitCode == 1, describeRun(tooLong));
    const ChainRun leaf = run({"leaf", "--out", "under-short", "--issuer", keyUri("short-key"), "--pin-file",
                               "pin", "--entity", "Under", "--password-file", "password"});
    QVERIFY2(leaf.exitCode == 0, describeRun(leaf));
    QVERIFY(opensslVerify(mWork.path(), "short.pem", {}, "under-short.pem").contains("OK"));
}

void TestChainToken::issuedByTokenRoot_data()
{
    QTest::addColumn<QStringList>("prepare");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("certificates");
    const QStringList byToken{"--issuer", keyUri("root-key"), "--pin-file", "pin"};
    QTest::newRow("sign of a request")
        << QStringList{"request", "--out",           "projector",       "--entity", "Projector-12",
                       "--roles", "LE SPB MD FM SM", "--password-file", "password"}
        << (QStringList{"sign", "projector.csr", "--out-dir", "signed"} << byToken) << 1;
    QTest::newRow("batch of three leaves")
        << QStringList()
        << (QStringList{"leaf", "--batch", "line.csv", "--out-dir", "line", "--password-file", "password"}
            << byToken)
        << 3;
    QTest::newRow("renewed intermediate") << QStringList()
                                          << (QStringList{"renew", "intermediate.pfx", "--out",
                                                          "intermediate-2", "--in-password-file", "password"}
                                              << byToken)
                                          << 1;
}

// Every command that issues takes the token's key as --issuer; what it issues is judged by openssl
// and the verifier under the root in the token.
void TestChainToken::issuedByTokenRoot()
{
    QFETCH(QStringList, prepare);
    QFETCH(QStringList, arguments);
    QFETCH(int, certificates);
    QVERIFY(writeLine(path("line.csv"), "name,entity,roles\nplayer-1,Player-1,\nplayer-2,Player-2,SM\n"
                                        "projector-3,Projector-3,LE SPB MD FM SM"));
    if (!prepare.isEmpty())
    {
        const ChainRun prepared = run(prepare);
        QVERIFY2(prepared.exitCode == 0, describeRun(prepared));
    }
    const ChainRun issued = run(arguments);
    QVERIFY2(issued.exitCode == 0, describeRun(issued));
    QStringList written;
    // sign's NAME-chain.pem repeats the root above the leaf.
    for (const QByteArray& line : issued.out.split('\n'))
        if (line.endsWith(".pem") && !line.endsWith("-chain.pem"))
            written << QString::fromUtf8(line);
    QCOMPARE(written.size(), certificates);
    for (const QString& pem : written)
    {
        QVERIFY2(opensslVerify(mWork.path(), "root.pem", {}, pem).contains("OK"), qPrintable(pem));
        const ChainRun verified = run({"verify", "root.pem", pem});
        QVERIFY2(verified.exitCode == 0, describeRun(verified));
    }
}

void TestChainToken::tokenRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("word");
    const QStringList root{"root",           "--out", "again",    "--root-name", ".Example",
                           "--organization", ".Lab",  "--entity", "Root",        "--token"};
    const QStringList leaf{"leaf",     "--out",      "refused", "--entity", "Player", "--password-file",
                           "password", "--pin-file", "pin",     "--issuer"};
    QTest::newRow("wrong PIN") << (QStringList(root) << keyUri("other-key") << "--pin-file"
                                                     << "wrong-pin")
                               << kModule << 1 << "PIN";
    QTest::newRow("missing module") << (QStringList(root) << keyUri("other-key") << "--pin-file"
                                                          << "pin")
                                    << "/nowhere/module.so" << 1 << "module";
    QTest::newRow("missing token") << (QStringList(root) << "pkcs11:token=Other;object=k"
                                                         << "--pin-file"
                                                         << "pin")
                                   << kModule << 1 << "token";
    QTest::newRow("missing object") << (QStringList(leaf) << keyUri("no-such-key")) << kModule << 1
                                    << "no-such-key";
    QTest::newRow("object name taken") << (QStringList(root) << keyUri("root-key") << "--pin-file"
                                                             << "pin")
                                       << kModule << 1 << "already";
    QTest::newRow("PIN in the URI") << (QStringList(root)
                                        << keyUri("other-key") + "?pin-value=" + kPin << "--pin-file"
                                        << "pin")
                                    << kModule << 2 << "--pin-file";
    QTest::newRow("URI with a broken escape") << (QStringList(root) << "pkcs11:token=Lab%2;object=k"
                                                                    << "--pin-file"
                                                                    << "pin")
                                              << kModule << 2 << "%";
    QTest::newRow("URI naming no key")
        << (QStringList(leaf) << "pkcs11:token=Lab%20Root") << kModule << 2 << "object=";
    QTest::newRow("key without its certificate")
        << (QStringList(leaf) << keyUri("loose-key")) << kModule << 1 << "--issuer-cert";
}

// Each refusal has its own sentence and changes nothing: no file, no serial number, no object.
void TestChainToken::tokenRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, module);
    QFETCH(int, status);
    QFETCH(QString, word);
    if (QByteArray(QTest::currentDataTag()) == "key without its certificate")
    {
        const ChainRun made =
            run({"root", "--out", "loose", "--root-name", ".Example", "--organization", ".Lab", "--entity",
                 "Loose", "--token", keyUri("loose-key"), "--pin-file", "pin"});
        QVERIFY2(made.exitCode == 0, describeRun(made));
        QVERIFY(QFile::remove(path("loose.pem")));
        // Only the key stays: its certificate is taken out of the token with the module's tool.
        QProcess tool;
        tool.start("pkcs11-tool", {"--module", kModule, "--login", "--pin", kPin, "--delete-object", "--type",
                                   "cert", "--label", "loose-key"});
        QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0);
    }
    const QString objectsBefore = mToken.listObjects(kPin);
    const auto before = folderSnapshot(mWork.path());
    const ChainRun refused = run(arguments, {{"TALVANE_PKCS11_MODULE", module}});
    QVERIFY2(refused.exitCode == status, describeRun(refused));
    QVERIFY2(refused.err.contains(word.toUtf8()), describeRun(refused));
    QVERIFY(refused.out.isEmpty());
    QVERIFY(!refused.err.contains(kPin.toUtf8()));
    QCOMPARE(folderSnapshot(mWork.path()), before);
    QCOMPARE(mToken.listObjects(kPin), objectsBefore);
}

void TestChainToken::wholeChainWithTokenRoot()
{
    const ChainRun chain =
        run({"chain", "--out-dir", "lab", "--root-name", ".Example", "--organization", ".Lab", "--token",
             keyUri("chain-root"), "--pin-file", "pin", "--password-file", "password"});
    QVERIFY2(chain.exitCode == 0, describeRun(chain));
    const QString lab = path("lab");
    QVERIFY(!QFileInfo::exists(lab + "/root.pfx"));
    QVERIFY(QFileInfo::exists(lab + "/leaf.pfx"));
    QVERIFY(opensslVerify(lab, "root.pem", {"intermediate.pem"}, "leaf.pem").contains("OK"));
    const QStringList findings =
        ChainCheck::checkPemFiles({lab + "/root.pem", lab + "/intermediate.pem", lab + "/leaf.pem"});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
    // The chain's root key can issue afterwards like any root in the token.
    const ChainRun more = run({"intermediate", "--out", "more", "--issuer", keyUri("chain-root"),
                               "--pin-file", "pin", "--entity", "More", "--password-file", "password"});
    QVERIFY2(more.exitCode == 0, describeRun(more));
}

// A root in the token renewed by its key's URI: the same key and subject under a new serial, the
// token's certificate replaced; what it issued before names the old serial until renewed too.
void TestChainToken::renewRootInToken()
{
    const ChainRun root =
        run({"root", "--out", "lasting", "--root-name", ".Example", "--organization", ".Lab", "--entity",
             "Lasting", "--token", keyUri("lasting-key"), "--pin-file", "pin"});
    QVERIFY2(root.exitCode == 0, describeRun(root));
    const ChainRun child = run({"intermediate", "--out", "lasting-child", "--issuer", keyUri("lasting-key"),
                                "--pin-file", "pin", "--entity", "Child", "--password-file", "password"});
    QVERIFY2(child.exitCode == 0, describeRun(child));
    const QString keysBefore = keysListed(mToken.listObjects(kPin));

    const ChainRun renewed =
        run({"renew", keyUri("lasting-key"), "--out", "lasting-2", "--pin-file", "pin", "--days", "2000"});
    QVERIFY2(renewed.exitCode == 0, describeRun(renewed));
    QCOMPARE(renewed.out.trimmed(), path("lasting-2.pem").toUtf8());
    QVERIFY(!QFileInfo::exists(path("lasting-2.pfx")));
    QVERIFY(renewed.err.contains("renew"));
    QCOMPARE(keysListed(mToken.listObjects(kPin)), keysBefore);

    const auto before = ChainCheck::loadPemCertificates(path("lasting.pem"));
    const auto after = ChainCheck::loadPemCertificates(path("lasting-2.pem"));
    QVERIFY(before.size() == 1 && after.size() == 1);
    X509* old = before.front().get();
    X509* made = after.front().get();
    QCOMPARE(EVP_PKEY_eq(X509_get0_pubkey(old), X509_get0_pubkey(made)), 1);
    QCOMPARE(X509_NAME_cmp(X509_get_subject_name(old), X509_get_subject_name(made)), 0);
    QVERIFY(opensslVerify(mWork.path(), "lasting-2.pem", {}, "lasting-2.pem").contains("OK"));
    const QByteArray oldSerial = opensslX509(mWork.path(), "lasting.pem", "-serial").mid(7).trimmed();
    const QByteArray newSerial = opensslX509(mWork.path(), "lasting-2.pem", "-serial").mid(7).trimmed();
    QVERIFY(!oldSerial.isEmpty() && oldSerial != newSerial);
    const QByteArray named = opensslX509(mWork.path(), "lasting-child.pem", "-ext");
    QVERIFY2(named.contains(oldSerial) && !named.contains(newSerial), named.constData());

    // The token now keeps the renewed root beside the key, and issues under it.
    const ChainRun exported =
        run({"export", keyUri("lasting-key"), "--pin-file", "pin", "--chain-pem", "lasting-stored.pem"});
    QVERIFY2(exported.exitCode == 0, describeRun(exported));
    const auto stored = ChainCheck::loadPemCertificates(path("lasting-stored.pem"));
    QVERIFY(stored.size() == 1);
    QCOMPARE(X509_cmp(stored.front().get(), made), 0);
    const ChainRun leaf = run({"leaf", "--out", "lasting-leaf", "--issuer", keyUri("lasting-key"),
                               "--pin-file", "pin", "--entity", "Leaf", "--password-file", "password"});
    QVERIFY2(leaf.exitCode == 0, describeRun(leaf));
    QVERIFY(opensslVerify(mWork.path(), "lasting-2.pem", {}, "lasting-leaf.pem").contains("OK"));

    for (const QStringList& refused :
         {QStringList{"renew", keyUri("lasting-key"), "--out", "lasting-3", "--pin-file", "pin", "--new-key"},
          QStringList{"renew", keyUri("lasting-key"), "--out", "lasting-3", "--pin-file", "pin", "--issuer",
                      "lasting-child.pfx"}})
    {
        const ChainRun run = this->run(refused);
        QVERIFY2(run.exitCode == 2, describeRun(run));
        QVERIFY(!QFileInfo::exists(path("lasting-3.pem")));
    }
}

// An intermediate's key and certificate put in the token by the module's tool: renew names it and
// changes nothing.
void TestChainToken::renewRefusesIntermediateInToken()
{
    QTemporaryDir scratch;
    const auto tool = [&](const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setWorkingDirectory(scratch.path());
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    const QString pfx = path("intermediate.pfx");
    QVERIFY(tool("openssl", {"pkcs12", "-legacy", "-in", pfx, "-nocerts", "-nodes", "-passin",
                             "file:" + path("password"), "-out", "key.pem"}));
    QVERIFY(tool("openssl", {"pkey", "-in", "key.pem", "-outform", "DER", "-out", "key.der"}));
    QVERIFY(
        tool("openssl", {"x509", "-in", path("intermediate.pem"), "-outform", "DER", "-out", "cert.der"}));
    for (const auto& [file, type] : {std::pair{"key.der", "privkey"}, std::pair{"cert.der", "cert"}})
        QVERIFY(tool("pkcs11-tool", {"--module", kModule, "--login", "--pin", kPin, "--write-object", file,
                                     "--type", type, "--id", "4d49", "--label", "middle-key"}));

    const QString objectsBefore = mToken.listObjects(kPin);
    const ChainRun refused = run({"renew", keyUri("middle-key"), "--out", "middle-2", "--pin-file", "pin"});
    QVERIFY2(refused.exitCode == 1, describeRun(refused));
    QVERIFY(refused.err.contains("not a root"));
    QVERIFY(!QFileInfo::exists(path("middle-2.pem")));
    QCOMPARE(mToken.listObjects(kPin), objectsBefore);
}

// A root whose certificate cannot be written takes its key out of the token again.
void TestChainToken::unwrittenRootLeavesNoKey()
{
    SmallFileSystem full(path("full"));
    if (!full.mounted())
        QSKIP(qPrintable(full.reason()));
    QVERIFY(full.fill());
    const QString objectsBefore = mToken.listObjects(kPin);
    const ChainRun refused =
        run({"root", "--out", "full/root", "--root-name", ".Example", "--organization", ".Lab", "--entity",
             "Root", "--token", keyUri("unwritten-key"), "--pin-file", "pin"});
    QVERIFY2(refused.exitCode == 1, describeRun(refused));
    QCOMPARE(mToken.listObjects(kPin), objectsBefore);
}

// The fenced "sh" block of the README's section on tokens, run as it stands from an empty home
// folder, the PIN and the password typed on standard input.
void TestChainToken::readmeExample()
{
    QFile readmeFile(QStringLiteral(TALVANE_README));
    QVERIFY(readmeFile.open(QIODevice::ReadOnly));
    const QString readme = QString::fromUtf8(readmeFile.readAll());
    const qsizetype section = readme.indexOf("\n## Keeping the root in a token\n");
    QVERIFY(section >= 0);
    const qsizetype begin = readme.indexOf("\n```sh\n", section);
    const qsizetype end = readme.indexOf("\n```\n", begin + 1);
    QVERIFY(begin > 0 && end > begin);
    const QString script = readme.mid(begin + 7, end - begin - 6);

    QTemporaryDir home;
    QVERIFY(writeLine(home.filePath("typed"), kPin + "\n" + kPassword));
    QProcess shell;
    QProcessEnvironment environment = ChainRunner::environment();
    environment.insert("PATH",
                       QFileInfo(ChainRunner::executable()).absolutePath() + ":" + environment.value("PATH"));
    environment.insert("HOME", home.path());
    environment.remove("SOFTHSM2_CONF");
    environment.remove("TALVANE_PKCS11_MODULE");
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(home.path());
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.setStandardInputFile(home.filePath("typed"));
    shell.start("bash", {"-euo", "pipefail", "-c", script});
    QVERIFY(shell.waitForFinished(120000));
    const QByteArray output = shell.readAll();
    QVERIFY2(shell.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("0 errors"), output.constData());
    QVERIFY2(output.contains("never extractable"), output.constData());
    QVERIFY(!QFileInfo::exists(home.filePath("lab-token/root.pfx")));
}

QTEST_GUILESS_MAIN(TestChainToken)
#include "tst_chaintoken.moc"
