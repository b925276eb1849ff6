// The serial-number trace file: what start-up reads and what a success writes, and the serial
// numbers a run takes from it under its lock, on a crowded, full or hostile machine.

#include "filecontent.h"
#include "permissionoverride.h"
#include "serialnumbertrace.h"
#include "diagnosticcapture.h"
#include "smallfilesystem.h"
#include "testinchild.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestSerialNumberTrace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void read_data();
    void read();
    void missingFileLeavesTheSerialUnchanged();
    void readPrintsTheAbsolutePath();
    void write_data();
    void write();
    void writeReplacesTheWholeContent();
    void unwritableTraceKeepsTheOldNumber();

    void reservation_data();
    void reservation();
    void traceThisUserMayNotUse_data();
    void traceThisUserMayNotUse();
    void refusedRenameStillRecords();
    void plantedLinks_data();
    void plantedLinks();
    void fullDisk_data();
    void fullDisk();
    void numbersGivenBack();

private:
    QTemporaryDir* mDir = nullptr;
    QString mOldDir;
};

namespace
{

void putFile(const QByteArray& content)
{
    QFile file(serialNumberTracePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray fileContent()
{
    QFile file(serialNumberTracePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

void TestSerialNumberTrace::init()
{
    mOldDir = QDir::currentPath();
    mDir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(mDir->path()));
}

void TestSerialNumberTrace::cleanup()
{
    QDir::setCurrent(mOldDir);
    delete mDir;
    mDir = nullptr;
}

void TestSerialNumberTrace::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("serial");

    QTest::newRow("digits") << QByteArray("41") << qint64(41);
    QTest::newRow("not a number reads as 0") << QByteArray("forty-one") << qint64(0);
    QTest::newRow("empty file reads as 0") << QByteArray() << qint64(0);
    QTest::newRow("only the first line counts") << QByteArray("12\n13") << qint64(12);
    QTest::newRow("beyond 32 bits") << QByteArray("4294967297") << qint64(4294967297LL);
}

void TestSerialNumberTrace::read()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, serial);
    putFile(content);
    qint64 value = 99;
    DiagnosticCapture capture;
    QVERIFY(ReadSerialNumberTrace(value));
    QCOMPARE(value, serial);
}

void TestSerialNumberTrace::missingFileLeavesTheSerialUnchanged()
{
    qint64 value = 5;
    DiagnosticCapture capture;
    QVERIFY(!ReadSerialNumberTrace(value));
    QCOMPARE(value, qint64(5));
}

void TestSerialNumberTrace::readPrintsTheAbsolutePath()
{
    qint64 value = 0;
    DiagnosticCapture capture;
    ReadSerialNumberTrace(value);
    QCOMPARE(capture.take(), QFileInfo(serialNumberTracePath()).absoluteFilePath().toLocal8Bit() + '\n');
}

void TestSerialNumberTrace::write_data()
{
    QTest::addColumn<qint64>("serial");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("one digit, no line end") << qint64(7) << QByteArray("7");
    QTest::newRow("largest signed 32-bit") << qint64(2147483647) << QByteArray("2147483647");
    QTest::newRow("negative written as unsigned 64-bit") << qint64(-1) << QByteArray("18446744073709551615");
}

void TestSerialNumberTrace::write()
{
    QFETCH(qint64, serial);
    QFETCH(QByteArray, content);
    QVERIFY(WriteSerialNumberTrace(serial));
    QCOMPARE(fileContent(), content);
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{serialNumberTracePath()});
}

void TestSerialNumberTrace::writeReplacesTheWholeContent()
{
    putFile("123456789\n");
    QVERIFY(WriteSerialNumberTrace(42));
    QCOMPARE(fileContent(), QByteArray("42"));
}

void TestSerialNumberTrace::unwritableTraceKeepsTheOldNumber()
{
    // A folder in the trace file's place cannot be replaced by a file.
    QVERIFY(QDir::current().mkdir(serialNumberTracePath()));
    QVERIFY(!WriteSerialNumberTrace(42));
    QVERIFY(QFileInfo(serialNumberTracePath()).isDir());
}

Q_DECLARE_METATYPE(SerialReservation::Finding)

void TestSerialNumberTrace::reservation_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>": no trace
    QTest::addColumn<qint64>("given");       // 0: the trace's next numbers
    QTest::addColumn<qint64>("count");
    QTest::addColumn<SerialReservation::Finding>("finding");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<QByteArray>("after");

    using F = SerialReservation::Finding;
    const QByteArray missing = "<missing>";
    QTest::newRow("missing trace starts at 1")
        << missing << 0LL << 3LL << F::Reserved << 1LL << QByteArray("3");
    QTest::newRow("digits") << QByteArray("6") << 0LL << 1LL << F::Reserved << 7LL << QByteArray("7");
    QTest::newRow("an editor's line end")
        << QByteArray("41\n") << 0LL << 1LL << F::Reserved << 42LL << QByteArray("42");
    const std::pair<const char*, const char*> notNumbers[] = {{"empty", ""},
                                                              {"letters", "abc"},
                                                              {"a sign", "-5"},
                                                              {"an exponent", "1e3"},
                                                              {"a plus sign", "+5"},
                                                              {"a leading space", " 6"},
                                                              {"a second line", "12\n13"},
                                                              {"20 digits", "18446744073709551615"}};
    for (const auto& [name, content] : notNumbers)
        QTest::newRow(qPrintable(QString("not a number: ") + name))
            << QByteArray(content) << 0LL << 1LL << F::NotANumber << 0LL << QByteArray(content);
    QTest::newRow("the largest serial used already")
        << QByteArray("2147483647") << 0LL << 1LL << F::OutOfRange << 0LL << QByteArray("2147483647");
    QTest::newRow("a run that would pass the largest serial")
        << QByteArray("2147483646") << 0LL << 2LL << F::OutOfRange << 0LL << QByteArray("2147483646");
    QTest::newRow("given below the trace never lowers it")
        << QByteArray("203") << 5LL << 1LL << F::Reserved << 5LL << QByteArray("203");
    QTest::newRow("given run above the trace raises it")
        << QByteArray("203") << 300LL << 3LL << F::Reserved << 300LL << QByteArray("302");
    QTest::newRow("given into a missing trace")
        << missing << 5LL << 1LL << F::Reserved << 5LL << QByteArray("5");
}

void TestSerialNumberTrace::reservation()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, given);
    QFETCH(qint64, count);
    QFETCH(SerialReservation::Finding, finding);
    QFETCH(qint64, first);
    QFETCH(QByteArray, after);
    if (content != "<missing>")
        putFile(content);

    const SerialReservation reservation =
        given == 0 ? ReserveSerialNumbers(count) : RecordGivenSerialNumbers(given, count);
    QCOMPARE(reservation.finding, finding);
    if (reservation.reserved())
        QCOMPARE(reservation.first, first);
    QCOMPARE(fileContent(), after);
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{serialNumberTracePath()});
}

void TestSerialNumberTrace::traceThisUserMayNotUse_data()
{
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<bool>("folderTakesNewFiles");
    QTest::addColumn<SerialReservation::Finding>("finding");
    QTest::newRow("mode 000: cannot be read") << 0000u << true << SerialReservation::Finding::Unreadable;
    QTest::newRow("mode 0444: cannot be written") << 0444u << true << SerialReservation::Finding::Unwritable;
    QTest::newRow("missing in a folder that takes no new file")
        << 0u << false << SerialReservation::Finding::Unwritable;
}

void TestSerialNumberTrace::traceThisUserMayNotUse()
{
    QFETCH(unsigned, mode);
    QFETCH(bool, folderTakesNewFiles);
    QFETCH(SerialReservation::Finding, finding);
    if (TestInChild::inChild())
    {
        QVERIFY(QDir::setCurrent(TestInChild::sharedFolder()));
        QCOMPARE(ReserveSerialNumbers(1).finding, finding);
        QVERIFY(!WriteSerialNumberTrace(7));
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::WithoutOverride);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    const QString folder = QDir::current().absoluteFilePath("folder");
    QVERIFY(QDir().mkpath(folder));
    const QString trace = folder + "/" + serialNumberTracePath();
    if (folderTakesNewFiles)
    {
        QFile file(trace);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("6") == 1);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(trace).constData(), mode), 0);
    }
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderTakesNewFiles ? 0755 : 0555), 0);
    QByteArray log;
    const bool passed = TestInChild::runCurrentTest(TestInChild::As::WithoutOverride, folder, log);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QVERIFY2(passed, log.constData());
    QCOMPARE(readAll(trace), QByteArray(folderTakesNewFiles ? "6" : ""));
    QCOMPARE(QFile::exists(trace), folderTakesNewFiles);
}

void TestSerialNumberTrace::refusedRenameStillRecords()
{
    if (TestInChild::inChild())
    {
        QVERIFY(QDir::setCurrent(TestInChild::sharedFolder()));
        const SerialReservation reservation = ReserveSerialNumbers(1);
        QCOMPARE(reservation.finding, SerialReservation::Finding::Reserved);
        QCOMPARE(reservation.first, 7LL);
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::OtherUser);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    // A sticky folder where the trace, writable for all, belongs to another user than the run's.
    QCOMPARE(::chmod(QFile::encodeName(mDir->path()).constData(), 01777), 0);
    putFile("6");
    QCOMPARE(::chmod(QFile::encodeName(serialNumberTracePath()).constData(), 0666), 0);
    QByteArray log;
    QVERIFY2(TestInChild::runCurrentTest(TestInChild::As::OtherUser, mDir->path(), log), log.constData());
    QCOMPARE(fileContent(), QByteArray("7"));
}

void TestSerialNumberTrace::plantedLinks_data()
{
    QTest::addColumn<bool>("toPipe");
    QTest::newRow("another user's link to a file") << false;
    QTest::newRow("another user's link to a pipe") << true;
}

void TestSerialNumberTrace::plantedLinks()
{
    QFETCH(bool, toPipe);
    if (::geteuid() != 0)
        QSKIP("only root can give a link to another user");
    // The working folder is shared by everyone, as /tmp is.
    QCOMPARE(::chmod(QFile::encodeName(mDir->path()).constData(), 01777), 0);
    const QString victim = mDir->filePath("victim");
    if (toPipe)
    {
        QCOMPARE(::mkfifo(QFile::encodeName(victim).constData(), 0666), 0);
    }
    else
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("precious") == 8);
    }
    QVERIFY(QFile::link(victim, serialNumberTracePath()));
    const unsigned other = PermissionOverride::kOtherUser;
    QCOMPARE(::lchown(QFile::encodeName(serialNumberTracePath()).constData(), other, other), 0);

    QCOMPARE(ReserveSerialNumbers(1).finding, SerialReservation::Finding::Unreadable);
    QVERIFY(!WriteSerialNumberTrace(3));
    qint64 serial = 41;
    DiagnosticCapture quiet;
    QVERIFY(!ReadSerialNumberTrace(serial));
    QCOMPARE(serial, 41LL);
    struct stat info;
    QCOMPARE(::lstat(QFile::encodeName(victim).constData(), &info), 0);
    if (toPipe)
        QVERIFY(S_ISFIFO(info.st_mode));
    else
        QCOMPARE(readAll(victim), QByteArray("precious"));
}

void TestSerialNumberTrace::fullDisk_data()
{
    QTest::addColumn<bool>("traceExists");
    QTest::newRow("trace present") << true;
    QTest::newRow("trace missing") << false;
}

void TestSerialNumberTrace::fullDisk()
{
    QFETCH(bool, traceExists);
    SmallFileSystem small(mDir->filePath("small"));
    if (!small.mounted())
        QSKIP(qPrintable(small.reason()));
    QVERIFY(QDir::setCurrent(small.folder()));
    if (traceExists)
        putFile("6");
    QVERIFY(small.fill());

    // Whatever a full disk allows, the trace never ends up empty or short: written or as it was.
    const bool written = WriteSerialNumberTrace(7);
    QCOMPARE(fileContent(), traceExists ? QByteArray(written ? "7" : "6") : QByteArray("<missing>"));
    const SerialReservation reservation = ReserveSerialNumbers(2);
    if (!traceExists)
    {
        QVERIFY(!written);
        QCOMPARE(reservation.finding, SerialReservation::Finding::Unwritable);
        QCOMPARE(fileContent(), QByteArray("<missing>"));
    }
    else if (reservation.reserved())
        QCOMPARE(fileContent(), QByteArray::number(reservation.first + 1));
    else
        QCOMPARE(fileContent(), QByteArray(written ? "7" : "6"));
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden),
             traceExists ? QStringList({"filler", serialNumberTracePath()}) : QStringList{"filler"});
    QVERIFY(QDir::setCurrent(mDir->path()));
}

void TestSerialNumberTrace::numbersGivenBack()
{
    // Given back while no other run went on from them.
    putFile("6");
    const SerialReservation mine = ReserveSerialNumbers(1);
    QCOMPARE(mine.first, 7LL);
    QVERIFY(ReleaseSerialNumbers(mine));
    QCOMPARE(fileContent(), QByteArray("6"));

    // Kept once another run took a later one.
    const SerialReservation first = ReserveSerialNumbers(1);
    const SerialReservation second = ReserveSerialNumbers(1);
    QCOMPARE(second.first, 8LL);
    QVERIFY(ReleaseSerialNumbers(first));
    QCOMPARE(fileContent(), QByteArray("8"));

    // A trace made by the run goes again; numbers not recorded leave nothing to give back.
    QVERIFY(QFile::remove(serialNumberTracePath()));
    QVERIFY(ReleaseSerialNumbers(ReserveSerialNumbers(2)));
    QVERIFY(!QFile::exists(serialNumberTracePath()));
    putFile("9");
    QVERIFY(ReleaseSerialNumbers(RecordGivenSerialNumbers(4, 1)));
    QCOMPARE(fileContent(), QByteArray("9"));
}

QTEST_GUILESS_MAIN(TestSerialNumberTrace)
#include "tst_serialnumbertrace.moc"
