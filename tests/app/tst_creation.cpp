// One creation through the controller, from a settings record to the files, the trace and
// the boxes: every certificate type, the overwrite questions and every failure path.

#include "chaincheck.h"
#include "fakedazavo.h"
#include "filecontent.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "osslptr.h"
#include "serialnumbertrace.h"
#include "smallfilesystem.h"
#include "diagnosticcapture.h"
#include "permissionoverride.h"
#include "talvane.h"
#include "talvanewidget.h"
#include "testinchild.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QDateTime kStart = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0), Qt::UTC);
const QDateTime kEnd = QDateTime(QDate(2034, 3, 1), QTime(12, 0, 0), Qt::UTC);

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QString serialField()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TalvaneWidget*>(widget))
            return form->findChild<QLineEdit*>("mpSerialLineEdit")->text();
    return QString();
}

QString subjectEntry(X509* certificate, int nid)
{
    char text[256] = {};
    return X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), nid, text, sizeof text) < 0
               ? QStringLiteral("<absent>")
               : QString::fromLatin1(text);
}

long serialOf(const QString& pemFile)
{
    const auto certificates = ChainCheck::loadPemCertificates(pemFile);
    return certificates.size() == 1 ? ASN1_INTEGER_get(X509_get0_serialNumber(certificates.front().get()))
                                    : -1;
}

struct stat statOf(const QString& path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

class TestCreation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chainThroughTheController_data();
    void chainThroughTheController();
    void overwriteQuestions_data();
    void overwriteQuestions();
    void failures_data();
    void failures();
    void pkcs12FailureWritesNeitherFile();
    void fullFileSystemWritesNeitherFile();
    void profileEdges_data();
    void profileEdges();

    void serialTakenByAnotherRunIsNotReused();
    void typedSerialNeverLowersTheTrace();
    void plantedLinkIsNotFollowed();
    void readOnlyCertificateIsRefused();
    void refusedRenameWritesInPlace();
    void longestDestinationIsWritten();

private:
    // Fills the record for one certificate; the form would do this on "Create".
    void prepare(int type, const QString& destination, const QString& issuer = QString(),
                 const QString& issuerPassword = QStringLiteral("destination secret"));
    bool create(int type, ModalAnswerer& answerer);

    Talvane* mController = nullptr;
    QTemporaryDir* mDir = nullptr;
    QString mOldDir;
    QTemporaryDir mFixtures;
    DiagnosticCapture* mCapture = nullptr;
};

void TestCreation::initTestCase()
{
    // Tests must never wait for a keyboard: the engine's console prompt sees no console.
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mFixtures.isValid());
}

void TestCreation::init()
{
    FakeDazavo::reset();
    mOldDir = QDir::currentPath();
    mDir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(mDir->path()));
    mCapture = new DiagnosticCapture;
    mController = new Talvane;
}

void TestCreation::cleanup()
{
    delete mController;
    mController = nullptr;
    delete mCapture;
    mCapture = nullptr;
    QDir::setCurrent(mOldDir);
    delete mDir;
    mDir = nullptr;
}

void TestCreation::prepare(int type, const QString& destination, const QString& issuer,
                           const QString& issuerPassword)
{
    CertificateSettings& settings = mController->settings();
    settings.destinationFileName = destination;
    settings.destinationPassword = QStringLiteral("destination secret");
    settings.issuerFileName = type == 0 ? QString() : issuer;
    settings.issuerPassword = type == 0 ? QString() : issuerPassword;
    settings.ca = type != 2;
    settings.pathLength = type == 0 ? 3 : (type == 1 ? 2 : 0);
    settings.rootName = QStringLiteral(".Root.Example");
    settings.organizationName = QStringLiteral(".Lab.Example");
    settings.entityName = type == 2 ? QStringLiteral("CS.Player") : QStringLiteral(".Authority");
    settings.validityStart = kStart;
    settings.validityEnd = kEnd;
}

bool TestCreation::create(int type, ModalAnswerer& answerer)
{
    Q_UNUSED(answerer);
    return mController->CreateCertificate(type);
}

void TestCreation::chainThroughTheController_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::newRow("SHA-256") << 1;
    QTest::newRow("SHA-1") << 0;
}

void TestCreation::chainThroughTheController()
{
    QFETCH(int, algorithm);
    writeFile(serialNumberTracePath(), "6");
    delete mController;
    mController = new Talvane;
    QCOMPARE(mController->settings().serialNumber, qint64(7));
    mController->settings().signingAlgorithm = algorithm;

    ModalAnswerer answerer;
    prepare(0, "root");
    QVERIFY(create(0, answerer));
    prepare(1, "sub/intermediate.pfx", "root.pfx");
    QVERIFY(QDir::current().mkdir("sub"));
    QVERIFY(create(1, answerer));
    prepare(2, "leaf.crt", "sub/intermediate.pfx");
    QVERIFY(create(2, answerer));

    // Each certificate reported once, with the record's values and its own serial number.
    QCOMPARE(answerer.boxes().size(), 3);
    const QString cwd = QDir::currentPath();
    const QStringList expectedFiles[] = {{"root.pem", "root.pfx"},
                                         {"sub/intermediate.pem", "sub/intermediate.pfx"},
                                         {"leaf.crt.pem", "leaf.pfx"}};
    const char* entity[] = {".Authority", ".Authority", "CS.Player"};
    const int pathLength[] = {3, 2, 0};
    for (int i = 0; i < 3; ++i)
    {
        const ModalAnswerer::SeenBox& box = answerer.boxes().at(i);
        QCOMPARE(box.title, QString("Congratulations"));
        QCOMPARE(box.buttons, QStringList{"OK"});
        QVERIFY(box.hasParent);
        const QString expected =
            "The following files were successfully created:\n" + cwd + "/" + expectedFiles[i][0] + "\n" + cwd +
            "/" + expectedFiles[i][1] + "\n\nRoot Name: .Root.Example\nOrganisation Name: .Lab.Example\n" +
            "Entity Name: " + entity[i] + "\nSerial Number: " + QString::number(7 + i) + "\n" +
            "valid from: " + kStart.toLocalTime().toString(Qt::TextDate) + "\n" +
            "valid until: " + kEnd.toLocalTime().toString(Qt::TextDate) + "\n" +
            "allow derived certificates: " + QString::number(pathLength[i]);
        QCOMPARE(box.text, expected);
    }

    // The trace holds exactly the last serial used; the form offers the next one.
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("9"));
    QCOMPARE(mController->settings().serialNumber, qint64(10));
    QCOMPARE(serialField(), QString("10"));

    ChainCheck::Options options;
    options.digest = algorithm == 0 ? ChainCheck::Options::Digest::Sha1 : ChainCheck::Options::Digest::Sha256;
    const QStringList findings =
        ChainCheck::checkPemFiles({"root.pem", "sub/intermediate.pem", "leaf.crt.pem"}, options);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    // The leaf's container: the leaf with its key, then the root, then the intermediate.
    const auto root = ChainCheck::loadPemCertificates("root.pem");
    const auto intermediate = ChainCheck::loadPemCertificates("sub/intermediate.pem");
    const QStringList layout = ChainCheck::checkPkcs12File("leaf.pfx", "destination secret",
                                                           {root.at(0).get(), intermediate.at(0).get()});
    QVERIFY2(layout.isEmpty(), qPrintable(layout.join('\n')));
    const auto leaf = ChainCheck::loadPemCertificates("leaf.crt.pem");
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_organizationName), QString(".Root.Example"));
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_organizationalUnitName), QString(".Lab.Example"));
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_commonName), QString("CS.Player"));
}

void TestCreation::overwriteQuestions_data()
{
    QTest::addColumn<bool>("pemExists");
    QTest::addColumn<bool>("pfxExists");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("pemReplaced");
    QTest::addColumn<bool>("pfxReplaced");

    const QString pemQuestion = "Write PEM Error!";
    const QString pfxQuestion = "Write PFX Error!";
    QTest::newRow("both exist, Continue twice")
        << true << true << QStringList{"Continue", "Continue"} << true
        << QStringList{pemQuestion, pfxQuestion, "Congratulations"} << QString() << true << true;
    QTest::newRow("PEM exists, Cancel") << true << false << QStringList{"Cancel"} << false
                                        << QStringList{pemQuestion, "Warning"}
                                        << "Writing PEM file aborted!\n" << false << false;
    QTest::newRow("PEM exists, Escape") << true << false << QStringList{"Escape"} << false
                                        << QStringList{pemQuestion, "Warning"}
                                        << "Writing PEM file aborted!\n" << false << false;
    // Both questions come before either file is written: a declined container writes no certificate.
    QTest::newRow("PFX exists, Cancel: neither file is written")
        << false << true << QStringList{"Cancel"} << false << QStringList{pfxQuestion, "Warning"}
        << "Writing PKCS12 file aborted!\n" << false << false;
    QTest::newRow("PFX exists, Escape") << false << true << QStringList{"Escape"} << false
                                        << QStringList{pfxQuestion, "Warning"} << "Writing PKCS12 file aborted!\n"
                                        << false << false;
    QTest::newRow("both exist, Continue then Cancel: the PEM is kept")
        << true << true << QStringList{"Continue", "Cancel"} << false
        << QStringList{pemQuestion, pfxQuestion, "Warning"} << "Writing PKCS12 file aborted!\n" << false << false;
}

void TestCreation::overwriteQuestions()
{
    QFETCH(bool, pemExists);
    QFETCH(bool, pfxExists);
    QFETCH(QStringList, answers);
    QFETCH(bool, success);
    QFETCH(QStringList, titles);
    QFETCH(QString, warning);
    QFETCH(bool, pemReplaced);
    QFETCH(bool, pfxReplaced);

    if (pemExists)
        writeFile("cert.pem", "old pem");
    if (pfxExists)
        writeFile("cert.pfx", "old pfx");
    prepare(0, "cert");
    ModalAnswerer answerer(answers);
    QCOMPARE(mController->CreateCertificate(0), success);

    QStringList seenTitles;
    for (const ModalAnswerer::SeenBox& box : answerer.boxes())
        seenTitles << box.title;
    QCOMPARE(seenTitles, titles);
    if (pemExists)
        QCOMPARE(answerer.boxes().first().text,
                 QString("Warning: A file named cert.pem exists. Do you want to overwrite it?"));
    else if (pfxExists)
        QCOMPARE(answerer.boxes().first().text,
                 QString("Warning: A file named cert.pfx exists. Do you want to overwrite it?"));
    if (!warning.isEmpty())
        QCOMPARE(answerer.boxes().at(titles.indexOf("Warning")).text, warning);
    if (titles.last() == "Congratulations" && !success)
        QVERIFY(answerer.boxes().last().text.startsWith("The following files were successfully created:\n" +
                                                        QDir::current().absoluteFilePath("cert.pem") +
                                                        "\n\n\nRoot Name: "));

    QCOMPARE(readAll("cert.pem").startsWith("-----BEGIN CERTIFICATE-----"), pemReplaced);
    if (pemExists && !pemReplaced)
        QCOMPARE(readAll("cert.pem"), QByteArray("old pem"));
    if (pfxExists && !pfxReplaced)
        QCOMPARE(readAll("cert.pfx"), QByteArray("old pfx"));
    // Only a complete success records and advances the serial number.
    QCOMPARE(QFile::exists(serialNumberTracePath()), success);
    QCOMPARE(mController->settings().serialNumber, qint64(success ? 2 : 1));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestCreation::failures_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QStringList>("filesLeft");

    QTest::newRow("no board") << "no board"
                              << "Failed seeding random generator!\nNo Quorrel ZID card found or card is in "
                                 "use by another application!"
                              << QStringList();
    QTest::newRow("board busy") << "board busy"
                                << "Failed seeding random generator!\nNo Quorrel ZID card found or card is in "
                                   "use by another application!"
                                << QStringList();
    QTest::newRow("wrong issuer password") << "wrong password" << "Failed creating certificate!\n"
                                           << QStringList{"root.pem", "root.pfx"};
    QTest::newRow("issuer file missing") << "missing issuer" << "Failed creating certificate!\n"
                                         << QStringList();
    QTest::newRow("empty issuer password finds no console") << "empty issuer password"
                                                            << "Failed creating certificate!\n"
                                                            << QStringList{"root.pem", "root.pfx"};
    QTest::newRow("common name over 64 characters") << "long name" << "Failed creating certificate!\n"
                                                    << QStringList();
    QTest::newRow("PEM folder missing") << "pem unwritable" << "Failed writing certificate!\n"
                                        << QStringList();
}

void TestCreation::failures()
{
    QFETCH(QString, scenario);
    QFETCH(QString, warning);
    QFETCH(QStringList, filesLeft);

    int type = 0;
    if (scenario == "wrong password" || scenario == "empty issuer password")
    {
        prepare(0, "root");
        ModalAnswerer rootAnswerer;
        QVERIFY(mController->CreateCertificate(0));
        QFile::remove(serialNumberTracePath());
        type = 2;
        prepare(2, "leaf", "root.pfx", scenario == "wrong password" ? "not it" : "");
    }
    else if (scenario == "missing issuer")
    {
        type = 1;
        prepare(1, "intermediate", "nowhere.pfx");
    }
    else
    {
        prepare(0, scenario == "pem unwritable" ? "no/such/folder/cert" : "cert");
    }
    if (scenario == "no board")
        FakeDazavo::reset({});
    if (scenario == "board busy")
        FakeDazavo::setOpenFails(true);
    if (scenario == "long name")
        mController->settings().entityName = "." + QString(64, 'x');
    const qint64 serial = mController->settings().serialNumber;

    ModalAnswerer answerer;
    QVERIFY(!mController->CreateCertificate(type));
    QCOMPARE(answerer.boxes().size(), 1);
    QCOMPARE(answerer.boxes().first().title, QString("Warning"));
    QCOMPARE(answerer.boxes().first().text, warning);
    QCOMPARE(answerer.boxes().first().buttons, QStringList{"OK"});
    QVERIFY(answerer.boxes().first().hasParent);

    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name), filesLeft);
    QCOMPARE(mController->settings().serialNumber, serial);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestCreation::pkcs12FailureWritesNeitherFile()
{
    // An empty destination password reaches the engine's console prompt, which finds no
    // console: the container cannot be made after the certificate was.
    writeFile("cert.pem", "old certificate");
    writeFile("cert.pfx", "old container");
    prepare(0, "cert");
    mController->settings().destinationPassword.clear();
    ModalAnswerer answerer({"Continue", "Continue"});
    QVERIFY(!mController->CreateCertificate(0));

    QCOMPARE(answerer.boxes().size(), 3);
    QCOMPARE(answerer.boxes().at(1).title, QString("Write PFX Error!"));
    QCOMPARE(answerer.boxes().at(2).text, QString("Failed writing PKCS12 file!\n"));
    QCOMPARE(readAll("cert.pem"), QByteArray("old certificate"));
    QCOMPARE(readAll("cert.pfx"), QByteArray("old container"));
    QVERIFY(!QFile::exists(serialNumberTracePath()));
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList({"cert.pem", "cert.pfx"}));
}

void TestCreation::fullFileSystemWritesNeitherFile()
{
#ifdef Q_OS_LINUX
    // Room for the certificate and not for its container: neither is written.
    SmallFileSystem small("small");
    if (!small.mounted())
        QSKIP(qPrintable(small.reason()));

    writeFile("small/cert.pem", "old certificate");
    writeFile("small/cert.pfx", "old container");
    QVERIFY(small.fill());
    QFile filler("small/filler");
    QVERIFY(filler.resize(filler.size() - 4096)); // one page free: enough for the PEM only
    prepare(0, "small/cert");
    ModalAnswerer answerer({"Continue", "Continue"});
    QVERIFY(!mController->CreateCertificate(0));
    QCOMPARE(answerer.boxes().size(), 3);
    QCOMPARE(answerer.boxes().at(2).text, QString("Failed writing PKCS12 file!\n"));
    QCOMPARE(readAll("small/cert.pem"), QByteArray("old certificate"));
    QCOMPARE(readAll("small/cert.pfx"), QByteArray("old container"));
    QCOMPARE(QDir("small").entryList(QDir::Files | QDir::Hidden),
             QStringList({"cert.pem", "cert.pfx", "filler"}));
    QCOMPARE(mController->settings().serialNumber, qint64(1));
#else
    QSKIP("needs a tmpfs");
#endif
}

void TestCreation::profileEdges_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("ca");
    QTest::addColumn<int>("pathLength");
    QTest::addColumn<QString>("organizationName");
    QTest::addColumn<QString>("subjectCN");
    QTest::addColumn<QString>("subjectO");
    QTest::addColumn<QString>("subjectOU");
    QTest::addColumn<QString>("basicConstraints");
    QTest::addColumn<QString>("keyUsage");

    QTest::newRow("type outside 0-2 gives no names from the form")
        << 3 << true << 3 << ".Lab.Example" << "<absent>" << "<absent>" << "<absent>" << "CA:TRUE, pathlen:3"
        << "Certificate Sign";
    QTest::newRow("negative type") << -1 << true << 3 << ".Lab.Example" << "<absent>" << "<absent>"
                                   << "<absent>" << "CA:TRUE, pathlen:3" << "Certificate Sign";
    QTest::newRow("refused constraints keep the constructed ones")
        << 0 << false << 3 << ".Lab.Example" << ".Authority" << ".Root.Example" << ".Lab.Example" << "CA:FALSE"
        << "Digital Signature, Key Encipherment";
    QTest::newRow("root without organisation name has no OU")
        << 0 << true << 3 << "" << ".Authority" << ".Root.Example" << "<absent>" << "CA:TRUE, pathlen:3"
        << "Certificate Sign";
}

void TestCreation::profileEdges()
{
    QFETCH(int, type);
    QFETCH(bool, ca);
    QFETCH(int, pathLength);
    QFETCH(QString, organizationName);
    QFETCH(QString, subjectCN);
    QFETCH(QString, subjectO);
    QFETCH(QString, subjectOU);
    QFETCH(QString, basicConstraints);
    QFETCH(QString, keyUsage);

    prepare(0, "cert");
    mController->settings().ca = ca;
    mController->settings().pathLength = pathLength;
    mController->settings().organizationName = organizationName;
    ModalAnswerer answerer;
    QVERIFY(mController->CreateCertificate(type));
    QCOMPARE(answerer.boxes().size(), 1);
    QVERIFY(QFile::exists("cert.pfx"));

    const auto certificate = ChainCheck::loadPemCertificates("cert.pem");
    QCOMPARE(certificate.size(), size_t(1));
    X509* x509 = certificate.at(0).get();
    QCOMPARE(subjectEntry(x509, NID_commonName), subjectCN);
    QCOMPARE(subjectEntry(x509, NID_organizationName), subjectO);
    QCOMPARE(subjectEntry(x509, NID_organizationalUnitName), subjectOU);

    const auto extensionText = [x509](int nid) {
        const int index = X509_get_ext_by_NID(x509, nid, -1);
        const BioPtr memory(BIO_new(BIO_s_mem()));
        X509V3_EXT_print(memory.get(), X509_get_ext(x509, index), 0, 0);
        char* data = nullptr;
        const long length = BIO_get_mem_data(memory.get(), &data);
        return QString::fromLatin1(data, int(length));
    };
    QCOMPARE(extensionText(NID_basic_constraints), basicConstraints);
    QCOMPARE(extensionText(NID_key_usage), keyUsage);
}

void TestCreation::serialTakenByAnotherRunIsNotReused()
{
    writeFile(serialNumberTracePath(), "6");
    delete mController;
    mController = new Talvane;
    QCOMPARE(serialField(), QString("7"));
    // Another run, of the window or the command line, takes 7 and 8 while the form shows 7.
    QCOMPARE(ReserveSerialNumbers(2).first, 7LL);

    prepare(0, "cert");
    ModalAnswerer answerer;
    QVERIFY(mController->CreateCertificate(0));
    QCOMPARE(serialOf("cert.pem"), 9L);
    QVERIFY(answerer.boxes().last().text.contains("\nSerial Number: 9\n"));
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("9"));
    QCOMPARE(serialField(), QString("10"));
}

void TestCreation::typedSerialNeverLowersTheTrace()
{
    writeFile(serialNumberTracePath(), "9");
    delete mController;
    mController = new Talvane;
    prepare(0, "cert");
    mController->settings().serialNumber = 5; // typed by the user
    ModalAnswerer answerer;
    QVERIFY(mController->CreateCertificate(0));
    QCOMPARE(serialOf("cert.pem"), 5L);
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray("9"));
    QCOMPARE(serialField(), QString("10"));
}

void TestCreation::plantedLinkIsNotFollowed()
{
    if (::geteuid() != 0)
        QSKIP("only root can give a link to another user");
    // A folder shared by everyone, where another user planted cert.pem, leading to a file of ours.
    QVERIFY(QDir::current().mkdir("shared"));
    QCOMPARE(::chmod("shared", 01777), 0);
    writeFile("victim", "precious");
    QVERIFY(QFile::link(QDir::current().absoluteFilePath("victim"), "shared/cert.pem"));
    const unsigned other = PermissionOverride::kOtherUser;
    QCOMPARE(::lchown("shared/cert.pem", other, other), 0);

    prepare(0, "shared/cert");
    ModalAnswerer answerer({"Continue"});
    QVERIFY(!mController->CreateCertificate(0));
    QCOMPARE(answerer.boxes().last().text, QString("Failed writing certificate!\n"));
    QCOMPARE(readAll("victim"), QByteArray("precious"));
    QCOMPARE(QDir("shared").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
             QStringList{"cert.pem"});
    QVERIFY(!QFile::exists(serialNumberTracePath()));
    QCOMPARE(serialField(), QString("1"));
}

void TestCreation::readOnlyCertificateIsRefused()
{
    if (TestInChild::inChild())
    {
        prepare(0, TestInChild::sharedFolder() + "/cert");
        ModalAnswerer answerer({"Continue"});
        QVERIFY(!mController->CreateCertificate(0));
        QCOMPARE(answerer.boxes().last().text, QString("Failed writing certificate!\n"));
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::WithoutOverride);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY(QDir::current().mkdir("kept"));
    writeFile("kept/cert.pem", "old certificate");
    QCOMPARE(::chmod("kept/cert.pem", 0444), 0);
    QByteArray log;
    QVERIFY2(TestInChild::runCurrentTest(TestInChild::As::WithoutOverride,
                                         QDir::current().absoluteFilePath("kept"), log),
             log.constData());
    QCOMPARE(readAll("kept/cert.pem"), QByteArray("old certificate"));
    QCOMPARE(statOf("kept/cert.pem").st_mode & 07777, 0444u);
    QCOMPARE(QDir("kept").entryList(QDir::Files | QDir::Hidden), QStringList{"cert.pem"});
}

void TestCreation::refusedRenameWritesInPlace()
{
    if (TestInChild::inChild())
    {
        prepare(0, TestInChild::sharedFolder() + "/cert");
        ModalAnswerer answerer({"Continue"});
        QVERIFY(mController->CreateCertificate(0));
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::OtherUser);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    // A sticky folder shared by everyone, with a certificate of ours that everyone may write: the
    // other user's run may not replace it, only write it.
    QCOMPARE(::chmod(QFile::encodeName(mDir->path()).constData(), 0755), 0);
    QVERIFY(QDir::current().mkdir("sticky"));
    QCOMPARE(::chmod("sticky", 01777), 0);
    writeFile("sticky/cert.pem", "old certificate");
    QCOMPARE(::chmod("sticky/cert.pem", 0666), 0);
    const ino_t inode = statOf("sticky/cert.pem").st_ino;
    QByteArray log;
    QVERIFY2(TestInChild::runCurrentTest(TestInChild::As::OtherUser,
                                         QDir::current().absoluteFilePath("sticky"), log),
             log.constData());
    QVERIFY(readAll("sticky/cert.pem").startsWith("-----BEGIN CERTIFICATE-----"));
    QCOMPARE(statOf("sticky/cert.pem").st_ino, inode);
    QCOMPARE(statOf("sticky/cert.pem").st_uid, ::geteuid());
    QCOMPARE(statOf("sticky/cert.pfx").st_uid, uid_t(PermissionOverride::kOtherUser));
    QCOMPARE(statOf("sticky/cert.pfx").st_mode & 07777, 0600u);
}

void TestCreation::longestDestinationIsWritten()
{
    // 240 characters and ".pem": a valid name on every common file system.
    const QString destination(240, 'd');
    prepare(0, destination);
    ModalAnswerer answerer;
    QVERIFY(mController->CreateCertificate(0));
    QCOMPARE(serialOf(destination + ".pem"), 1L);
    QVERIFY(QFile::exists(destination + ".pfx"));
}

QTEST_MAIN(TestCreation)
#include "tst_creation.moc"
