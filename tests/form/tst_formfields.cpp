// The form's fields as the user meets them: input restrictions, the values shown at start-up,
// the serial number the controller sets and the certificate-type states.

#include "certificatesettings.h"
#include "talvanewidget.h"

#include <QtTest>
#include <QtWidgets>

#include <climits>

class TestFormFields : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void validatorBounds_data();
    void validatorBounds();
    void typingIntoNumberFields_data();
    void typingIntoNumberFields();
    void numberFieldsIgnoreTheUsersLocale_data();
    void numberFieldsIgnoreTheUsersLocale();
    void maximumLengths_data();
    void maximumLengths();
    void echoModes();
    void validityFromTheClock();
    void comboItems();
    void recordShown_data();
    void recordShown();
    void setSerialNumber_data();
    void setSerialNumber();
    void typeStates_data();
    void typeStates();
    void issuerTextsKeptWhileDisabled();
    void switchingTypeDiscardsTypedValues();
    void switchingTypeShowsTheRecordAsSaved();

private:
    CertificateSettings* mpSettings = nullptr;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormFields::init()
{
    mpSettings = new CertificateSettings;
    mpForm = new TalvaneWidget(nullptr, mpSettings);
}

void TestFormFields::cleanup()
{
    delete mpForm;
    mpForm = nullptr;
    delete mpSettings;
    mpSettings = nullptr;
}

void TestFormFields::validatorBounds_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("path length") << "mpPathLengthLineEdit";
    QTest::newRow("serial number") << "mpSerialLineEdit";
}

void TestFormFields::validatorBounds()
{
    QFETCH(QString, field);

    auto* edit = mpForm->findChild<QLineEdit*>(field);
    auto* validator = qobject_cast<const QIntValidator*>(edit->validator());
    QVERIFY(validator != nullptr);
    QCOMPARE(validator->parent(), edit);
    QCOMPARE(validator->bottom(), 1);
    QCOMPARE(validator->top(), INT_MAX);
}

void TestFormFields::typingIntoNumberFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("acceptable");

    for (const char* field : {"mpPathLengthLineEdit", "mpSerialLineEdit"})
    {
        const auto row = [field](const char* edge, const char* typed, const char* shown, bool acceptable)
        { QTest::addRow("%s: %s", field, edge) << field << typed << shown << acceptable; };
        row("letters refused", "1a2b", "12", true);
        row("minus sign refused", "-5", "5", true);
        row("minus after digits refused", "5-", "5", true);
        row("largest int accepted", "2147483647", "2147483647", true);
        row("one above largest int refused", "2147483648", "214748364", true);
        row("ten digits above largest int refused", "9999999999", "999999999", true);
        row("eleven digits refused", "12345678901", "1234567890", true);
        row("zero stays as intermediate", "0", "0", false);
        row("nothing stays as intermediate", "", "", false);
        row("zero then digits", "07", "07", true);
        row("group separator refused", "1,000", "1000", true);
        row("decimal point refused", "2.5", "25", true);
        row("space refused", "1 2", "12", true);
    }
}

void TestFormFields::typingIntoNumberFields()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, acceptable);

    mpForm->mpCertificateTypeComboBox->setCurrentIndex(1);
    auto* edit = mpForm->findChild<QLineEdit*>(field);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(edit->hasAcceptableInput(), acceptable);

    // Intermediate input survives leaving the field; only the save step judges it.
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), shown);
}

void TestFormFields::numberFieldsIgnoreTheUsersLocale_data()
{
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("shown");

    QTest::newRow("German group separator") << "1.000"
                                            << "";
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0663") << "";
    QTest::newRow("plain digits") << "1000"
                                  << "1000";
}

// The text is read back with QString::toInt and toLong later, which know only plain digits.
void TestFormFields::numberFieldsIgnoreTheUsersLocale()
{
    QFETCH(QString, inserted);
    QFETCH(QString, shown);

    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CertificateSettings settings;
    TalvaneWidget form(nullptr, &settings);
    QLocale::setDefault(previous);

    for (QLineEdit* edit : {form.mpPathLengthLineEdit, form.mpSerialLineEdit})
    {
        edit->clear();
        edit->insert(inserted);
        QCOMPARE(edit->text(), shown);
    }
}

void TestFormFields::maximumLengths_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("limit");

    QTest::newRow("root name") << "mpRootNameLineEdit" << 64;
    QTest::newRow("organisation name") << "mpOrganizationLineEdit" << 32;
    QTest::newRow("entity name") << "mpEntityLineEdit" << 64;
}

void TestFormFields::maximumLengths()
{
    QFETCH(QString, field);
    QFETCH(int, limit);

    auto* edit = mpForm->findChild<QLineEdit*>(field);
    QCOMPARE(edit->maxLength(), limit);

    edit->clear();
    QTest::keyClicks(edit, QString(limit, QLatin1Char('a')) + QStringLiteral("bcd"));
    QCOMPARE(edit->text(), QString(limit, QLatin1Char('a')));

    const QString pasted = QStringLiteral("0123456789").repeated(10);
    edit->clear();
    QGuiApplication::clipboard()->setText(pasted);
    edit->paste();
    QCOMPARE(edit->text(), pasted.left(limit));

    // A limit in characters, not bytes.
    edit->clear();
    edit->insert(QString(limit + 1, QChar(0x00e9)));
    QCOMPARE(edit->text(), QString(limit, QChar(0x00e9)));
}

void TestFormFields::echoModes()
{
    const QStringList hidden = {"mpDestinationPasswordLineEdit", "mpDestinationPasswordRepLineEdit",
                                "mpRootPasswordLineEdit"};
    for (QLineEdit* edit : mpForm->findChildren<QLineEdit*>())
    {
        if (edit->objectName().isEmpty())
            continue; // the date-time edits' own line edits
        const auto expected = hidden.contains(edit->objectName()) ? QLineEdit::Password : QLineEdit::Normal;
        QVERIFY2(edit->echoMode() == expected, qPrintable(edit->objectName()));
    }
}

void TestFormFields::validityFromTheClock()
{
    // Far from the record's times, to show that the form does not take them.
    mpSettings->validityStart = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    mpSettings->validityEnd = QDateTime(QDate(2002, 2, 3), QTime(4, 5, 6));
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    TalvaneWidget form(nullptr, mpSettings);
    const QDateTime after = QDateTime::currentDateTime();

    QDateTimeEdit* start = form.mpStartValidityDateTimeEdit;
    QDateTimeEdit* end = form.mpEndValidityDateTimeEdit;
    QVERIFY2(start->dateTime() >= before && start->dateTime() <= after,
             qPrintable(start->dateTime().toString()));
    QCOMPARE(end->dateTime(), start->dateTime().addYears(1));
    QCOMPARE(start->dateTime().timeSpec(), Qt::LocalTime);

    const QDateTimeEdit plain;
    for (QDateTimeEdit* edit : {start, end})
    {
        QCOMPARE(edit->displayFormat(), QStringLiteral("yyyy.MM.dd HH:mm:ss"));
        QCOMPARE(edit->text(), edit->dateTime().toString(QStringLiteral("yyyy.MM.dd HH:mm:ss")));
        QVERIFY(!edit->calendarPopup());
        QCOMPARE(edit->minimumDateTime(), plain.minimumDateTime());
        QCOMPARE(edit->maximumDateTime(), plain.maximumDateTime());
    }
}

void TestFormFields::comboItems()
{
    QComboBox* type = mpForm->mpCertificateTypeComboBox;
    QCOMPARE(type->count(), 3);
    QCOMPARE(type->itemText(0), QStringLiteral("Self Signed Root Certificate"));
    QCOMPARE(type->itemText(1), QStringLiteral("Intermediate Certificate"));
    QCOMPARE(type->itemText(2), QStringLiteral("Leaf Signing Certificate"));
    QCOMPARE(type->currentIndex(), 0);

    QComboBox* algorithm = mpForm->mpAlgorithmComboBox;
    QCOMPARE(algorithm->count(), 2);
    QCOMPARE(algorithm->itemText(0), QStringLiteral("SHA1"));
    QCOMPARE(algorithm->itemText(1), QStringLiteral("SHA256"));
}

void TestFormFields::recordShown_data()
{
    QTest::addColumn<int>("pathLength");
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<qint64>("serial");
    QTest::addColumn<QString>("algorithmText");

    QTest::newRow("controller defaults, first serial") << 3 << 1 << qint64(1) << "SHA256";
    QTest::newRow("SHA1 and path length 7") << 7 << 0 << qint64(42) << "SHA1";
    QTest::newRow("serial beyond 32 bits shown in full") << 3 << 1 << qint64(5000000000) << "SHA256";
    QTest::newRow("largest serial") << 1 << 1 << qint64(LLONG_MAX) << "SHA256";
}

void TestFormFields::recordShown()
{
    QFETCH(int, pathLength);
    QFETCH(int, algorithm);
    QFETCH(qint64, serial);
    QFETCH(QString, algorithmText);

    CertificateSettings settings;
    settings.pathLength = pathLength;
    settings.signingAlgorithm = algorithm;
    settings.serialNumber = serial;
    settings.rootName = QStringLiteral(".Usage.Maker");
    settings.organizationName = QStringLiteral(".Lab.Maker");
    settings.entityName = QStringLiteral(".Holder");
    settings.destinationFileName = QStringLiteral("never shown");
    settings.destinationPassword = QStringLiteral("never shown");
    settings.issuerFileName = QStringLiteral("never shown");
    settings.issuerPassword = QStringLiteral("never shown");
    TalvaneWidget form(nullptr, &settings);

    QCOMPARE(form.mpPathLengthLineEdit->text(), QString::number(pathLength));
    QCOMPARE(form.mpAlgorithmComboBox->currentIndex(), algorithm);
    QCOMPARE(form.mpAlgorithmComboBox->currentText(), algorithmText);
    QCOMPARE(form.mpSerialLineEdit->text(), QString::number(serial));
    QCOMPARE(form.mpRootNameLineEdit->text(), QStringLiteral(".Usage.Maker"));
    QCOMPARE(form.mpOrganizationLineEdit->text(), QStringLiteral(".Lab.Maker"));
    QCOMPARE(form.mpEntityLineEdit->text(), QStringLiteral(".Holder"));
    for (QLineEdit* empty :
         {form.mpDestinationNameLineEdit, form.mpDestinationPasswordLineEdit,
          form.mpDestinationPasswordRepLineEdit, form.mpRootLineEdit, form.mpRootPasswordLineEdit})
        QVERIFY2(empty->text().isEmpty(), qPrintable(empty->objectName()));
    // Showing the record changes nothing in it.
    QCOMPARE(settings.pathLength, pathLength);
    QCOMPARE(settings.serialNumber, serial);
}

void TestFormFields::setSerialNumber_data()
{
    QTest::addColumn<qint64>("serial");
    QTest::newRow("next after the first") << qint64(2);
    QTest::newRow("largest int") << qint64(INT_MAX);
    QTest::newRow("beyond the field's validator") << qint64(INT_MAX) + 1;
    QTest::newRow("largest 64-bit") << qint64(LLONG_MAX);
    QTest::newRow("zero") << qint64(0);
}

void TestFormFields::setSerialNumber()
{
    QFETCH(qint64, serial);

    mpForm->setSerialNumber(serial);
    QCOMPARE(mpForm->mpSerialLineEdit->text(), QString::number(serial));
    // The record is the controller's to advance.
    QCOMPARE(mpSettings->serialNumber, qint64(0));
}

void TestFormFields::typeStates_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("issuer");
    QTest::addColumn<bool>("pathLength");
    QTest::addColumn<bool>("rootName");
    QTest::addColumn<QString>("pathLengthText");
    QTest::addColumn<QString>("rootNameText");

    const QString taken = QStringLiteral("[taken from issuing certificate]");
    const QString endOfChain = QStringLiteral("[end of certificate chain]");
    QTest::newRow("root as constructed") << -1 << 0 << false << true << true << "3"
                                         << ".CertificateUsage.CompanyName";
    QTest::newRow("root after leaf") << 2 << 0 << false << true << true << "3"
                                     << ".CertificateUsage.CompanyName";
    QTest::newRow("intermediate") << 0 << 1 << true << true << false << "3" << taken;
    QTest::newRow("intermediate after leaf") << 2 << 1 << true << true << false << "3" << taken;
    QTest::newRow("leaf") << 0 << 2 << true << false << false << endOfChain << taken;
    QTest::newRow("leaf after intermediate") << 1 << 2 << true << false << false << endOfChain << taken;
}

void TestFormFields::typeStates()
{
    QFETCH(int, from);
    QFETCH(int, type);
    QFETCH(bool, issuer);
    QFETCH(bool, pathLength);
    QFETCH(bool, rootName);
    QFETCH(QString, pathLengthText);
    QFETCH(QString, rootNameText);

    // Through the combo, as the user switches.
    if (from >= 0)
        mpForm->mpCertificateTypeComboBox->setCurrentIndex(from);
    mpForm->mpCertificateTypeComboBox->setCurrentIndex(type);

    for (QWidget* widget : std::initializer_list<QWidget*>{
             mpForm->mpRootLabel, mpForm->mpRootCertificateToolButton, mpForm->mpRootLineEdit,
             mpForm->mpRootPasswordLabel, mpForm->mpRootPasswordLineEdit})
        QVERIFY2(widget->isEnabled() == issuer, qPrintable(widget->objectName()));
    QCOMPARE(mpForm->mpPathLengthLabel->isEnabled(), pathLength);
    QCOMPARE(mpForm->mpPathLengthLineEdit->isEnabled(), pathLength);
    QCOMPARE(mpForm->mpRootNameLabel->isEnabled(), rootName);
    QCOMPARE(mpForm->mpRootNameLineEdit->isEnabled(), rootName);
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), pathLengthText);
    QCOMPARE(mpForm->mpRootNameLineEdit->text(), rootNameText);

    // Everything else stays usable in every state.
    for (QWidget* widget :
         {static_cast<QWidget*>(mpForm->mpDestinationNameLineEdit),
          static_cast<QWidget*>(mpForm->mpOrganizationLineEdit),
          static_cast<QWidget*>(mpForm->mpEntityLineEdit), static_cast<QWidget*>(mpForm->mpSerialLineEdit),
          static_cast<QWidget*>(mpForm->mpAlgorithmComboBox), static_cast<QWidget*>(mpForm->mpCreateButton)})
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
}

void TestFormFields::issuerTextsKeptWhileDisabled()
{
    QComboBox* type = mpForm->mpCertificateTypeComboBox;
    type->setCurrentIndex(1);
    QTest::keyClicks(mpForm->mpRootLineEdit, QStringLiteral("/certs/root.pfx"));
    QTest::keyClicks(mpForm->mpRootPasswordLineEdit, QStringLiteral("secret"));

    type->setCurrentIndex(0);
    QVERIFY(!mpForm->mpRootLineEdit->isEnabled());
    QCOMPARE(mpForm->mpRootLineEdit->text(), QStringLiteral("/certs/root.pfx"));
    QCOMPARE(mpForm->mpRootPasswordLineEdit->text(), QStringLiteral("secret"));

    type->setCurrentIndex(2);
    QCOMPARE(mpForm->mpRootLineEdit->text(), QStringLiteral("/certs/root.pfx"));
    QCOMPARE(mpForm->mpRootPasswordLineEdit->text(), QStringLiteral("secret"));
}

void TestFormFields::switchingTypeDiscardsTypedValues()
{
    QComboBox* type = mpForm->mpCertificateTypeComboBox;
    QLineEdit* pathLength = mpForm->mpPathLengthLineEdit;

    type->setCurrentIndex(1);
    pathLength->clear();
    QTest::keyClicks(pathLength, QStringLiteral("2"));
    type->setCurrentIndex(2);
    QCOMPARE(pathLength->text(), QStringLiteral("[end of certificate chain]"));
    type->setCurrentIndex(1);
    QCOMPARE(pathLength->text(), QStringLiteral("3"));

    type->setCurrentIndex(0);
    mpForm->mpRootNameLineEdit->clear();
    QTest::keyClicks(mpForm->mpRootNameLineEdit, QStringLiteral(".Typed.Root"));
    type->setCurrentIndex(1);
    type->setCurrentIndex(0);
    QCOMPARE(mpForm->mpRootNameLineEdit->text(), QStringLiteral(".CertificateUsage.CompanyName"));
}

void TestFormFields::switchingTypeShowsTheRecordAsSaved()
{
    // What a save stored is what the next switch shows.
    mpSettings->pathLength = 5;
    mpSettings->rootName = QStringLiteral(".Saved.Root");
    mpForm->mpCertificateTypeComboBox->setCurrentIndex(1);
    QCOMPARE(mpForm->mpPathLengthLineEdit->text(), QStringLiteral("5"));
    mpForm->mpCertificateTypeComboBox->setCurrentIndex(0);
    QCOMPARE(mpForm->mpRootNameLineEdit->text(), QStringLiteral(".Saved.Root"));
}

QTEST_MAIN(TestFormFields)
#include "tst_formfields.moc"
