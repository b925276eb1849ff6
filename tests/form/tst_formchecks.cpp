// Pressing "Create" with wrong input: each message of the passwords, path lengths, issuing file,
// destination and serial checks, the field it corrects, where the focus goes, and one box per
// press. Everything is typed into the real widgets and the real boxes are answered.

#include "certificatesettings.h"
#include "filecontent.h"
#include "formhands.h"
#include "formissuers.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

#include <cstdio>

using namespace FormTestSupport;

namespace
{

const QDateTime kIssuerStart(QDate(2009, 1, 15), QTime(8, 30, 0), Qt::UTC);
const QDateTime kIssuerEnd(QDate(2110, 12, 31), QTime(23, 59, 59), Qt::UTC);
const char kIssuerPassword[] = "Issuer Secret";

const char kPasswordsDiffer[] = "The entered passwords do not match!";
const char kRootPathLength[] =
    "Invalid path length for root certificate!\nPlease choose path length larger than 0.\n";
const char kIntermediatePathLength[] = "Invalid path length for intermediate certificate!\nPlease choose path "
                                       "length larger than 0 or create a leaf certificate.\n";
const char kNoIssuerFile[] = "Please choose file name for Issuing Certificate!\n";
const char kNoIssuerPassword[] = "Please enter password for Issuing Certificate!\n";
const char kIssuerMissing[] = "Issuing certificate does not exist. Error reading .pfx file!\nPlease check file path!";
const char kIssuerUnreadable[] = "Error reading .pfx file!\nPlease check file/password!";
const char kIssuerZero[] = "You cannot create a derived certificate.\n Issuing Certificate has a Path Length of 0!";
const char kNoDestinationFile[] = "Please choose file name for Destination Certificate!\n";
const char kNoDestinationPassword[] = "Please enter password for Destination Certificate!\n";
const char kBadSerial[] = "Invalid serial number!\nPlease choose a serial number between 1 and 2147483647.\n";
const char kBadPeriod[] = "Invalid validity period for the certificate!\n";
const char kNoRootName[] = "Please enter Root Name!\n";
const char kNoOrganization[] = "Please enter Organisation Name!\n";
const char kNoEntity[] = "Please enter Entity Name!\n";
const char kOverwritesIssuer[] = "The destination certificate would overwrite its issuing certificate!\nPlease "
                                 "choose another file name for the destination certificate.\n";

QString entityTooLong(int room)
{
    return QStringLiteral("The entity name is too long!\nPlease use at most %1 characters.\n").arg(room);
}

QString tooLong(int issuerPathLength)
{
    return QStringLiteral("The entered path length is too long!\nA valid path length is lower than %1.\n"
                          "Path length field will be set to the maximum.")
        .arg(issuerPathLength);
}

} // namespace

class TestFormChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordsDiffer_data();
    void passwordsDiffer();
    void returnInRepeatField_data();
    void returnInRepeatField();
    void pathLengthNotPositive_data();
    void pathLengthNotPositive();
    void issuerFieldsEmpty_data();
    void issuerFieldsEmpty();
    void issuerUnreadable_data();
    void issuerUnreadable();
    void pathLengthAgainstIssuer_data();
    void pathLengthAgainstIssuer();
    void leafIgnoresAStalePathLength();
    void proposedPathLengthOnNextPress_data();
    void proposedPathLengthOnNextPress();
    void destinationFieldsEmpty_data();
    void destinationFieldsEmpty();
    void serialNumberRange_data();
    void serialNumberRange();
    void validityPeriod_data();
    void validityPeriod();
    void namesTheCertificateNeeds_data();
    void namesTheCertificateNeeds();
    void entityTooLongForTheCommonName_data();
    void entityTooLongForTheCommonName();
    void namesCheckedAfterTheRest();
    void destinationSparesTheIssuer_data();
    void destinationSparesTheIssuer();
    void checksCalledAlone();
    void eachIssuerCheckReadsTheFile_data();
    void eachIssuerCheckReadsTheFile();

private:
    // Valid input for a certificate of `type`, typed in; derived ones name the issuer `issuer`.
    void fillValid(int type, const QString& issuer = QString());
    QString issuer(const char* name) const { return mFixtures.filePath(QString::fromLatin1(name)); }
    // One press of Create; the text of the one box it showed (empty when none).
    QString press(QSignalSpy* created = nullptr);

    QTemporaryDir mFixtures;
    CertificateSettings* mpSettings = nullptr;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormChecks::initTestCase()
{
    // The engine's console password prompt must never wait for a keyboard.
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mFixtures.isValid());
    for (int pathLength : {3, 1, 0})
        QVERIFY(writeEngineIssuer(issuer("pl%1.pfx").arg(pathLength), kIssuerPassword, pathLength, kIssuerStart,
                                  kIssuerEnd));
    QFile notAContainer(issuer("garbage.pfx"));
    QVERIFY(notAContainer.open(QIODevice::WriteOnly));
    notAContainer.write("not a PKCS#12 container");
    notAContainer.close();
    QVERIFY(QDir(mFixtures.path()).mkdir("folder.pfx"));
    QVERIFY(writeEngineIssuer(issuer("lab.pfx"), kIssuerPassword, 3, kIssuerStart, kIssuerEnd));
    QVERIFY(QFile::link(issuer("pl3.pfx"), issuer("linked.pfx")));
    QVERIFY(QFile::link(mFixtures.path(), issuer("here")));
}

void TestFormChecks::init()
{
    mpSettings = new CertificateSettings;
    mpSettings->serialNumber = 5;
    mpForm = new TalvaneWidget(nullptr, mpSettings);
    mpForm->show();
    QVERIFY(QTest::qWaitForWindowActive(mpForm));
}

void TestFormChecks::cleanup()
{
    delete mpForm;
    mpForm = nullptr;
    delete mpSettings;
    mpSettings = nullptr;
}

void TestFormChecks::fillValid(int type, const QString& issuerPath)
{
    chooseType(mpForm, type);
    typeInto(mpForm->mpDestinationNameLineEdit, QDir::current().filePath("out"));
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, "Secret");
    if (type != 0)
    {
        typeInto(mpForm->mpRootLineEdit, issuerPath);
        typeInto(mpForm->mpRootPasswordLineEdit, QString::fromLatin1(kIssuerPassword));
    }
    if (type == 1)
        typeInto(mpForm->mpPathLengthLineEdit, "1");
}

QString TestFormChecks::press(QSignalSpy* created)
{
    ModalAnswerer answerer;
    const int before = created != nullptr ? created->count() : 0;
    pressCreate(mpForm);
    if (created != nullptr && answerer.boxes().isEmpty())
        [&] { QCOMPARE(created->count(), before + 1); }();
    if (answerer.boxes().isEmpty())
        return QString();
    [&] {
        QCOMPARE(answerer.boxes().size(), 1);
        const ModalAnswerer::SeenBox& box = answerer.boxes().first();
        QCOMPARE(box.title, QString("Warning"));
        QCOMPARE(box.buttons, QStringList{"OK"});
        QVERIFY(box.hasParent);
        if (created != nullptr)
            QCOMPARE(created->count(), before);
    }();
    return answerer.boxes().first().text;
}

void TestFormChecks::passwordsDiffer_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("repeat");
    QTest::newRow("differ in letter case") << "Secret" << "secret";
    QTest::newRow("repeat empty") << "Secret" << "";
    QTest::newRow("password empty") << "" << "Secret";
    QTest::newRow("trailing blank") << "Secret" << "Secret ";
}

// Nothing else is checked after a mismatch, not even a period that is plainly wrong, and
// the focus stays where the user left it.
void TestFormChecks::passwordsDiffer()
{
    QFETCH(QString, password);
    QFETCH(QString, repeat);
    fillValid(0);
    typeInto(mpForm->mpDestinationPasswordLineEdit, password);
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, repeat);
    typeInto(mpForm->mpPathLengthLineEdit, "");
    mpForm->mpEndValidityDateTimeEdit->setDateTime(mpForm->mpStartValidityDateTimeEdit->dateTime());

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), QString::fromLatin1(kPasswordsDiffer));
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), QString());
    QCOMPARE(mpForm->focusWidget(), mpForm->mpCreateButton);
}

void TestFormChecks::returnInRepeatField_data()
{
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<bool>("boxShown");
    QTest::newRow("differ in letter case") << "sECRET" << true;
    QTest::newRow("equal") << "Secret" << false;
}

void TestFormChecks::returnInRepeatField()
{
    QFETCH(QString, repeat);
    QFETCH(bool, boxShown);
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, repeat);
    mpForm->mpDestinationNameLineEdit->setFocus(Qt::TabFocusReason);

    ModalAnswerer answerer;
    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QTest::keyClick(mpForm->mpDestinationPasswordRepLineEdit, Qt::Key_Return);
    QCOMPARE(created.count(), 0);
    if (!boxShown)
    {
        QVERIFY(answerer.boxes().isEmpty());
        QCOMPARE(mpForm->focusWidget(), mpForm->mpDestinationNameLineEdit);
        return;
    }
    QCOMPARE(answerer.texts(), QStringList{kPasswordsDiffer});
    QCOMPARE(answerer.boxes().first().title, QString("Warning"));
    QCOMPARE(mpForm->focusWidget(), mpForm->mpDestinationPasswordRepLineEdit);
    QVERIFY(wholeTextSelected(mpForm->mpDestinationPasswordRepLineEdit));
}

void TestFormChecks::pathLengthNotPositive_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("root empty") << 0 << "" << kRootPathLength;
    QTest::newRow("root 0") << 0 << "0" << kRootPathLength;
    QTest::newRow("intermediate empty") << 1 << "" << kIntermediatePathLength;
    QTest::newRow("intermediate 0") << 1 << "0" << kIntermediatePathLength;
    QTest::newRow("intermediate 00") << 1 << "00" << kIntermediatePathLength;
}

// The path length is checked before the issuing file: a missing file is not reported yet.
void TestFormChecks::pathLengthNotPositive()
{
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    fillValid(type, issuer("missing.pfx"));
    typeInto(mpForm->mpPathLengthLineEdit, typed);
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), typed);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), QString("1"));
    QVERIFY(wholeTextSelected(mpForm->mpPathLengthLineEdit));
    QCOMPARE(mpForm->focusWidget(), mpForm->mpPathLengthLineEdit);
}

void TestFormChecks::issuerFieldsEmpty_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    // The file named does not exist: a read would report that instead.
    QTest::newRow("intermediate, no file") << 1 << "" << "pw" << kNoIssuerFile;
    QTest::newRow("intermediate, no password") << 1 << "missing.pfx" << "" << kNoIssuerPassword;
    QTest::newRow("leaf, no file") << 2 << "" << "pw" << kNoIssuerFile;
    QTest::newRow("leaf, no password: file not read") << 2 << "missing.pfx" << "" << kNoIssuerPassword;
    QTest::newRow("leaf, neither") << 2 << "" << "" << kNoIssuerFile;
}

void TestFormChecks::issuerFieldsEmpty()
{
    QFETCH(int, type);
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, message);
    fillValid(type, issuer("pl3.pfx"));
    typeInto(mpForm->mpRootLineEdit, file.isEmpty() ? file : issuer(qPrintable(file)));
    typeInto(mpForm->mpRootPasswordLineEdit, password);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QCOMPARE(mpForm->focusWidget(), mpForm->mpCreateButton);
}

void TestFormChecks::issuerUnreadable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("pathFieldFocused");
    for (int type : {1, 2})
    {
        const char* kind = type == 1 ? "intermediate" : "leaf";
        QTest::addRow("%s, missing file", kind) << type << "missing.pfx" << kIssuerPassword << kIssuerMissing << true;
        QTest::addRow("%s, wrong password", kind) << type << "pl3.pfx" << "issuer secret" << kIssuerUnreadable << false;
        QTest::addRow("%s, not a container", kind)
            << type << "garbage.pfx" << kIssuerPassword << kIssuerUnreadable << false;
        QTest::addRow("%s, a folder", kind) << type << "folder.pfx" << kIssuerPassword << kIssuerUnreadable << false;
    }
}

void TestFormChecks::issuerUnreadable()
{
    QFETCH(int, type);
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(bool, pathFieldFocused);
    fillValid(type, issuer(qPrintable(file)));
    typeInto(mpForm->mpRootPasswordLineEdit, password);
    const QString pathLength = mpForm->mpPathLengthLineEdit->text();

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QLineEdit* focused = pathFieldFocused ? mpForm->mpRootLineEdit : mpForm->mpRootPasswordLineEdit;
    QCOMPARE(mpForm->focusWidget(), focused);
    QVERIFY(wholeTextSelected(focused));
    // A failed read changes nothing else.
    QCOMPARE(mpForm->mpRootLineEdit->text(), issuer(qPrintable(file)));
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), pathLength);
}

void TestFormChecks::pathLengthAgainstIssuer_data()
{
    QTest::addColumn<QString>("issuerFile");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typed"); // path length typed for an intermediate
    QTest::addColumn<QString>("message"); // empty: the press is accepted
    QTest::addColumn<QString>("fieldAfter");
    QTest::newRow("issuer 3, intermediate 3") << "pl3.pfx" << 1 << "3" << tooLong(3) << "2";
    QTest::newRow("issuer 3, intermediate 2") << "pl3.pfx" << 1 << "2" << "" << "2";
    QTest::newRow("issuer 3, intermediate 2147483647") << "pl3.pfx" << 1 << "2147483647" << tooLong(3) << "2";
    QTest::newRow("issuer 3, leaf") << "pl3.pfx" << 2 << "" << "" << "[end of certificate chain]";
    QTest::newRow("issuer 1, intermediate 1") << "pl1.pfx" << 1 << "1" << tooLong(1) << "0";
    QTest::newRow("issuer 1, leaf") << "pl1.pfx" << 2 << "" << "" << "[end of certificate chain]";
    QTest::newRow("issuer 0, intermediate 1") << "pl0.pfx" << 1 << "1" << kIssuerZero << "0";
    QTest::newRow("issuer 0, leaf") << "pl0.pfx" << 2 << "" << kIssuerZero << "0";
}

void TestFormChecks::pathLengthAgainstIssuer()
{
    QFETCH(QString, issuerFile);
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, fieldAfter);
    fillValid(type, issuer(qPrintable(issuerFile)));
    if (type == 1)
        typeInto(mpForm->mpPathLengthLineEdit, typed);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), fieldAfter);
    if (message.isEmpty())
        return;
    if (type == 1)
    {
        QCOMPARE(mpForm->focusWidget(), mpForm->mpPathLengthLineEdit);
        QVERIFY(wholeTextSelected(mpForm->mpPathLengthLineEdit));
    }
    else
    {
        QVERIFY(!mpForm->mpPathLengthLineEdit->isEnabled());
        QCOMPARE(mpForm->focusWidget(), mpForm->mpCreateButton);
    }
}

// A leaf's disabled field may still show what an earlier issuer left there; the leaf asks for
// nothing below it all the same.
void TestFormChecks::leafIgnoresAStalePathLength()
{
    fillValid(2, issuer("pl0.pfx"));
    mpForm->mpPathLengthLineEdit->setText("-1");
    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), QString::fromLatin1(kIssuerZero));
}

void TestFormChecks::proposedPathLengthOnNextPress_data()
{
    QTest::addColumn<QString>("issuerFile");
    QTest::addColumn<QString>("secondMessage");
    QTest::newRow("issuer 3: the proposed 2 passes") << "pl3.pfx" << "";
    QTest::newRow("issuer 1: the proposed 0 is refused") << "pl1.pfx" << kIntermediatePathLength;
}

void TestFormChecks::proposedPathLengthOnNextPress()
{
    QFETCH(QString, issuerFile);
    QFETCH(QString, secondMessage);
    fillValid(1, issuer(qPrintable(issuerFile)));
    typeInto(mpForm->mpPathLengthLineEdit, "3");
    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QVERIFY(!press(&created).isEmpty());
    QCOMPARE(press(&created), secondMessage);
}

void TestFormChecks::destinationFieldsEmpty_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    for (int type : {0, 1, 2})
    {
        QTest::addRow("type %d, no file name", type)
            << type << "" << "Secret" << kNoDestinationFile << "mpDestinationNameLineEdit";
        QTest::addRow("type %d, both passwords empty", type)
            << type << "out" << "" << kNoDestinationPassword << "mpDestinationPasswordLineEdit";
        QTest::addRow("type %d, neither", type) << type << "" << "" << kNoDestinationFile << "mpDestinationNameLineEdit";
    }
}

void TestFormChecks::destinationFieldsEmpty()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    fillValid(type, issuer("pl3.pfx"));
    typeInto(mpForm->mpDestinationNameLineEdit, name);
    typeInto(mpForm->mpDestinationPasswordLineEdit, password);
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, password);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QCOMPARE(mpForm->focusWidget()->objectName(), focused);
}

void TestFormChecks::serialNumberRange_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("offered"); // by the controller, when typed is empty
    QTest::addColumn<bool>("accepted");
    for (int type : {0, 2})
    {
        QTest::addRow("type %d, empty", type) << type << "" << qint64(-1) << false;
        QTest::addRow("type %d, 0", type) << type << "0" << qint64(-1) << false;
        QTest::addRow("type %d, offered 2147483648", type) << type << "" << qint64(2147483648) << false;
        QTest::addRow("type %d, offered 0", type) << type << "" << qint64(0) << false;
        QTest::addRow("type %d, 1", type) << type << "1" << qint64(-1) << true;
        QTest::addRow("type %d, 2147483647", type) << type << "2147483647" << qint64(-1) << true;
        QTest::addRow("type %d, offered 2147483647", type) << type << "" << qint64(2147483647) << true;
    }
}

void TestFormChecks::serialNumberRange()
{
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(qint64, offered);
    QFETCH(bool, accepted);
    fillValid(type, issuer("pl3.pfx"));
    if (offered >= 0)
        mpForm->setSerialNumber(offered);
    else
        typeInto(mpForm->mpSerialLineEdit, typed);
    // Refused after the destination checks, instead of the period check.
    mpForm->mpEndValidityDateTimeEdit->setDateTime(mpForm->mpStartValidityDateTimeEdit->dateTime());
    if (accepted)
        mpForm->mpEndValidityDateTimeEdit->setDateTime(QDateTime::currentDateTime().addDays(3));

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    const QString shown = press(&created);
    if (accepted)
    {
        QCOMPARE(shown, QString());
        QCOMPARE(mpSettings->serialNumber, mpForm->mpSerialLineEdit->text().toLongLong());
        return;
    }
    QCOMPARE(shown, QString::fromLatin1(kBadSerial));
    QCOMPARE(mpForm->focusWidget(), mpForm->mpSerialLineEdit);
    QCOMPARE(mpForm->mpSerialLineEdit->selectedText(), mpForm->mpSerialLineEdit->text());
    QCOMPARE(mpSettings->serialNumber, qint64(5));
}

void TestFormChecks::validityPeriod_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("startFromNow"); // seconds
    QTest::addColumn<int>("endFromNow");
    QTest::addColumn<bool>("accepted");
    for (int type : {0, 1})
    {
        QTest::addRow("type %d, start equal to end", type) << type << 3600 << 3600 << false;
        QTest::addRow("type %d, start after end", type) << type << 7200 << 3600 << false;
        QTest::addRow("type %d, end one minute past", type) << type << -7200 << -60 << false;
        QTest::addRow("type %d, start one second before end", type) << type << 3599 << 3600 << true;
        QTest::addRow("type %d, start in the past", type) << type << -86400 << 3600 << true;
    }
}

void TestFormChecks::validityPeriod()
{
    QFETCH(int, type);
    QFETCH(int, startFromNow);
    QFETCH(int, endFromNow);
    QFETCH(bool, accepted);
    fillValid(type, issuer("pl3.pfx"));
    const QDateTime now = QDateTime::currentDateTime();
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, now.addSecs(startFromNow));
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, now.addSecs(endFromNow));
    QCOMPARE(mpForm->mpStartValidityDateTimeEdit->dateTime().toSecsSinceEpoch(),
             now.addSecs(startFromNow).toSecsSinceEpoch());

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), accepted ? QString() : QString::fromLatin1(kBadPeriod));
}

void TestFormChecks::namesTheCertificateNeeds_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("emptied"); // the fields typed empty
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused"); // the first field named

    const QString rootName = "mpRootNameLineEdit";
    const QString organization = "mpOrganizationLineEdit";
    const QString entity = "mpEntityLineEdit";
    QTest::newRow("root without root name") << 0 << QStringList{rootName} << kNoRootName << rootName;
    QTest::newRow("root without organisation")
        << 0 << QStringList{organization} << kNoOrganization << organization;
    QTest::newRow("root without any, each named")
        << 0 << QStringList{entity, organization, rootName}
        << QString(kNoRootName) + kNoOrganization + kNoEntity << rootName;
    QTest::newRow("intermediate without organisation")
        << 1 << QStringList{organization} << kNoOrganization << organization;
    QTest::newRow("intermediate without entity") << 1 << QStringList{entity} << kNoEntity << entity;
    QTest::newRow("leaf without organisation and entity")
        << 2 << QStringList{organization, entity} << QString(kNoOrganization) + kNoEntity << organization;
}

// The O, OU and CN every certificate carries: none of them may be left empty, and nothing is
// handed to the controller, which would make the key first.
void TestFormChecks::namesTheCertificateNeeds()
{
    QFETCH(int, type);
    QFETCH(QStringList, emptied);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    fillValid(type, issuer("pl3.pfx"));
    for (const QString& field : emptied)
        typeInto(mpForm->findChild<QLineEdit*>(field), QString());
    mpForm->mpSerialLineEdit->setFocus(Qt::TabFocusReason);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    QCOMPARE(mpForm->focusWidget()->objectName(), focused);
}

void TestFormChecks::entityTooLongForTheCommonName_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QString>("message"); // empty: accepted

    // The CN holds 64 characters: 63 after the "." of an authority, 61 after a leaf's "CS.";
    // an entity that brings its own dot gives up only "CS" (62) or nothing (64).
    const QString a(QLatin1Char('a'));
    QTest::newRow("root, 63") << 0 << a.repeated(63) << "";
    QTest::newRow("root, 64") << 0 << a.repeated(64) << entityTooLong(63);
    QTest::newRow("root, own dot and 63") << 0 << "." + a.repeated(63) << "";
    QTest::newRow("intermediate, 64") << 1 << a.repeated(64) << entityTooLong(63);
    QTest::newRow("leaf, 61") << 2 << a.repeated(61) << "";
    QTest::newRow("leaf, 62") << 2 << a.repeated(62) << entityTooLong(61);
    QTest::newRow("leaf, own dot and 61") << 2 << "." + a.repeated(61) << "";
    QTest::newRow("leaf, own dot and 62") << 2 << "." + a.repeated(62) << entityTooLong(62);
}

void TestFormChecks::entityTooLongForTheCommonName()
{
    QFETCH(int, type);
    QFETCH(QString, entity);
    QFETCH(QString, message);
    fillValid(type, issuer("pl3.pfx"));
    typeInto(mpForm->mpEntityLineEdit, entity);
    QCOMPARE(mpForm->mpEntityLineEdit->text(), entity);
    mpForm->mpSerialLineEdit->setFocus(Qt::TabFocusReason);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), message);
    if (message.isEmpty())
    {
        QCOMPARE(mpSettings->entityName.size(), 64);
        return;
    }
    QCOMPARE(mpForm->focusWidget(), mpForm->mpEntityLineEdit);
    QVERIFY(wholeTextSelected(mpForm->mpEntityLineEdit));
}

// A name is refused only once everything before it passed, and a wrong period is then not
// reported yet.
void TestFormChecks::namesCheckedAfterTheRest()
{
    fillValid(2, issuer("pl3.pfx"));
    typeInto(mpForm->mpEntityLineEdit, QString());
    typeInto(mpForm->mpDestinationNameLineEdit, QString());
    QCOMPARE(press(), QString::fromLatin1(kNoDestinationFile));
    typeInto(mpForm->mpDestinationNameLineEdit, "out");
    typeInto(mpForm->mpRootPasswordLineEdit, "wrong");
    QCOMPARE(press(), QString::fromLatin1(kIssuerUnreadable));
    typeInto(mpForm->mpRootPasswordLineEdit, QString::fromLatin1(kIssuerPassword));
    mpForm->mpEndValidityDateTimeEdit->setDateTime(mpForm->mpStartValidityDateTimeEdit->dateTime());
    QCOMPARE(press(), QString::fromLatin1(kNoEntity));
}

void TestFormChecks::destinationSparesTheIssuer_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("issuerFile");
    QTest::addColumn<QString>("destination"); // in the fixtures' folder
    QTest::addColumn<bool>("refused");
    QTest::newRow("intermediate named as its issuer") << 1 << "pl3.pfx" << "pl3" << true;
    QTest::newRow("leaf with the issuer's .pfx name") << 2 << "pl3.pfx" << "pl3.pfx" << true;
    // "lab.inter" is written to lab.inter.pem and lab.pfx.
    QTest::newRow("dotted name meets the issuer") << 1 << "lab.pfx" << "lab.inter" << true;
    QTest::newRow("through a folder and ..") << 2 << "pl3.pfx" << "folder.pfx/../pl3" << true;
    QTest::newRow("issuer named through a link") << 2 << "linked.pfx" << "pl3" << true;
    QTest::newRow("destination in a linked folder") << 1 << "pl3.pfx" << "here/pl3" << true;
    QTest::newRow("a name of its own") << 2 << "pl3.pfx" << "player" << false;
}

// Two "Continue" answers to the overwrite questions would otherwise replace the issuing file
// and lose its key.
void TestFormChecks::destinationSparesTheIssuer()
{
    QFETCH(int, type);
    QFETCH(QString, issuerFile);
    QFETCH(QString, destination);
    QFETCH(bool, refused);
    fillValid(type, issuer(qPrintable(issuerFile)));
    // Typed relative to the working folder, so the name holds ".." before the fixtures' path.
    typeInto(mpForm->mpDestinationNameLineEdit, QDir::current().relativeFilePath(mFixtures.filePath(destination)));
    mpForm->mpSerialLineEdit->setFocus(Qt::TabFocusReason);
    const QByteArray issuerBytes = readAll(issuer(qPrintable(issuerFile)));

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    QCOMPARE(press(&created), refused ? QString::fromLatin1(kOverwritesIssuer) : QString());
    QCOMPARE(readAll(issuer(qPrintable(issuerFile))), issuerBytes);
    if (!refused)
        return;
    QCOMPARE(mpForm->focusWidget(), mpForm->mpDestinationNameLineEdit);
    QVERIFY(wholeTextSelected(mpForm->mpDestinationNameLineEdit));
}

// Called on their own, the issuer checks show their message in a box of their own.
void TestFormChecks::checksCalledAlone()
{
    fillValid(1, issuer("pl3.pfx"));
    typeInto(mpForm->mpPathLengthLineEdit, "4");
    typeInto(mpForm->mpRootPasswordLineEdit, "wrong");
    ModalAnswerer answerer;
    bool passed = true;
    QVERIFY(QMetaObject::invokeMethod(mpForm, "readIssuerRoot", Q_RETURN_ARG(bool, passed)));
    QVERIFY(!passed);
    typeInto(mpForm->mpRootPasswordLineEdit, QString::fromLatin1(kIssuerPassword));
    QVERIFY(QMetaObject::invokeMethod(mpForm, "readIssuerRoot", Q_RETURN_ARG(bool, passed)));
    QVERIFY(passed);
    QVERIFY(QMetaObject::invokeMethod(mpForm, "checkPathlen", Q_RETURN_ARG(bool, passed)));
    QVERIFY(!passed);
    QCOMPARE(answerer.texts(), (QStringList{kIssuerUnreadable, tooLong(3)}));
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), QString("2"));
}

void TestFormChecks::eachIssuerCheckReadsTheFile_data()
{
    QTest::addColumn<QByteArray>("check");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    for (const char* check : {"readIssuerRoot", "checkPathlen", "checkValidity"})
    {
        QTest::addRow("%s, missing file", check)
            << QByteArray(check) << "missing.pfx" << kIssuerPassword << kIssuerMissing << "mpRootLineEdit";
        QTest::addRow("%s, password in the wrong case", check)
            << QByteArray(check) << "pl3.pfx" << "ISSUER SECRET" << kIssuerUnreadable << "mpRootPasswordLineEdit";
    }
}

// Every issuer check opens the file itself and says why it could not, whichever runs first;
// with an error text it shows nothing and still points at the field.
void TestFormChecks::eachIssuerCheckReadsTheFile()
{
    QFETCH(QByteArray, check);
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    fillValid(1, issuer(qPrintable(file)));
    typeInto(mpForm->mpRootPasswordLineEdit, password);
    typeInto(mpForm->mpPathLengthLineEdit, "9");
    const QString startShown = mpForm->mpStartValidityDateTimeEdit->text();

    for (bool withErrorText : {false, true})
    {
        mpForm->mpSerialLineEdit->setFocus(Qt::TabFocusReason);
        ModalAnswerer answerer;
        QString errors = QStringLiteral("before\n");
        bool passed = true;
        const bool invoked = withErrorText ? QMetaObject::invokeMethod(mpForm, check.constData(),
                                                                        Q_RETURN_ARG(bool, passed),
                                                                        Q_ARG(QString*, &errors))
                                           : QMetaObject::invokeMethod(mpForm, check.constData(),
                                                                        Q_RETURN_ARG(bool, passed));
        QVERIFY(invoked);
        QVERIFY(!passed);
        QCOMPARE(answerer.texts(), withErrorText ? QStringList() : QStringList{message});
        QCOMPARE(errors, withErrorText ? "before\n" + message : QString("before\n"));
        QCOMPARE(mpForm->focusWidget()->objectName(), focused);
        QVERIFY(wholeTextSelected(qobject_cast<QLineEdit*>(mpForm->focusWidget())));
        // Nothing is corrected when the issuer cannot be read.
        QCOMPARE(mpForm->mpPathLengthLineEdit->text(), QString("9"));
        QCOMPARE(mpForm->mpStartValidityDateTimeEdit->text(), startShown);
    }
}

QTEST_MAIN(TestFormChecks)
#include "tst_formchecks.moc"
