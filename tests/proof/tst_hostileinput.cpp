// Hostile input through the whole program: issuing files that are anything but what they
// should be, and destinations that cannot take the files. Each gets the program's own
// message, and every file on disk stays as it was.

#include "chaincheck.h"
#include "fakedazavo.h"
#include "filecontent.h"
#include "foldersnapshot.h"
#include "formhands.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "osslptr.h"
#include "smallfilesystem.h"
#include "diagnosticcapture.h"
#include "talvane.h"
#include "talvanewidget.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/pkcs12.h>

#include <cstdio>
#include <memory>

using namespace FormTestSupport;

namespace
{

const QDateTime kStart(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
const QDateTime kEnd(QDate(2040, 3, 1), QTime(12, 0), Qt::UTC);
const QString kIssuerUnreadable = QStringLiteral("Error reading .pfx file!\nPlease check file/password!");
const QString kPassword = QStringLiteral("destination secret");

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// The intermediate's certificate, key and chain in a container with OpenSSL 3's own defaults
// (PBES2 with AES-256, SHA-256 MAC), as a modern tool would export it.
QByteArray modernContainer(const QString& legacyPath)
{
    const ChainCheck::Pkcs12Contents contents = ChainCheck::loadPkcs12(legacyPath, kPassword.toLatin1());
    if (contents.key == nullptr || contents.certificate == nullptr)
        return QByteArray();
    const BorrowedX509StackPtr chain(sk_X509_new_null());
    for (const auto& certificate : contents.chain)
        sk_X509_push(chain.get(), certificate.get());
    const Pkcs12Ptr container(PKCS12_create(kPassword.toLatin1().constData(), "friendlyname",
                                            contents.key.get(), contents.certificate.get(), chain.get(), 0, 0,
                                            0, 0, 0));
    const int length = container ? i2d_PKCS12(container.get(), nullptr) : 0;
    if (length <= 0)
        return QByteArray();
    QByteArray bytes(length, Qt::Uninitialized);
    auto* cursor = reinterpret_cast<unsigned char*>(bytes.data());
    i2d_PKCS12(container.get(), &cursor);
    return bytes;
}

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void issuingFile_data();
    void issuingFile();
    void modernContainerIsAnIssuerLikeAnyOther();
    void destinationCannotBeWritten_data();
    void destinationCannotBeWritten();

private:
    // Presses Create with the form filled for a leaf and returns the boxes it opened.
    QList<ModalAnswerer::SeenBox> createLeaf(const QString& issuer, const QString& issuerPassword,
                                             const QString& destination, const QStringList& answers = {});

    QTemporaryDir mDir;
    std::unique_ptr<Talvane> mController;
};

void TestHostileInput::initTestCase()
{
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mDir.isValid());
    QVERIFY(QDir::setCurrent(mDir.path()));
    FakeDazavo::reset();
    DiagnosticCapture quiet; // the board layer reports every seeding
    mController = std::make_unique<Talvane>();

    TalvaneWidget* form = shownForm();
    ModalAnswerer answerer;
    createRootAndIntermediate(form, kStart, kEnd);
    quiet.take();
    QCOMPARE(answerer.boxes().size(), 2);
    QVERIFY(QFile::exists("intermediate.pfx"));
}

void TestHostileInput::cleanupTestCase()
{
    mController.reset();
}

QList<ModalAnswerer::SeenBox> TestHostileInput::createLeaf(const QString& issuer, const QString& issuerPassword,
                                                           const QString& destination, const QStringList& answers)
{
    ModalAnswerer answerer(answers);
    TalvaneWidget* form = shownForm();
    fillDerived(form, 2, issuer, issuerPassword, destination);
    typeValidity(form, kStart.addDays(1), kEnd.addDays(-1));
    DiagnosticCapture quiet;
    pressCreate(form);
    quiet.take();
    return answerer.boxes();
}

void TestHostileInput::issuingFile_data()
{
    QTest::addColumn<QString>("kind"); // how the issuing file is made
    QTest::addColumn<QString>("password");

    QTest::newRow("empty file") << "empty" << kPassword;
    QTest::newRow("truncated at 1 byte") << "truncated:1" << kPassword;
    QTest::newRow("truncated at 100 bytes") << "truncated:100" << kPassword;
    QTest::newRow("truncated at half") << "truncated:half" << kPassword;
    QTest::newRow("random bytes") << "random" << kPassword;
    QTest::newRow("a PEM certificate") << "pem" << kPassword;
    QTest::newRow("valid container, wrong password") << "valid" << "Destination Secret";
    QTest::newRow("a directory") << "directory" << kPassword;
    QTest::newRow("50 MB claiming to be one DER sequence") << "huge" << kPassword;
}

void TestHostileInput::issuingFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, password);

    const QByteArray container = readAll("intermediate.pfx");
    const QString issuer = QStringLiteral("hostile.pfx");
    QFile::remove(issuer);
    QDir().rmdir(issuer);
    if (kind == "empty")
        QVERIFY(writeFile(issuer, QByteArray()));
    else if (kind.startsWith("truncated:"))
    {
        const QString at = kind.section(':', 1);
        QVERIFY(writeFile(issuer, container.left(at == "half" ? container.size() / 2 : at.toInt())));
    }
    else if (kind == "random")
        QVERIFY(writeFile(issuer, randomBytes(64 * 1024)));
    else if (kind == "pem")
        QVERIFY(writeFile(issuer, readAll("intermediate.pem")));
    else if (kind == "valid")
        QVERIFY(writeFile(issuer, container));
    else if (kind == "directory")
        QVERIFY(QDir().mkdir(issuer));
    else if (kind == "huge")
    {
        // A SEQUENCE header announcing the whole 50 MB, so a reader that trusts it reads it all.
        constexpr quint32 length = 50 * 1024 * 1024;
        QByteArray bytes = QByteArray::fromHex("3084") + QByteArray(4, '\0') + QByteArray(length, '\x04');
        for (int i = 0; i < 4; ++i)
            bytes[2 + i] = char((length >> (24 - 8 * i)) & 0xff);
        QVERIFY(writeFile(issuer, bytes));
    }

    const auto before = folderSnapshot(mDir.path());
    QElapsedTimer timer;
    timer.start();
    const auto boxes = createLeaf(issuer, password, "leaf");
    const qint64 elapsed = timer.elapsed();
    std::fprintf(stderr, "%-40s %5lld ms\n", QTest::currentDataTag(), static_cast<long long>(elapsed));

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("Warning"));
    QCOMPARE(boxes.first().text, kIssuerUnreadable);
    QVERIFY(folderSnapshot(mDir.path()) == before);
    QFile::remove(issuer);
    QDir().rmdir(issuer);
}

// A container written by OpenSSL 3 with its modern defaults is a valid issuer: the program
// reads it like its own and the leaf made from it is as good as any.
void TestHostileInput::modernContainerIsAnIssuerLikeAnyOther()
{
    const QByteArray modern = modernContainer("intermediate.pfx");
    QVERIFY(!modern.isEmpty());
    QVERIFY(writeFile("modern.pfx", modern));

    const auto boxes = createLeaf("modern.pfx", kPassword, "modern-leaf");
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("Congratulations"));
    const QStringList findings =
        ChainCheck::checkPemFiles({"root.pem", "intermediate.pem", "modern-leaf.pem"}, {});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));
}

void TestHostileInput::destinationCannotBeWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("full file system") << "full";
    QTest::newRow("names that are existing folders") << "folders";
}

void TestHostileInput::destinationCannotBeWritten()
{
    QFETCH(QString, kind);
    const QString folder = QStringLiteral("dest-") + kind;
    std::unique_ptr<SmallFileSystem> fileSystem;
    if (kind != "folders")
        fileSystem = std::make_unique<SmallFileSystem>(folder, QStringLiteral("256k"));
    // Without a mount (not root) a folder's permissions still stop a write; root ignores them.
    const bool byPermissions = kind == "read-only" && !fileSystem->mounted();
    if (fileSystem && !fileSystem->mounted() && !byPermissions)
        QSKIP(qPrintable(fileSystem->reason()));
    if (!fileSystem || byPermissions)
        QVERIFY(QDir().mkpath(folder));

    // What the user already has there: a certificate pair, or folders of those names.
    if (kind == "folders")
    {
        QVERIFY(QDir().mkpath(folder + "/out.pem"));
        QVERIFY(QDir().mkpath(folder + "/out.pfx"));
        QVERIFY(writeFile(folder + "/out.pem/inside", "kept"));
    }
    else
    {
        QVERIFY(writeFile(folder + "/out.pem", "the old certificate\n"));
        QVERIFY(writeFile(folder + "/out.pfx", "the old container"));
    }
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (kind == "read-only" && byPermissions)
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    else if (kind == "read-only")
        QVERIFY(fileSystem->remountReadOnly());
    if (kind == "full")
        QVERIFY(fileSystem->fill());

    const auto before = folderSnapshot(mDir.path());
    const QString trace = QString::fromLatin1(readAll("serialNumberTrace"));
    const auto boxes = createLeaf("intermediate.pfx", kPassword, folder + "/out", {"Continue", "Continue"});

    QStringList titles;
    for (const auto& box : boxes)
        titles << box.title;
    // Both overwrite questions come first and are answered "Continue"; the PEM write then fails
    // and the run ends before the container is touched.
    QCOMPARE(titles, (QStringList{"Write PEM Error!", "Write PFX Error!", "Warning"}));
    QCOMPARE(boxes.last().text, QStringLiteral("Failed writing certificate!\n"));
    QVERIFY(folderSnapshot(mDir.path()) == before);
    QCOMPARE(QString::fromLatin1(readAll("serialNumberTrace")), trace);
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
