// Endurance: 300 leaves in a row from the window under one intermediate. Every file must stay
// valid, and the serial number must advance by exactly one per leaf. Leaks are the sanitizer
// build's to find; the benchmark reports the resident memory over such a run.

#include "chaincheck.h"
#include "fakedazavo.h"
#include "filecontent.h"
#include "formhands.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "serialnumbertrace.h"
#include "diagnosticcapture.h"
#include "talvane.h"
#include "talvanewidget.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace FormTestSupport;

namespace
{

constexpr int kLeaves = 300;

const QDateTime kStart(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
const QDateTime kEnd(QDate(2040, 3, 1), QTime(12, 0), Qt::UTC);

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void threeHundredLeaves();

private:
    QTemporaryDir mDir;
};

void TestSoak::initTestCase()
{
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mDir.isValid());
    QVERIFY(QDir::setCurrent(mDir.path()));
    FakeDazavo::reset();
}

void TestSoak::threeHundredLeaves()
{
    DiagnosticCapture quiet; // the board layer reports every seeding
    Talvane controller;
    TalvaneWidget* form = shownForm();
    QVERIFY(shownForm() != nullptr);
    ModalAnswerer answerer;

    createRootAndIntermediate(form, kStart, kEnd);
    QCOMPARE(answerer.boxes().size(), 2);

    const qint64 firstSerial = controller.settings().serialNumber;
    QVERIFY(QDir().mkdir("leaves"));
    fillDerived(form, 2, "intermediate.pfx", "destination secret", "leaves/leaf");
    typeValidity(form, kStart, kEnd);
    for (int i = 1; i <= kLeaves; ++i)
    {
        typeInto(form->mpDestinationNameLineEdit,
                 QStringLiteral("leaves/leaf%1").arg(i, 3, 10, QLatin1Char('0')));
        pressCreate(form);
        QCOMPARE(answerer.boxes().size(), 2 + i);
        QCOMPARE(answerer.boxes().last().title, QStringLiteral("Congratulations"));
        quiet.take();
    }

    // One serial number per leaf, and the trace holds the last one used.
    QCOMPARE(controller.settings().serialNumber, firstSerial + kLeaves);
    QCOMPARE(readAll(serialNumberTracePath()), QByteArray::number(firstSerial + kLeaves - 1));
    QCOMPARE(shownForm()->findChild<QLineEdit*>("mpSerialLineEdit")->text(),
             QString::number(firstSerial + kLeaves));

    const auto root = ChainCheck::loadPemCertificates("root.pem");
    const auto intermediate = ChainCheck::loadPemCertificates("intermediate.pem");
    QCOMPARE(root.size(), size_t(1));
    QCOMPARE(intermediate.size(), size_t(1));
    for (int i = 1; i <= kLeaves; ++i)
    {
        const QString base = QStringLiteral("leaves/leaf%1").arg(i, 3, 10, QLatin1Char('0'));
        const QStringList findings = ChainCheck::checkPemFiles({"root.pem", "intermediate.pem", base + ".pem"}, {});
        QVERIFY2(findings.isEmpty(), qPrintable(base + ": " + findings.join('\n')));
        const QStringList layout = ChainCheck::checkPkcs12File(base + ".pfx", "destination secret",
                                                               {root.at(0).get(), intermediate.at(0).get()});
        QVERIFY2(layout.isEmpty(), qPrintable(base + ": " + layout.join('\n')));
    }
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
