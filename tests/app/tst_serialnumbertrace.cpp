// The serial-number trace file: what start-up reads and what a success writes.

#include "serialnumbertrace.h"
#include "diagnosticcapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestSerialNumberTrace)
#include "tst_serialnumbertrace.moc"
