// The entered validity against the issuing certificate's: the corrections the form makes, the
// issuer dates it cannot read and the daily log file that records them. Runs with TZ=Europe/Berlin,
// so the local times the user sees differ from the certificates' UTC times.

#include "certificatesettings.h"
#include "formhands.h"
#include "formissuers.h"
#include "modalanswerer.h"
#include "noconsole.h"
#include "smallfilesystem.h"
#include "diagnosticcapture.h"
#include "talvanewidget.h"
#include "validitylog.h"

#include <QtTest>
#include <QScopeGuard>
#include <QtWidgets>

#include <cstdio>
#include <memory>

using namespace FormTestSupport;

namespace
{

const char kIssuerPassword[] = "Issuer Secret";

// "Jan 15 08:30:00 2009 GMT" .. "Dec 31 23:59:59 2110 GMT": days of two digits.
const QDateTime kStart(QDate(2009, 1, 15), QTime(8, 30, 0), Qt::UTC);
const QDateTime kEnd(QDate(2110, 12, 31), QTime(23, 59, 59), Qt::UTC);
// "Mar 29 02:30:00 2009 GMT" is inside the hour Berlin's clocks skip that night;
// "May  5 08:30:00 2110 GMT" pads its day with a blank.
const QDateTime kGapStart(QDate(2009, 3, 29), QTime(2, 30, 0), Qt::UTC);
const QDateTime kPaddedEnd(QDate(2110, 5, 5), QTime(8, 30, 0), Qt::UTC);

QString startTooEarly(const char* earliestLocal)
{
    return QStringLiteral("The entered validity start date is wrong!\nMust be equal or later than %1.\n"
                          "Start validity field will be set to the earliest possible date and time.")
        .arg(QLatin1String(earliestLocal));
}

QString endTooLate(const char* latestLocal)
{
    return QStringLiteral("The entered validity end date is wrong!\nMust be equal or ealier than %1.\n"
                          "End validity field will be set to the latest possible date and time.")
        .arg(QLatin1String(latestLocal));
}

QString dateError(const char* which, const char* printed)
{
    return QStringLiteral("Error reading date format!\n%1 Date in cert is: \"%2\"\n"
                          "Format expected: MMM d HH:mm:ss yyyy GMT\n")
        .arg(QLatin1String(which), QLatin1String(printed));
}

QStringList logLines()
{
    QFile log(ValidityLog::filePath(QDate::currentDate()));
    if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestFormValidity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void correctedIntoTheIssuersPeriod_data();
    void correctedIntoTheIssuersPeriod();
    void unreadableIssuerDates_data();
    void unreadableIssuerDates();
    void eachRecordAppendedToTheDaysFile();
    void logThatCannotBeWritten_data();
    void logThatCannotBeWritten();
    void checkCalledAlone();
    void monthNamesUnderAGermanSystemLanguage();

private:
    void fillValid(int type, const QString& issuerPath);
    QString issuer(const char* name) const { return mFixtures.filePath(QString::fromLatin1(name)); }

    QTemporaryDir mFixtures;
    QTemporaryDir* mpWorkDir = nullptr;
    QString mOldDir;
    CertificateSettings* mpSettings = nullptr;
    TalvaneWidget* mpForm = nullptr;
};

void TestFormValidity::initTestCase()
{
    QVERIFY(NoConsole::forTheWholeRun());
    QVERIFY(mFixtures.isValid());
    // The expected texts are Berlin's local times.
    QCOMPARE(kStart.toLocalTime().offsetFromUtc(), 3600);

    QVERIFY(writeEngineIssuer(issuer("plain.pfx"), kIssuerPassword, 3, kStart, kEnd));
    QVERIFY(writeEngineIssuer(issuer("gap-padded.pfx"), kIssuerPassword, 3, kGapStart, kPaddedEnd));
    QVERIFY(writeRawTimeIssuer(issuer("bad-start.pfx"), kIssuerPassword, "2A0101000000Z", "21101231235959Z"));
    QVERIFY(writeRawTimeIssuer(issuer("bad-end.pfx"), kIssuerPassword, "090115083000Z", "211012312359XXZ"));
    QVERIFY(writeRawTimeIssuer(issuer("bad-both.pfx"), kIssuerPassword, "2A0101000000Z", "211012312359XXZ"));
    QVERIFY(writeRawTimeIssuer(issuer("fraction.pfx"), kIssuerPassword, "20090115083000.5Z", "21101231235959Z"));
}

void TestFormValidity::init()
{
    // The log goes to the working directory: each test gets a fresh one.
    mOldDir = QDir::currentPath();
    mpWorkDir = new QTemporaryDir;
    QVERIFY(QDir::setCurrent(mpWorkDir->path()));
    mpSettings = new CertificateSettings;
    mpSettings->serialNumber = 5;
    mpForm = new TalvaneWidget(nullptr, mpSettings);
    mpForm->show();
    QVERIFY(QTest::qWaitForWindowActive(mpForm));
}

void TestFormValidity::cleanup()
{
    delete mpForm;
    mpForm = nullptr;
    delete mpSettings;
    mpSettings = nullptr;
    QDir::setCurrent(mOldDir);
    delete mpWorkDir;
    mpWorkDir = nullptr;
}

void TestFormValidity::fillValid(int type, const QString& issuerPath)
{
    chooseType(mpForm, type);
    typeInto(mpForm->mpDestinationNameLineEdit, "out");
    typeInto(mpForm->mpDestinationPasswordLineEdit, "Secret");
    typeInto(mpForm->mpDestinationPasswordRepLineEdit, "Secret");
    typeInto(mpForm->mpRootLineEdit, issuerPath);
    typeInto(mpForm->mpRootPasswordLineEdit, QString::fromLatin1(kIssuerPassword));
    if (type == 1)
        typeInto(mpForm->mpPathLengthLineEdit, "2");
}

void TestFormValidity::correctedIntoTheIssuersPeriod_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("issuerFile");
    QTest::addColumn<QDateTime>("start"); // typed, local time
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QString>("message"); // empty: accepted at once
    QTest::addColumn<QString>("startShown"); // the edits afterwards, as the user sees them
    QTest::addColumn<QString>("endShown");
    QTest::addColumn<QString>("focused");

    const QDateTime inside = QDateTime::currentDateTime().addDays(-1);
    const QDateTime later = QDateTime::currentDateTime().addYears(2);
    const QString insideShown = inside.toString("yyyy.MM.dd HH:mm:ss");
    const QString laterShown = later.toString("yyyy.MM.dd HH:mm:ss");
    const QDateTime start = kStart.toLocalTime();
    const QDateTime end = kEnd.toLocalTime();
    for (int type : {1, 2})
    {
        QTest::addRow("type %d, start equal to the issuer's", type)
            << type << "plain.pfx" << start << later << "" << "2009.01.15 09:30:00" << laterShown << "";
        QTest::addRow("type %d, end equal to the issuer's", type)
            << type << "plain.pfx" << inside << end << "" << insideShown << "2111.01.01 00:59:59" << "";
        QTest::addRow("type %d, start one second early", type)
            << type << "plain.pfx" << start.addSecs(-1) << later << startTooEarly("Thu Jan 15 09:30:00 2009")
            << "2009.01.15 09:30:00" << laterShown << "mpStartValidityDateTimeEdit";
        QTest::addRow("type %d, end one second late", type)
            << type << "plain.pfx" << inside << end.addSecs(1) << endTooLate("Thu Jan 1 00:59:59 2111")
            << insideShown << "2111.01.01 00:59:59" << "mpEndValidityDateTimeEdit";
        QTest::addRow("type %d, both outside", type)
            << type << "plain.pfx" << start.addSecs(-1) << end.addSecs(1)
            << startTooEarly("Thu Jan 15 09:30:00 2009") + endTooLate("Thu Jan 1 00:59:59 2111")
            << "2009.01.15 09:30:00" << "2111.01.01 00:59:59" << "mpEndValidityDateTimeEdit";
        QTest::addRow("type %d, start 1960, end 2200", type)
            << type << "plain.pfx" << QDateTime(QDate(1960, 6, 1), QTime(12, 0))
            << QDateTime(QDate(2200, 6, 1), QTime(12, 0))
            << startTooEarly("Thu Jan 15 09:30:00 2009") + endTooLate("Thu Jan 1 00:59:59 2111")
            << "2009.01.15 09:30:00" << "2111.01.01 00:59:59" << "mpEndValidityDateTimeEdit";
        QTest::addRow("type %d, issuer start in the skipped hour", type)
            << type << "gap-padded.pfx" << kGapStart.toLocalTime().addSecs(-1) << later
            << startTooEarly("Sun Mar 29 04:30:00 2009") << "2009.03.29 04:30:00" << laterShown
            << "mpStartValidityDateTimeEdit";
        QTest::addRow("type %d, issuer end with a padded day", type)
            << type << "gap-padded.pfx" << inside << QDateTime(QDate(2110, 5, 5), QTime(10, 30, 1))
            << endTooLate("Mon May 5 10:30:00 2110") << insideShown << "2110.05.05 10:30:00"
            << "mpEndValidityDateTimeEdit";
    }
}

void TestFormValidity::correctedIntoTheIssuersPeriod()
{
    QFETCH(int, type);
    QFETCH(QString, issuerFile);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QString, message);
    QFETCH(QString, startShown);
    QFETCH(QString, endShown);
    QFETCH(QString, focused);
    fillValid(type, issuer(qPrintable(issuerFile)));
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, start);
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, end);

    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    {
        ModalAnswerer answerer;
        pressCreate(mpForm);
        QCOMPARE(answerer.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }
    QCOMPARE(mpForm->mpStartValidityDateTimeEdit->text(), startShown);
    QCOMPARE(mpForm->mpEndValidityDateTimeEdit->text(), endShown);
    QVERIFY(logLines().isEmpty());
    if (message.isEmpty())
    {
        QCOMPARE(created.count(), 1);
        return;
    }
    QCOMPARE(created.count(), 0);
    QCOMPARE(mpForm->focusWidget()->objectName(), focused);
    // The corrected date is selected whole, ready to be typed over.
    const auto* corrected = mpForm->findChild<QDateTimeEdit*>(focused);
    QCOMPARE(corrected->findChild<QLineEdit*>()->selectedText(), corrected->text());

    // The corrected values pass at the next press.
    ModalAnswerer answerer;
    pressCreate(mpForm);
    QCOMPARE(answerer.texts(), QStringList());
    QCOMPARE(created.count(), 1);
    QVERIFY(mpSettings->validityStart >= kStart);
}

void TestFormValidity::unreadableIssuerDates_data()
{
    QTest::addColumn<QString>("issuerFile");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logged"); // the one record's message
    const QString badStart = dateError("Start", "Bad time value");
    const QString badEnd = dateError("End", "Bad time value");
    const QString fraction = dateError("Start", "Jan 15 08:30:00.5 2009 GMT");
    QTest::newRow("malformed start") << "bad-start.pfx" << badStart << badStart;
    QTest::newRow("malformed end") << "bad-end.pfx" << badEnd << badEnd;
    QTest::newRow("both malformed: the start is logged") << "bad-both.pfx" << badStart + badEnd << badStart;
    QTest::newRow("start with fractional seconds") << "fraction.pfx" << fraction << fraction;
}

// No date is compared: the edits keep what was typed, even a start far before the issuer's.
void TestFormValidity::unreadableIssuerDates()
{
    QFETCH(QString, issuerFile);
    QFETCH(QString, message);
    QFETCH(QString, logged);
    fillValid(2, issuer(qPrintable(issuerFile)));
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, QDateTime(QDate(1960, 6, 1), QTime(12, 0)));
    mpForm->mpSerialLineEdit->setFocus(Qt::TabFocusReason);

    DiagnosticCapture capture;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QSignalSpy created(mpForm, &TalvaneWidget::CreateCertificatePressed);
    ModalAnswerer answerer;
    pressCreate(mpForm);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QCOMPARE(answerer.texts(), QStringList{message});
    QCOMPARE(created.count(), 0);
    QCOMPARE(mpForm->mpStartValidityDateTimeEdit->text(), QString("1960.06.01 12:00:00"));
    QCOMPARE(mpForm->focusWidget(), mpForm->mpCreateButton);
    QVERIFY(QString::fromLocal8Bit(capture.take()).contains(message));

    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    const int separator = lines.first().indexOf(QStringLiteral(" : "));
    QVERIFY(separator > 0);
    const QDateTime stamp = QDateTime::fromString(lines.first().left(separator), Qt::TextDate);
    QVERIFY2(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after, qPrintable(lines.first()));
    QCOMPARE(lines.first().mid(separator), " : TalvaneWidget::checkValidity(): " + logged.simplified());
    QVERIFY(!lines.first().contains(kIssuerPassword));
}

void TestFormValidity::eachRecordAppendedToTheDaysFile()
{
    QFile log(ValidityLog::filePath(QDate::currentDate()));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("earlier record\n");
    log.close();

    fillValid(1, issuer("bad-start.pfx"));
    ModalAnswerer answerer;
    pressCreate(mpForm);
    pressCreate(mpForm);
    QCOMPARE(answerer.boxes().size(), 2);
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.first(), QString("earlier record"));
    QCOMPARE(lines.at(1).mid(lines.at(1).indexOf(" : ")), lines.at(2).mid(lines.at(2).indexOf(" : ")));
}

void TestFormValidity::logThatCannotBeWritten_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    // Whoever runs the tests may write anywhere (root ignores permissions): a folder in the log
    // file's place, or a file system mounted read-only, is what makes the log impossible to open.
    QTest::newRow("a folder in the log file's place") << false;
    QTest::newRow("working directory on a read-only file system") << true;
}

void TestFormValidity::logThatCannotBeWritten()
{
    QFETCH(bool, readOnlyFolder);
    std::unique_ptr<SmallFileSystem> readOnly;
    if (readOnlyFolder)
    {
        QVERIFY(QDir::current().mkdir("read-only"));
        readOnly = std::make_unique<SmallFileSystem>(QDir::current().filePath("read-only"));
        if (!readOnly->mounted() || !readOnly->remountReadOnly())
            QSKIP(qPrintable("cannot mount a read-only file system here: " + readOnly->reason()));
        QVERIFY(QDir::setCurrent(readOnly->folder()));
    }
    // Out of the mounted folder before it is unmounted.
    const auto leave = qScopeGuard([&] {
        if (readOnly)
            QDir::setCurrent(mpWorkDir->path());
    });
    if (!readOnlyFolder)
        QVERIFY(QDir::current().mkdir(QFileInfo(ValidityLog::filePath(QDate::currentDate())).fileName()));

    fillValid(1, issuer("bad-end.pfx"));
    DiagnosticCapture capture;
    ModalAnswerer answerer;
    pressCreate(mpForm);
    // The user hears of the date, not of the log.
    QCOMPARE(answerer.texts(), QStringList{dateError("End", "Bad time value")});
    // The date error as printed, then the log's own line, which has no line end (the test
    // framework's own lines may follow).
    const QByteArray printed = capture.take();
    const QByteArray expected = dateError("End", "Bad time value").toLatin1() +
                                "TalvaneWidget::checkValidity(): Could not write log file!";
    QVERIFY2(printed.contains(expected), printed.constData());
    QVERIFY(!printed.contains(expected + '\n'));
    QCOMPARE(printed.count("Could not write log file!"), 1);
    if (readOnlyFolder)
        QVERIFY(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

// Called alone, the check shows its own box and corrects the edits all the same.
void TestFormValidity::checkCalledAlone()
{
    fillValid(1, issuer("plain.pfx"));
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, QDateTime(QDate(2200, 1, 1), QTime(0, 0)));
    ModalAnswerer answerer;
    bool passed = true;
    QVERIFY(QMetaObject::invokeMethod(mpForm, "checkValidity", Q_RETURN_ARG(bool, passed)));
    QVERIFY(!passed);
    QCOMPARE(answerer.texts(), QStringList{endTooLate("Thu Jan 1 00:59:59 2111")});
    QCOMPARE(mpForm->mpEndValidityDateTimeEdit->dateTime(), kEnd);
    QVERIFY(QMetaObject::invokeMethod(mpForm, "checkValidity", Q_RETURN_ARG(bool, passed)));
    QVERIFY(passed);
    QCOMPARE(answerer.boxes().size(), 1);
}

// The certificate texts are English whatever the user's language: the month names must be read
// as such. QDateTime::fromString ignores both the system locale (LANG, LC_ALL) and the default
// locale; the child process runs under a German environment and a German default.
void TestFormValidity::monthNamesUnderAGermanSystemLanguage()
{
    if (!qEnvironmentVariableIsSet("TALVANE_GERMAN_CHILD"))
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TALVANE_GERMAN_CHILD", "1");
        environment.insert("LANG", "de_DE.UTF-8");
        environment.insert("LC_ALL", "de_DE.UTF-8");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"monthNamesUnderAGermanSystemLanguage"});
        QVERIFY(child.waitForFinished(120000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("Totals: 3 passed, 0 failed"), output.constData());
        return;
    }

    QCOMPARE(QLocale::system().language(), QLocale::German);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // "Mär", "Mai" in German: the English "Mar" and "May" of the certificate must still be read.
    fillValid(1, issuer("gap-padded.pfx"));
    typeDateTime(mpForm->mpStartValidityDateTimeEdit, kGapStart.toLocalTime().addSecs(-1));
    typeDateTime(mpForm->mpEndValidityDateTimeEdit, QDateTime(QDate(2110, 5, 5), QTime(10, 30, 1)));
    ModalAnswerer answerer;
    pressCreate(mpForm);
    QCOMPARE(answerer.texts(),
             QStringList{startTooEarly("Sun Mar 29 04:30:00 2009") + endTooLate("Mon May 5 10:30:00 2110")});
    QVERIFY(logLines().isEmpty());
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TestFormValidity)
#include "tst_formvalidity.moc"
