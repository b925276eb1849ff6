// Start-up of the controller: the board check, the serial number offered, the window, and
// the end of the program.

#include "fakedazavo.h"
#include "formhands.h"
#include "modalanswerer.h"
#include "serialnumbertrace.h"
#include "diagnosticcapture.h"
#include "talvane.h"
#include "talvanewidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using FormTestSupport::shownForm;

namespace
{

const char kChildVariable[] = "TALVANE_TEST_STARTUP_CHILD";

// The child process of noBoardWarnsAndQuits: starts the controller without any board and
// reports, as it leaves, every box it answered.
ModalAnswerer* gChildAnswerer = nullptr;

void reportBoxes()
{
    for (const ModalAnswerer::SeenBox& box : gChildAnswerer->boxes())
    {
        std::printf("BOX|%s|%s|%s|%s|%s|%s\n", qPrintable(box.title), qPrintable(box.text),
                    qPrintable(box.buttons.join(',')), qPrintable(box.defaultButton),
                    box.hasParent ? "parent" : "no parent", qPrintable(box.visibleTopLevels.join(',')));
    }
    std::fflush(stdout);
}

int runNoBoardChild(int argc, char** argv)
{
    FakeDazavo::reset({});
    QApplication application(argc, argv);
    gChildAnswerer = new ModalAnswerer;
    std::atexit(reportBoxes);
    Talvane controller;
    std::printf("STILL RUNNING\n");
    return 77;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noBoardWarnsAndQuits();
    void serialNumberOffered_data();
    void serialNumberOffered();
    void theFormIsShownAndConnected();
    void closingTheWindowEndsTheEventLoop();

private:
    QTemporaryDir* mDir = nullptr;
    QString mOldDir;
};

void TestStartup::init()
{
    FakeDazavo::reset();
    mOldDir = QDir::currentPath();
    mDir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(mDir->path()));
}

void TestStartup::cleanup()
{
    QDir::setCurrent(mOldDir);
    delete mDir;
    mDir = nullptr;
}

void TestStartup::noBoardWarnsAndQuits()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, "1");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));

    const QByteArray output = child.readAllStandardOutput();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(!output.contains("STILL RUNNING"), output.constData());
    QVERIFY2(output.contains("No Zel card was identified as Zel Kavra\n"), output.constData());
    const QByteArray expected = "BOX|Warning|No QUORREL hardware accelerator board was found or the board is in use "
                                "by another application!\nApplication quits immediately!|OK|OK|no parent|\n";
    QVERIFY2(output.endsWith(expected), output.constData());
    QCOMPARE(output.count("BOX|"), 1);
}

void TestStartup::serialNumberOffered_data()
{
    QTest::addColumn<QByteArray>("trace");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no trace file offers 1") << QByteArray() << false << "1";
    QTest::newRow("41 offers 42") << QByteArray("41") << true << "42";
    QTest::newRow("not a number offers 1") << QByteArray("x41") << true << "1";
    QTest::newRow("past 32 bits") << QByteArray("4294967296") << true << "4294967297";
}

void TestStartup::serialNumberOffered()
{
    QFETCH(QByteArray, trace);
    QFETCH(bool, present);
    QFETCH(QString, shown);
    if (present)
    {
        QFile file(serialNumberTracePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(trace);
    }
    DiagnosticCapture capture;
    Talvane controller;
    TalvaneWidget* form = shownForm();
    QVERIFY(form != nullptr);
    auto* serialField = form->findChild<QLineEdit*>("mpSerialLineEdit");
    QVERIFY(serialField != nullptr);
    QCOMPARE(serialField->text(), shown);
}

void TestStartup::theFormIsShownAndConnected()
{
    DiagnosticCapture capture;
    {
        Talvane controller;
        TalvaneWidget* form = shownForm();
        QVERIFY(form != nullptr);
        QVERIFY(form->isWindow());
        QVERIFY(QObject::disconnect(form, &TalvaneWidget::CreateCertificatePressed, &controller,
                                    &Talvane::CreateCertificate));
    }
    QVERIFY2(shownForm() == nullptr, "the controller deletes its form");
    QCOMPARE(Talvane::staticMetaObject.methodCount() - Talvane::staticMetaObject.methodOffset(), 1);
    QCOMPARE(Talvane::staticMetaObject.method(Talvane::staticMetaObject.methodOffset()).methodSignature(),
             QByteArray("CreateCertificate(int)"));
}

void TestStartup::closingTheWindowEndsTheEventLoop()
{
    DiagnosticCapture capture;
    Talvane controller;
    TalvaneWidget* form = shownForm();
    QVERIFY(form != nullptr);
    QTimer::singleShot(0, form, &QWidget::close);
    QCOMPARE(QApplication::exec(), 0);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runNoBoardChild(argc, argv);
    QApplication application(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
