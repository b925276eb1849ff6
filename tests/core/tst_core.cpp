// The certificate rules at their edges, the reading of an issuing file and the password type.
// Runs with TZ=Europe/Berlin, so local and UTC times differ.

#include "certificaterules.h"
#include "certificatesettings.h"
#include "certificatetype.h"
#include "issuingcertificate.h"
#include "secret.h"
#include "settingsissue.h"
#include "zidcertificate.h"

#include <QTemporaryDir>
#include <QTest>

#include <utility>

namespace Rules = CertificateRules;

Q_DECLARE_METATYPE(Rules::PathLengthFit)
Q_DECLARE_METATYPE(Rules::PeriodFinding)
Q_DECLARE_METATYPE(Rules::NameField)

namespace
{

const QDateTime kIssuerStart(QDate(2009, 1, 15), QTime(8, 30, 0), Qt::UTC);
const QDateTime kIssuerEnd(QDate(2110, 12, 31), QTime(23, 59, 59), Qt::UTC);

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pathLengthUnderIssuer_data();
    void pathLengthUnderIssuer();
    void validityInsideIssuer_data();
    void validityInsideIssuer();
    void period_data();
    void period();
    void serialRange();
    void nameFieldLimits_data();
    void nameFieldLimits();
    void nameEntryLimit();
    void entityNameWithRoles_data();
    void entityNameWithRoles();
    void missingNames_data();
    void missingNames();
    void entityFitsCommonName_data();
    void entityFitsCommonName();
    void issuerTimes_data();
    void issuerTimes();
    void readingAnIssuingFile();
    void secretMovesItsOneBuffer();
    void secretLeavesSharedTextAlone();

private:
    QTemporaryDir mDir;
    QString mIssuerPath;
};

void TestCore::initTestCase()
{
    QVERIFY(mDir.isValid());
    // A root with path length 2 and the O the derived certificates inherit.
    CertificateSettings settings;
    settings.ca = true;
    settings.pathLength = 2;
    settings.rootName = QStringLiteral(".Studio.Example");
    settings.serialNumber = 1;
    settings.validityStart = kIssuerStart;
    settings.validityEnd = kIssuerEnd;
    ZIDCertificate root;
    QVERIFY(IssueFromSettings(root, settings, int(CertificateType::Root), Secret()));
    mIssuerPath = mDir.filePath(QStringLiteral("root.pfx"));
    QVERIFY(root.WritePKCS12(mIssuerPath.toStdString().c_str(), "issuer secret") != 0);
}

void TestCore::pathLengthUnderIssuer_data()
{
    QTest::addColumn<qint64>("requested"); // a leaf asks for 0
    QTest::addColumn<qint64>("issuer");
    QTest::addColumn<Rules::PathLengthFit>("fit");

    using Fit = Rules::PathLengthFit;
    QTest::newRow("one below the issuer's") << qint64(2) << qint64(3) << Fit::Fits;
    QTest::newRow("equal to the issuer's") << qint64(3) << qint64(3) << Fit::TooLong;
    QTest::newRow("above the issuer's") << qint64(7) << qint64(3) << Fit::TooLong;
    QTest::newRow("leaf under path length 1") << qint64(0) << qint64(1) << Fit::Fits;
    QTest::newRow("intermediate under path length 1") << qint64(1) << qint64(1) << Fit::TooLong;
    QTest::newRow("leaf under path length 0") << qint64(0) << qint64(0) << Fit::IssuerSignsNothing;
    QTest::newRow("intermediate under path length 0") << qint64(1) << qint64(0) << Fit::IssuerSignsNothing;
    QTest::newRow("leaf under a negative path length") << qint64(0) << qint64(-1) << Fit::IssuerSignsNothing;
}

void TestCore::pathLengthUnderIssuer()
{
    QFETCH(qint64, requested);
    QFETCH(qint64, issuer);
    QFETCH(Rules::PathLengthFit, fit);
    QCOMPARE(Rules::pathLengthUnderIssuer(requested, issuer), fit);
    // What the rule proposes instead of a path length too long always fits.
    if (fit == Rules::PathLengthFit::TooLong)
        QCOMPARE(Rules::pathLengthUnderIssuer(Rules::largestPathLengthUnder(issuer), issuer),
                 Rules::PathLengthFit::Fits);
}

void TestCore::validityInsideIssuer_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<bool>("startTooEarly");
    QTest::addColumn<bool>("endTooLate");

    const QDateTime inside = kIssuerStart.addYears(1);
    QTest::newRow("equal to the issuer's") << kIssuerStart << kIssuerEnd << false << false;
    QTest::newRow("the same instants in local time")
        << kIssuerStart.toLocalTime() << kIssuerEnd.toLocalTime() << false << false;
    QTest::newRow("start one second early") << kIssuerStart.addSecs(-1) << inside << true << false;
    QTest::newRow("end one second late") << inside << kIssuerEnd.addSecs(1) << false << true;
    // Whole seconds: the milliseconds of the window's fields are cut, not rounded.
    QTest::newRow("start 999 ms after the issuer's second") << kIssuerStart.addMSecs(999) << inside << false << false;
    QTest::newRow("start 1 ms early") << kIssuerStart.addMSecs(-1) << inside << true << false;
    QTest::newRow("end 999 ms into the issuer's last second") << inside << kIssuerEnd.addMSecs(999) << false << false;
    QTest::newRow("both outside") << kIssuerStart.addYears(-1) << kIssuerEnd.addYears(1) << true << true;
}

void TestCore::validityInsideIssuer()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(bool, startTooEarly);
    QFETCH(bool, endTooLate);
    const Rules::ValidityFit fit = Rules::validityInsideIssuer(start, end, kIssuerStart, kIssuerEnd);
    QCOMPARE(fit.startTooEarly, startTooEarly);
    QCOMPARE(fit.endTooLate, endTooLate);
    QCOMPARE(fit.fits(), !startTooEarly && !endTooLate);
}

void TestCore::period_data()
{
    QTest::addColumn<qint64>("startMs"); // relative to now
    QTest::addColumn<qint64>("endMs");
    QTest::addColumn<Rules::PeriodFinding>("finding");

    using Finding = Rules::PeriodFinding;
    QTest::newRow("start one millisecond before end") << qint64(3599999) << qint64(3600000) << Finding::Valid;
    QTest::newRow("start equal to end") << qint64(3600000) << qint64(3600000) << Finding::EndNotAfterStart;
    QTest::newRow("start after end") << qint64(7200000) << qint64(3600000) << Finding::EndNotAfterStart;
    QTest::newRow("end one millisecond ahead") << qint64(-86400000) << qint64(1) << Finding::Valid;
    QTest::newRow("end now") << qint64(-86400000) << qint64(0) << Finding::EndPassed;
    QTest::newRow("end one minute past") << qint64(-86400000) << qint64(-60000) << Finding::EndPassed;
}

void TestCore::period()
{
    QFETCH(qint64, startMs);
    QFETCH(qint64, endMs);
    QFETCH(Rules::PeriodFinding, finding);
    const QDateTime now(QDate(2030, 3, 31), QTime(2, 30, 0, 500), Qt::UTC);
    QCOMPARE(Rules::checkPeriod(now.addMSecs(startMs), now.addMSecs(endMs), now), finding);
}

void TestCore::serialRange()
{
    // From 1 to the largest signed 32-bit number, 2^31 - 1.
    QVERIFY(!Rules::serialNumberAllowed(-1));
    QVERIFY(!Rules::serialNumberAllowed(0));
    QVERIFY(Rules::serialNumberAllowed(1));
    QVERIFY(Rules::serialNumberAllowed((qint64(1) << 31) - 1));
    QVERIFY(!Rules::serialNumberAllowed(qint64(1) << 31));
}

void TestCore::nameFieldLimits_data()
{
    QTest::addColumn<Rules::NameField>("field");
    QTest::addColumn<int>("limit");
    QTest::newRow("root name") << Rules::NameField::RootName << 64;
    QTest::newRow("organisation") << Rules::NameField::Organization << 32;
    QTest::newRow("entity") << Rules::NameField::Entity << 64;
}

void TestCore::nameFieldLimits()
{
    QFETCH(Rules::NameField, field);
    QFETCH(int, limit);
    QCOMPARE(Rules::maxLength(field), limit);
    QVERIFY(Rules::fitsField(field, QString(limit, QLatin1Char('a'))));
    QVERIFY(!Rules::fitsField(field, QString(limit + 1, QLatin1Char('a'))));
    // Counted as a line edit counts: characters of two UTF-8 bytes count once, characters
    // beyond the first plane (a surrogate pair each) twice.
    QVERIFY(Rules::fitsField(field, QString(limit, QChar(0x00e9))));
    const QString pair = QString::fromUcs4(U"\U0001F3AC");
    QVERIFY(Rules::fitsField(field, pair.repeated(limit / 2)));
    QVERIFY(!Rules::fitsField(field, pair.repeated(limit / 2) + QLatin1Char('a')));
}

void TestCore::nameEntryLimit()
{
    // The engine takes 64 bytes of 8-bit text: 64 ASCII characters, or 32 of two bytes each.
    QVERIFY(Rules::fitsNameEntry(QString(64, QLatin1Char('a'))));
    QVERIFY(!Rules::fitsNameEntry(QString(65, QLatin1Char('a'))));
    QVERIFY(Rules::fitsNameEntry(QString(32, QChar(0x00e9))));
    QVERIFY(!Rules::fitsNameEntry(QString(32, QChar(0x00e9)) + QLatin1Char('a')));
}

void TestCore::entityNameWithRoles_data()
{
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QString>("authority");
    QTest::addColumn<QString>("leaf");
    QTest::newRow("without dot") << "Player" << ".Player" << "CS.Player";
    QTest::newRow("with dot") << ".Player" << ".Player" << "CS.Player";
    QTest::newRow("empty: the roles alone") << "" << "." << "CS.";
}

void TestCore::entityNameWithRoles()
{
    QFETCH(QString, entity);
    QFETCH(QString, authority);
    QFETCH(QString, leaf);
    QCOMPARE(Rules::EntityNameWithRoles(entity, false), authority);
    QCOMPARE(Rules::EntityNameWithRoles(entity, true), leaf);
}

void TestCore::missingNames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("rootName");
    QTest::addColumn<QString>("organization");
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QList<Rules::NameField>>("missing");

    using F = Rules::NameField;
    QTest::newRow("root with all three") << 0 << "R" << "O" << "E" << QList<F>{};
    QTest::newRow("root without any, in the window's order")
        << 0 << "" << "" << "" << QList<F>{F::RootName, F::Organization, F::Entity};
    QTest::newRow("root without its O") << 0 << "" << "O" << "E" << QList<F>{F::RootName};
    QTest::newRow("intermediate: the O is the issuer's") << 1 << "" << "O" << "E" << QList<F>{};
    QTest::newRow("intermediate without OU") << 1 << "R" << "" << "E" << QList<F>{F::Organization};
    QTest::newRow("leaf without OU and entity")
        << 2 << "" << "" << "" << QList<F>{F::Organization, F::Entity};
    QTest::newRow("a blank is a name") << 2 << "" << " " << " " << QList<F>{};
    QTest::newRow("no such type needs nothing") << 3 << "" << "" << "" << QList<F>{};
}

void TestCore::missingNames()
{
    QFETCH(int, type);
    QFETCH(QString, rootName);
    QFETCH(QString, organization);
    QFETCH(QString, entity);
    QFETCH(QList<Rules::NameField>, missing);
    QCOMPARE(Rules::missingNames(CertificateType(type), {rootName, organization, entity}), missing);
}

void TestCore::entityFitsCommonName_data()
{
    QTest::addColumn<bool>("leaf");
    QTest::addColumn<QString>("entity");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("room");

    // A CN holds 64 characters: "." leaves 63, "CS." 61; a text with its own dot loses none
    // to the dot.
    const QString a(QLatin1Char('a'));
    QTest::newRow("authority, 63 after the dot") << false << a.repeated(63) << true << 63;
    QTest::newRow("authority, 64 after the dot") << false << a.repeated(64) << false << 63;
    QTest::newRow("authority, own dot and 63") << false << "." + a.repeated(63) << true << 64;
    QTest::newRow("leaf, 61 after CS.") << true << a.repeated(61) << true << 61;
    QTest::newRow("leaf, 62 after CS.") << true << a.repeated(62) << false << 61;
    QTest::newRow("leaf, own dot and 61") << true << "." + a.repeated(61) << true << 62;
    QTest::newRow("leaf, own dot and 62") << true << "." + a.repeated(62) << false << 62;
    // The engine counts the bytes of the 8-bit text: two for each of these.
    QTest::newRow("authority, 31 two-byte characters") << false << QString(31, QChar(0x00e9)) << true << 63;
    QTest::newRow("authority, 32 two-byte characters") << false << QString(32, QChar(0x00e9)) << false << 63;
}

void TestCore::entityFitsCommonName()
{
    QFETCH(bool, leaf);
    QFETCH(QString, entity);
    QFETCH(bool, fits);
    QFETCH(int, room);
    const Rules::EntityFit fit = Rules::entityFitsCommonName(entity, leaf);
    QCOMPARE(fit.fits, fits);
    QCOMPARE(fit.room, room);
}

void TestCore::issuerTimes_data()
{
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QDateTime>("time"); // invalid: not readable

    QTest::newRow("two-digit day") << "Jan 15 08:30:00 2009 GMT" << kIssuerStart;
    QTest::newRow("day padded with a blank")
        << "May  5 08:30:00 2110 GMT" << QDateTime(QDate(2110, 5, 5), QTime(8, 30, 0), Qt::UTC);
    // 02:30 does not exist on Berlin's clocks that night; as UTC it does.
    QTest::newRow("inside the local spring-forward gap")
        << "Mar 29 02:30:00 2009 GMT" << QDateTime(QDate(2009, 3, 29), QTime(2, 30, 0), Qt::UTC);
    QTest::newRow("another form") << "2009-01-15 08:30:00 GMT" << QDateTime();
    QTest::newRow("shorter than the zone suffix") << "GMT" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TestCore::issuerTimes()
{
    QFETCH(QString, printed);
    QFETCH(QDateTime, time);
    const QDateTime parsed = parseIssuerTime(printed);
    QCOMPARE(parsed.isValid(), time.isValid());
    if (time.isValid())
    {
        QCOMPARE(parsed, time);
        QCOMPARE(parsed.timeSpec(), Qt::UTC);
    }
}

void TestCore::readingAnIssuingFile()
{
    const IssuerReading missing = ReadIssuingCertificate(mDir.filePath("none.pfx"), Secret(QStringLiteral("x")));
    QCOMPARE(missing.outcome, IssuerReading::Missing);
    const IssuerReading wrong = ReadIssuingCertificate(mIssuerPath, Secret(QStringLiteral("not the password")));
    QCOMPARE(wrong.outcome, IssuerReading::Unreadable);

    const IssuerReading read = ReadIssuingCertificate(mIssuerPath, Secret(QStringLiteral("issuer secret")));
    QCOMPARE(read.outcome, IssuerReading::Read);
    QCOMPARE(read.certificate.pathLength, 2);
    QCOMPARE(read.certificate.organization, QStringLiteral(".Studio.Example"));
    QCOMPARE(read.certificate.start, kIssuerStart);
    QCOMPARE(read.certificate.end, kIssuerEnd);
    QCOMPARE(read.certificate.printedStart, QStringLiteral("Jan 15 08:30:00 2009 GMT"));
    QCOMPARE(read.certificate.printedEnd, QStringLiteral("Dec 31 23:59:59 2110 GMT"));
}

void TestCore::secretMovesItsOneBuffer()
{
    // The window's 8-bit form of a password: UTF-8.
    Secret first(QStringLiteral("p\u00e4ss"));
    QCOMPARE(QByteArray(first.data()), QByteArray("p\xc3\xa4ss"));
    const char* buffer = first.data();

    // A move hands the buffer over: no second copy of the bytes is left anywhere.
    Secret second(std::move(first));
    QVERIFY(second.data() == buffer);
    QVERIFY(first.isEmpty());
    QCOMPARE(first.data(), "");

    Secret third(QStringLiteral("other"));
    third = std::move(second);
    QVERIFY(third.data() == buffer);
    QVERIFY(second.isEmpty());

    third.assign("new", 3);
    QCOMPARE(QByteArray(third.data()), QByteArray("new"));
    third.clear();
    QVERIFY(third.isEmpty());
}

void TestCore::secretLeavesSharedTextAlone()
{
    // A temporary made only for the secret is emptied; a text still held elsewhere (a field's
    // own text) is not touched.
    QString alone = QStringLiteral("alone");
    alone.detach();
    const Secret fromAlone(std::move(alone));
    QVERIFY(alone.isEmpty());
    QCOMPARE(QByteArray(fromAlone.data()), QByteArray("alone"));

    const QString field = QStringLiteral("field text").repeated(2);
    QString copy = field;
    const Secret fromShared(std::move(copy));
    QCOMPARE(field, QStringLiteral("field textfield text"));
    QCOMPARE(QByteArray(fromShared.data()), QByteArray("field textfield text"));
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
