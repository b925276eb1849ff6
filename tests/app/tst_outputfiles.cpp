// Output file names and the overwrite question.

#include "modalanswerer.h"
#include "outputfiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestOutputFiles : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void overwritesItsIssuer_data();
    void overwritesItsIssuer();
    void overwriteQuestion_data();
    void overwriteQuestion();
};

void TestOutputFiles::names_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("pem");
    QTest::addColumn<QString>("pfx");

    QTest::newRow("no extension") << "cert" << "cert.pem" << "cert.pfx";
    QTest::newRow(".pfx becomes .pem") << "cert.pfx" << "cert.pem" << "cert.pfx";
    QTest::newRow(".pem kept") << "cert.pem" << "cert.pem" << "cert.pfx";
    QTest::newRow("other extension kept in the PEM name") << "cert.crt" << "cert.crt.pem" << "cert.pfx";
    QTest::newRow("upper-case .PEM is not .pem") << "cert.PEM" << "cert.PEM.pem" << "cert.pfx";
    QTest::newRow("dot in a folder name is not cut") << "C:/keys.old/cert" << "C:/keys.old/cert.pem"
                                                     << "C:/keys.old/cert.pfx";
    QTest::newRow("dot in a backslash folder name") << "C:\\keys.old\\cert" << "C:\\keys.old\\cert.pem"
                                                    << "C:\\keys.old\\cert.pfx";
    QTest::newRow("two extensions") << "root.old.pem" << "root.old.pem" << "root.pfx";
    QTest::newRow("upper-case .PFX is not .pfx") << "cert.PFX" << "cert.PFX.pem" << "cert.pfx";
    QTest::newRow("absolute POSIX path") << "/tmp/a.b/c.d.pfx" << "/tmp/a.b/c.d.pem" << "/tmp/a.b/c.pfx";
}

void TestOutputFiles::names()
{
    QFETCH(QString, destination);
    QFETCH(QString, pem);
    QFETCH(QString, pfx);
    QCOMPARE(OutputFiles::pemFileName(destination), pem);
    QCOMPARE(OutputFiles::pkcs12FileName(pem), pfx);
}

void TestOutputFiles::overwritesItsIssuer_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("overwrites");

    QTest::newRow("the issuer's own name") << "issuer" << true;
    QTest::newRow("the issuer through another path") << "other/../issuer.pfx" << true;
    QTest::newRow("a symbolic link to the issuer") << "other/symbolic" << true;
    QTest::newRow("a hard link to the issuer in another folder") << "other/hard" << true;
    QTest::newRow("a copy of the issuer is another file") << "other/copy" << false;
    QTest::newRow("a name not there yet") << "other/new" << false;
}

void TestOutputFiles::overwritesItsIssuer()
{
    QFETCH(QString, destination);
    QFETCH(bool, overwrites);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QFile issuer("issuer.pfx");
    QVERIFY(issuer.open(QIODevice::WriteOnly) && issuer.write("the only key") == 12);
    issuer.close();
    QVERIFY(QDir().mkdir("other"));
    QVERIFY(QFile::link("../issuer.pfx", "other/symbolic.pfx"));
    QCOMPARE(::link("issuer.pfx", "other/hard.pfx"), 0);
    QVERIFY(QFile::copy("issuer.pfx", "other/copy.pfx"));

    const bool answer = OutputFiles::overwrites(destination, "issuer.pfx");
    QVERIFY(QDir::setCurrent(old));
    QCOMPARE(answer, overwrites);
}

void TestOutputFiles::overwriteQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("overwrite");

    QTest::newRow("Continue") << "Continue" << true;
    QTest::newRow("Cancel") << "Cancel" << false;
    QTest::newRow("Escape counts as Cancel") << "Escape" << false;
    QTest::newRow("default is Continue") << QString() << true;
}

void TestOutputFiles::overwriteQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, overwrite);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    ModalAnswerer answerer({answer});
    bool cursorLiftedWhileAsking = false;
    answerer.onOtherDialog([](QWidget*) {});
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != nullptr && QApplication::overrideCursor() == nullptr)
            cursorLiftedWhileAsking = true;
    });
    probe.start(1);

    QCOMPARE(OutputFiles::confirmOverwrite("Write PEM Error!", "out/cert.pem"), overwrite);
    QCOMPARE(answerer.boxes().size(), 1);
    const ModalAnswerer::SeenBox& box = answerer.boxes().first();
    QCOMPARE(box.title, QString("Write PEM Error!"));
    QCOMPARE(box.text, QString("Warning: A file named out/cert.pem exists. Do you want to overwrite it?"));
    QCOMPARE(box.buttons, QStringList({"Continue", "Cancel"}));
    QCOMPARE(box.defaultButton, QString("Continue"));
    QCOMPARE(box.escapeButton, QString("Cancel"));
    QCOMPARE(box.icon, int(QMessageBox::Warning));
    QVERIFY(!box.hasParent);

    QVERIFY(cursorLiftedWhileAsking);
    QCOMPARE(QApplication::overrideCursor() != nullptr, overwrite);
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

QTEST_MAIN(TestOutputFiles)
#include "tst_outputfiles.moc"
