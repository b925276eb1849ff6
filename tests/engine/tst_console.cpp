// The console password prompt, driven through a pseudo-terminal as a user at a console would,
// and the operations that fall back to it when they are given no password.

#include "enginetestsupport.h"
#include "noconsole.h"
#include "opensslutil.h"
#include "pseudoterminal.h"
#include "diagnosticcapture.h"
#include "zidcertificate.h"

#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace EngineTest;

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keystrokes_data();
    void keystrokes();
    void fullBufferEndsWithoutEnter();
    void hangUpDiscardsUnconfirmedInput();
    void noConsoleGivesUpAtOnce();
    void containerPasswordsFromTheConsole();
    void certificateWritesAskForAnEmptyPassword();

private:
    QTemporaryDir mDir;
    EvpPkeyPtr mKey;
    X509Ptr mCertificate;
};

void TestConsole::initTestCase()
{
    QVERIFY(mDir.isValid());
    mKey = makeRsaKey();
    CertificateRecipe recipe;
    recipe.subject = names(".console");
    recipe.key = mKey.get();
    recipe.extensions = {{NID_basic_constraints, "critical,CA:TRUE,pathlen:1"},
                         {NID_subject_key_identifier, "hash"}};
    mCertificate = makeCertificate(recipe);
    QVERIFY(mCertificate);
}

void TestConsole::keystrokes_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("echo");

    QTest::newRow("Enter (13) ends") << QByteArray("pw\r") << QByteArray("pw") << QByteArray("**");
    QTest::newRow("line feed (10) ends") << QByteArray("pw\n") << QByteArray("pw") << QByteArray("**");
    QTest::newRow("form feed (12) ends") << QByteArray("pw\f") << QByteArray("pw") << QByteArray("**");
    QTest::newRow("Enter at once: nothing") << QByteArray("\r") << QByteArray() << QByteArray();
    QTest::newRow("backspace at the start prints nothing")
        << QByteArray("\bab\r") << QByteArray("ab") << QByteArray("**");
    QTest::newRow("backspace removes the last character")
        << QByteArray("ab\bc\r") << QByteArray("ac") << QByteArray("**\b \b*");
    QTest::newRow("the terminal's erase key is backspace")
        << QByteArray("ab\x7f\r") << QByteArray("a") << QByteArray("**\b \b");
    QTest::newRow("control keys are ignored")
        << QByteArray("a\x01\x1b\tb\r") << QByteArray("ab") << QByteArray("**");
    QTest::newRow("bytes above 127 are ignored") << QByteArray("a\xe9\xff"
                                                               "b\r")
                                                 << QByteArray("ab") << QByteArray("**");
    QTest::newRow("space and tilde are taken") << QByteArray(" ~\r") << QByteArray(" ~") << QByteArray("**");
}

void TestConsole::keystrokes()
{
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, echo);

    PseudoTerminal console(PseudoTerminal::Use::StandardInput);
    QVERIFY(console.ready());
    console.type(keys + "after");
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    DiagnosticCapture capture;
    QCOMPARE(OpenSSLUtil::getpwd(buffer, sizeof buffer), int(password.size()));
    QCOMPARE(capture.take(), "Enter password:\n" + echo + "\n");
    QCOMPARE(QByteArray(buffer), password);
    // Nothing after the end of input is consumed, and the terminal is as it was.
    QCOMPARE(console.unread(), QByteArray("after"));
    QVERIFY(console.settingsRestored());
}

void TestConsole::fullBufferEndsWithoutEnter()
{
    PseudoTerminal console(PseudoTerminal::Use::StandardInput);
    QVERIFY(console.ready());
    console.type("abcdef");
    char buffer[4];
    DiagnosticCapture capture;
    QCOMPARE(OpenSSLUtil::getpwd(buffer, sizeof buffer), 3);
    QCOMPARE(capture.take(), QByteArray("Enter password:\n***\n"));
    QCOMPARE(QByteArray(buffer), QByteArray("abc"));
    QCOMPARE(console.unread(), QByteArray("def"));
}

void TestConsole::hangUpDiscardsUnconfirmedInput()
{
    PseudoTerminal console(PseudoTerminal::Use::StandardInput);
    QVERIFY(console.ready());
    console.type("ab");
    // Hung up once the prompt has taken both characters: they reach the terminal before the
    // prompt starts, and the user hangs up when none is left to read.
    QVERIFY(console.waitUntilWaiting(2));
    std::thread user(
        [&console]
        {
            console.waitUntilWaiting(0);
            console.hangUp();
        });
    char buffer[256];
    DiagnosticCapture capture;
    const int taken = OpenSSLUtil::getpwd(buffer, sizeof buffer);
    user.join();
    QCOMPARE(taken, 0);
    QCOMPARE(capture.take(), QByteArray("Enter password:\n**\n"));
    QCOMPARE(buffer[0], '\0');
    QCOMPARE(buffer[1], '\0'); // what was typed is wiped
}

void TestConsole::noConsoleGivesUpAtOnce()
{
    const NoConsole noConsole;
    char buffer[256];
    DiagnosticCapture capture;
    QCOMPARE(OpenSSLUtil::getpwd(buffer, sizeof buffer), 0);
    QCOMPARE(capture.take(), QByteArray("Enter password:\n\n"));
    QCOMPARE(buffer[0], '\0');
}

void TestConsole::containerPasswordsFromTheConsole()
{
    const QByteArray file = QFile::encodeName(mDir.filePath("console.p12"));
    {
        PseudoTerminal console(PseudoTerminal::Use::StandardInput);
        QVERIFY(console.ready());
        console.type("typed secret\r");
        DiagnosticCapture capture;
        QCOMPARE(OpenSSLUtil::PKCS12Write(file, mCertificate.get(), mKey.get(), nullptr, nullptr), 1);
        QCOMPARE(capture.take(), QByteArray("Enter password:\n************\n"));
    }
    Outputs outputs;
    EVP_PKEY*& key = outputs.key;
    X509*& certificate = outputs.certificate;
    QCOMPARE(OpenSSLUtil::PKCS12Extract(file, &key, &certificate, nullptr, "typed secret"), 1);
    {
        PseudoTerminal console(PseudoTerminal::Use::StandardInput);
        QVERIFY(console.ready());
        console.type("typed secret\r");
        DiagnosticCapture capture;
        QCOMPARE(OpenSSLUtil::PCKS12ExtractPrivateKey(file, &key, nullptr), 1);
        capture.take();
        QVERIFY(sameKey(key, mKey.get()));
    }
}

void TestConsole::certificateWritesAskForAnEmptyPassword()
{
    // An object read from a container holds a certificate and its key.
    const QByteArray source = QFile::encodeName(mDir.filePath("source.p12"));
    QCOMPARE(OpenSSLUtil::PKCS12Write(source, mCertificate.get(), mKey.get(), nullptr, "pw"), 1);
    ZIDCertificate certificate;
    QVERIFY(certificate.ReadPKCS12(source, "pw") != 0);

    const QByteArray file = QFile::encodeName(mDir.filePath("asked.p12"));
    PseudoTerminal console(PseudoTerminal::Use::StandardInput);
    QVERIFY(console.ready());
    console.type("asked\r");
    DiagnosticCapture capture;
    QCOMPARE(certificate.WritePKCS12(file, ""), 1);
    QCOMPARE(capture.take(), QByteArray("Enter password:\n*****\n"));
    ZIDCertificate reread;
    QVERIFY(reread.ReadPKCS12(file, "asked") != 0);
    QCOMPARE(X509_cmp(reread.mpX509, mCertificate.get()), 0);
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
