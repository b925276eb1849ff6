// A whole chain made from the window alone: the user types a root into the form the controller
// shows and presses Create, then an intermediate that names the root's container, then a leaf
// under the intermediate. The files are judged by the independent chain checker.

#include "chaincheck.h"
#include "fakedazavo.h"
#include "formhands.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "serialnumbertrace.h"
#include "diagnosticcapture.h"
#include "talvane.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

#include <openssl/x509.h>

using namespace FormTestSupport;

namespace
{

// Local times, as typed; Berlin is in summer time at the start and in winter time at the end.
const QDateTime kStart(QDate(2024, 7, 1), QTime(12, 0, 0));
const QDateTime kEnd(QDate(2034, 1, 1), QTime(0, 30, 0));

QString subjectEntry(X509* certificate, int nid)
{
    char text[256] = {};
    return X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), nid, text, sizeof text) < 0
               ? QStringLiteral("<absent>")
               : QString::fromLatin1(text);
}

} // namespace

class TestFormEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void chainFromTheWindow();

private:
    // Types one certificate's fields; `issuer` empty for the root.
    void fill(int type, const QString& destination, const QString& issuer, const QString& issuerPassword,
              const QString& pathLength, const QString& entity);
    // One press of Create; the boxes it showed.
    QList<ModalAnswerer::SeenBox> pressCreate();

    QTemporaryDir mWorkDir;
    QString mOldDir;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormEndToEnd::initTestCase()
{
    // The engine's console password prompt must never wait for a keyboard.
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mWorkDir.isValid());
    // The trace file and the output files land in the working directory.
    mOldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(mWorkDir.path()));
    FakeDazavo::reset();
}

void TestFormEndToEnd::cleanupTestCase()
{
    QDir::setCurrent(mOldDir);
}

void TestFormEndToEnd::fill(int type, const QString& destination, const QString& issuer,
                            const QString& issuerPassword, const QString& pathLength, const QString& entity)
{
    chooseType(mpForm, type);
    typeInto(mpForm->mpDestinationNameLineEdit, destination);
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Dest Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, "Dest Secret");
    if (type != 0)
    {
        typeInto(mpForm->mpRootLineEdit, issuer);
        typeInto(mpForm->mpRootPasswordLineEdit, issuerPassword);
    }
    if (type != 2)
        typeInto(mpForm->mpPathLengthLineEdit, pathLength);
    if (type == 0)
        typeInto(mpForm->mpRootNameLineEdit, ".Root.Example");
    typeInto(mpForm->mpOrganizationLineEdit, ".Lab.Example");
    typeInto(mpForm->mpEntityLineEdit, entity);
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, kStart);
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, kEnd);
}

QList<ModalAnswerer::SeenBox> TestFormEndToEnd::pressCreate()
{
    ModalAnswerer answerer;
    FormTestSupport::pressCreate(mpForm);
    return answerer.boxes();
}

void TestFormEndToEnd::chainFromTheWindow()
{
    DiagnosticCapture capture; // the engine's diagnostics, shown only on failure
    Talvane controller;
    mpForm = shownForm();
    QVERIFY(mpForm != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(mpForm));
    // No trace file yet: the first certificate gets serial number 1.
    QCOMPARE(mpForm->mpSerialLineEdit->text(), QString("1"));

    const QString cwd = QDir::currentPath();
    struct Step
    {
        int type;
        QString destination;
        QString issuer;
        QString issuerPassword;
        QString pathLength;
        QString entity;
        QString pem;
        QString pfx;
        QString storedEntity;
        int storedPathLength;
    };
    // The intermediate is pointed at the root's container, the leaf at the intermediate's.
    const Step steps[] = {
        {0, "root", "", "", "2", "Authority", "root.pem", "root.pfx", ".Authority", 2},
        {1, "sub/intermediate.pfx", cwd + "/root.pfx", "Dest Secret", "1", ".Signer", "sub/intermediate.pem",
         "sub/intermediate.pfx", ".Signer", 1},
        {2, "leaf", cwd + "/sub/intermediate.pfx", "Dest Secret", "", "Player", "leaf.pem", "leaf.pfx",
         "CS.Player", 0},
    };
    QVERIFY(QDir::current().mkdir("sub"));

    for (int i = 0; i < 3; ++i)
    {
        const Step& step = steps[i];
        fill(step.type, step.destination, step.issuer, step.issuerPassword, step.pathLength, step.entity);
        const QList<ModalAnswerer::SeenBox> boxes = pressCreate();
        QVERIFY2(boxes.size() == 1, qPrintable(step.destination + ": " + capture.take()));
        // One report per certificate, with what the form stored and the serial it offered.
        const ModalAnswerer::SeenBox& report = boxes.first();
        QCOMPARE(report.title, QString("Congratulations"));
        QCOMPARE(report.buttons, QStringList{"OK"});
        QVERIFY(report.hasParent);
        const QString expected = "The following files were successfully created:\n" + cwd + "/" + step.pem +
                                 "\n" + cwd + "/" + step.pfx +
                                 "\n\nRoot Name: .Root.Example\nOrganisation Name: .Lab.Example\n" +
                                 "Entity Name: " + step.storedEntity + "\nSerial Number: " +
                                 QString::number(i + 1) + "\n" + "valid from: " + kStart.toString(Qt::TextDate) +
                                 "\n" + "valid until: " + kEnd.toString(Qt::TextDate) + "\n" +
                                 "allow derived certificates: " + QString::number(step.storedPathLength);
        QCOMPARE(report.text, expected);
        // The form offers the next serial number.
        QCOMPARE(mpForm->mpSerialLineEdit->text(), QString::number(i + 2));
    }

    const QStringList findings = ChainCheck::checkPemFiles({"root.pem", "sub/intermediate.pem", "leaf.pem"});
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join('\n')));

    // Each container holds its certificate with the key, under the destination password, and
    // the chain above it.
    const auto root = ChainCheck::loadPemCertificates("root.pem");
    const auto intermediate = ChainCheck::loadPemCertificates("sub/intermediate.pem");
    const auto leaf = ChainCheck::loadPemCertificates("leaf.pem");
    QCOMPARE(root.size(), size_t(1));
    QCOMPARE(intermediate.size(), size_t(1));
    QCOMPARE(leaf.size(), size_t(1));
    QStringList layout = ChainCheck::checkPkcs12File("root.pfx", "Dest Secret");
    layout += ChainCheck::checkPkcs12File("sub/intermediate.pfx", "Dest Secret", {root.at(0).get()});
    layout += ChainCheck::checkPkcs12File("leaf.pfx", "Dest Secret", {root.at(0).get(), intermediate.at(0).get()});
    QVERIFY2(layout.isEmpty(), qPrintable(layout.join('\n')));

    // The names the user typed, with the organisation of the root's name below the root.
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_organizationName), QString(".Root.Example"));
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_organizationalUnitName), QString(".Lab.Example"));
    QCOMPARE(subjectEntry(leaf.at(0).get(), NID_commonName), QString("CS.Player"));
    QCOMPARE(subjectEntry(intermediate.at(0).get(), NID_commonName), QString(".Signer"));
    // The validity typed in local time, in UTC in the certificate.
    QCOMPARE(ASN1_TIME_cmp_time_t(X509_get0_notBefore(leaf.at(0).get()), kStart.toSecsSinceEpoch()), 0);
    QCOMPARE(ASN1_TIME_cmp_time_t(X509_get0_notAfter(leaf.at(0).get()), kEnd.toSecsSinceEpoch()), 0);

    // The trace holds the last serial used; nothing was logged.
    QFile trace(serialNumberTracePath());
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QCOMPARE(trace.readAll(), QByteArray("3"));
    QVERIFY(QDir::current().entryList({"Talvane_*.log"}).isEmpty());
}

QTEST_MAIN(TestFormEndToEnd)
#include "tst_formendtoend.moc"
