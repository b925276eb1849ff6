// What an accepted press of "Create" hands to the controller (the settings record, then the
// signal), that a refused press hands over nothing, and the two file dialogs.

#include "certificatesettings.h"
#include "formhands.h"
#include "formissuers.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

using namespace FormTestSupport;

namespace
{

const char kIssuerPassword[] = "Issuer Secret";
const QDateTime kIssuerStart(QDate(2009, 1, 15), QTime(8, 30, 0), Qt::UTC);
const QDateTime kIssuerEnd(QDate(2110, 12, 31), QTime(23, 59, 59), Qt::UTC);

// What a file dialog looked like while it was open.
struct SeenDialog
{
    QString caption;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QStringList nameFilters;
    QString selectedNameFilter;
    QString directory;
    QStringList selectedFiles;
    bool modal = false;
    bool parentIsForm = false;
    Qt::CursorShape formCursor = Qt::BlankCursor;
};

} // namespace

class TestFormSave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordHandedOver_data();
    void recordHandedOver();
    void refusedPressHandsOverNothing();
    void fileDialogs_data();
    void fileDialogs();

private:
    QString issuer() const { return mFixtures.filePath("issuer.pfx"); }

    QTemporaryDir mFixtures;
    CertificateSettings* mpSettings = nullptr;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormSave::initTestCase()
{
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mFixtures.isValid());
    QVERIFY(writeEngineIssuer(issuer(), kIssuerPassword, 3, kIssuerStart, kIssuerEnd));
    QVERIFY(QDir(mFixtures.path()).mkdir("chosen"));
    QVERIFY(QFile::copy(issuer(), mFixtures.filePath("chosen/other.pfx")));
}

void TestFormSave::init()
{
    mpSettings = new CertificateSettings;
    mpSettings->serialNumber = 5;
    mpSettings->rootName = ".Previous.Root";
    mpSettings->issuerFileName = "stale.pfx";
    mpSettings->issuerPassword = "stale";
    mpForm = new TalvaneWidget(nullptr, mpSettings);
    mpForm->show();
    QVERIFY(QTest::qWaitForWindowActive(mpForm));
}

void TestFormSave::cleanup()
{
    delete mpForm;
    mpForm = nullptr;
    delete mpSettings;
    mpSettings = nullptr;
}

void TestFormSave::recordHandedOver_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QString>("storedEntity");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("algorithm");
    QTest::newRow("root, entity without dot") << 0 << "Projector" << ".Projector" << "2147483647" << 0;
    QTest::newRow("root, entity with dot") << 0 << ".Projector" << ".Projector" << "1" << 1;
    // An empty entity is refused now (tst_formchecks); its conversion is tested in tst_core.
    QTest::newRow("root, entity only a dot") << 0 << "." << "." << "17" << 1;
    QTest::newRow("intermediate, entity without dot") << 1 << "Signer" << ".Signer" << "18" << 1;
    QTest::newRow("intermediate, entity with dot") << 1 << ".Signer" << ".Signer" << "18" << 0;
    QTest::newRow("leaf, entity without dot") << 2 << "Player" << "CS.Player" << "19" << 1;
    QTest::newRow("leaf, entity with dot") << 2 << ".Player" << "CS.Player" << "19" << 1;
    QTest::newRow("leaf, entity only a dot") << 2 << "." << "CS." << "20" << 0;
    QTest::newRow("leaf, entity starting with CS") << 2 << "CS.Player" << "CS.CS.Player" << "20" << 0;
}

void TestFormSave::recordHandedOver()
{
    QFETCH(int, type);
    QFETCH(QString, entity);
    QFETCH(QString, storedEntity);
    QFETCH(QString, serial);
    QFETCH(int, algorithm);

    chooseType(mpForm, type);
    typeInto(mpForm->mpDestinationNameLineEdit, "certs/out.pem");
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Dest Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, "Dest Secret");
    typeInto(mpForm->mpRootLineEdit, issuer());
    typeInto(mpForm->mpRootPasswordLineEdit, kIssuerPassword);
    if (type != 2)
        typeInto(mpForm->mpPathLengthLineEdit, "2");
    if (type == 0)
        typeInto(mpForm->mpRootNameLineEdit, ".Typed.Root");
    typeInto(mpForm->mpOrganizationLineEdit, ".Lab.Example");
    typeInto(mpForm->mpEntityLineEdit, entity);
    typeInto(mpForm->mpSerialLineEdit, serial);
    mpForm->mpAlgorithmComboBox->setFocus(Qt::TabFocusReason);
    QTest::keyClick(mpForm->mpAlgorithmComboBox, algorithm == 0 ? Qt::Key_Home : Qt::Key_End);
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, QDateTime(QDate(2024, 7, 1), QTime(12, 0, 0)));
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, QDateTime(QDate(2034, 1, 1), QTime(0, 30, 0)));

    // The record is complete when the signal arrives: the controller reads it right then.
    CertificateSettings seen;
    QList<int> types;
    connect(mpForm, &TalvaneWidget::CreateCertificatePressed, this, [&](int certComboIndex) {
        seen = *mpSettings;
        types << certComboIndex;
    });
    ModalAnswerer answerer;
    pressCreate(mpForm);
    QCOMPARE(answerer.texts(), QStringList());
    QCOMPARE(types, QList<int>{type});

    QCOMPARE(seen.destinationFileName, QString("certs/out.pem"));
    QCOMPARE(seen.destinationPassword, QString("Dest Secret"));
    QCOMPARE(seen.issuerFileName, type == 0 ? QString() : issuer());
    QCOMPARE(seen.issuerPassword, type == 0 ? QString() : QString(kIssuerPassword));
    QCOMPARE(seen.ca, type != 2);
    QCOMPARE(seen.pathLength, type == 2 ? 0 : 2);
    QCOMPARE(seen.rootName, type == 0 ? QString(".Typed.Root") : QString(".Previous.Root"));
    QCOMPARE(seen.organizationName, QString(".Lab.Example"));
    QCOMPARE(seen.entityName, storedEntity);
    QCOMPARE(seen.serialNumber, serial.toLongLong());
    QCOMPARE(seen.signingAlgorithm, algorithm);
    // Summer and winter time: the record holds UTC, what the user typed is local.
    QCOMPARE(seen.validityStart.timeSpec(), Qt::UTC);
    QCOMPARE(seen.validityStart.toString(Qt::ISODate), QString("2024-07-01T10:00:00Z"));
    QCOMPARE(seen.validityEnd.timeSpec(), Qt::UTC);
    QCOMPARE(seen.validityEnd.toString(Qt::ISODate), QString("2033-12-31T23:30:00Z"));
    // The form keeps what was typed.
    QCOMPARE(mpForm->mpEntityLineEdit->text(), entity);
}

void TestFormSave::refusedPressHandsOverNothing()
{
    chooseType(mpForm, 1);
    typeInto(mpForm->mpDestinationNameLineEdit, "out");
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Dest Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, "Dest Secret");
    typeInto(mpForm->mpRootLineEdit, issuer());
    typeInto(mpForm->mpRootPasswordLineEdit, kIssuerPassword);
    typeInto(mpForm->mpPathLengthLineEdit, "3");
    typeInto(mpForm->mpEntityLineEdit, "Signer");
    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    ModalAnswerer answerer;
    pressCreate(mpForm);
    QCOMPARE(answerer.boxes().size(), 1);
    QCOMPARE(created.count(), 0);
    const CertificateSettings untouched;
    QCOMPARE(mpSettings->destinationFileName, QString());
    QCOMPARE(mpSettings->destinationPassword, QString());
    QCOMPARE(mpSettings->issuerFileName, QString("stale.pfx"));
    QCOMPARE(mpSettings->issuerPassword, QString("stale"));
    QCOMPARE(mpSettings->ca, untouched.ca);
    QCOMPARE(mpSettings->pathLength, untouched.pathLength);
    QCOMPARE(mpSettings->entityName, untouched.entityName);
    QCOMPARE(mpSettings->serialNumber, qint64(5));
}

void TestFormSave::fileDialogs_data()
{
    QTest::addColumn<bool>("issuerButton");
    QTest::addColumn<QString>("startText"); // relative to the fixtures folder
    // Typed into the dialog's name field; empty: cancel. A plain name in the folder the dialog
    // opens at: typed paths with separators make the dialog's completion select the folders on
    // the way, and it then opens a folder instead of accepting the file.
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("fieldAfter"); // relative to the fixtures folder
    QTest::newRow("destination, cancelled") << false << "chosen/old.pem" << "" << "chosen/old.pem";
    QTest::newRow("destination, new name") << false << "chosen/old.pem" << "new.pem" << "chosen/new.pem";
    QTest::newRow("issuer, cancelled") << true << "issuer.pfx" << "" << "issuer.pfx";
    QTest::newRow("issuer, chosen") << true << "chosen/missing.pfx" << "other.pfx" << "chosen/other.pfx";
}

void TestFormSave::fileDialogs()
{
    QFETCH(bool, issuerButton);
    QFETCH(QString, startText);
    QFETCH(QString, typedName);
    QFETCH(QString, fieldAfter);
    const QDir fixtures(mFixtures.path());
    if (issuerButton)
        chooseType(mpForm, 1);
    QLineEdit* field = issuerButton ? mpForm->mpRootLineEdit : mpForm->mpDestinationNameLineEdit;
    typeInto(field, fixtures.filePath(startText));

    SeenDialog seen;
    ModalAnswerer answerer;
    answerer.onOtherDialog([&](QWidget* widget) {
        auto* dialog = qobject_cast<QFileDialog*>(widget);
        if (dialog == nullptr)
            return;
        seen.caption = dialog->windowTitle();
        seen.mode = dialog->fileMode();
        seen.nameFilters = dialog->nameFilters();
        seen.selectedNameFilter = dialog->selectedNameFilter();
        seen.directory = dialog->directory().absolutePath();
        seen.selectedFiles = dialog->selectedFiles();
        seen.modal = dialog->isModal();
        seen.parentIsForm = dialog->parentWidget() == mpForm;
        seen.formCursor = mpForm->cursor().shape();
        if (typedName.isEmpty())
        {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (name == nullptr)
            return dialog->reject();
        name->setFocus(Qt::TabFocusReason);
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, typedName);
        QTest::keyClick(name, Qt::Key_Return);
        // A dialog that refused the name would otherwise wait for ever: the answerer meets each
        // dialog once. The field comparison below then tells what went wrong.
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseClick(issuerButton ? mpForm->mpRootCertificateToolButton : mpForm->mpCertificateNameToolButton,
                      Qt::LeftButton);

    QCOMPARE(answerer.dialogsHandled(), 1);
    QCOMPARE(answerer.boxes().size(), 0);
    QCOMPARE(field->text(), fixtures.filePath(fieldAfter));
    QCOMPARE(seen.caption, issuerButton ? QString("Root Certificate Name") : QString("Certificate Name"));
    QCOMPARE(seen.mode, issuerButton ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (issuerButton)
    {
        QCOMPARE(seen.nameFilters, (QStringList{"PKCS12 files (*.pfx *.p12)", "all files (*.*)"}));
        QCOMPARE(seen.selectedNameFilter, QString("PKCS12 files (*.pfx *.p12)"));
    }
    // The dialog opens where the field points.
    QCOMPARE(seen.directory, QFileInfo(fixtures.filePath(startText)).absolutePath());
    QCOMPARE(seen.selectedFiles, QStringList{fixtures.filePath(startText)});
    QVERIFY(seen.modal);
    QVERIFY(seen.parentIsForm);
    QCOMPARE(seen.formCursor, Qt::ArrowCursor);
    QCOMPARE(mpForm->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestFormSave)
#include "tst_formsave.moc"
