// The certificate rules at their edges, the reading of an issuing file and the password type.
// Runs with TZ=Europe/Berlin, so local and UTC times differ.

#include "certificaterules.h"
#include "chainrules.h"
#include "certificatesettings.h"
#include "certificatetype.h"
#include "issuingcertificate.h"
#include "secret.h"
#include "settingsissue.h"
#include "zidcertificate.h"

#include "osslptr.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <openssl/pem.h>

#include <utility>

namespace Rules = CertificateRules;

Q_DECLARE_METATYPE(Rules::PathLengthFit)
Q_DECLARE_METATYPE(Rules::PeriodFinding)
Q_DECLARE_METATYPE(Rules::NameField)
Q_DECLARE_METATYPE(Rules::ChainPeriodFinding)

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
    void namesReadBackAsTyped();
    void secretMovesItsOneBuffer();
    void secretLeavesSharedTextAlone();

    // The rules of a chain made in one go.
    void printableNames_data();
    void printableNames();
    void leafRoleGivenTwice_data();
    void leafRoleGivenTwice();
    void chainPathLengths();
    void chainPeriod_data();
    void chainPeriod();
    void serialRuns();
    void randomSerials_data();
    void randomSerials();
    void drawnSerials();
    void wideSerials_data();
    void wideSerials();
    void wideSerialRuns();
    void validityWarnings_data();
    void validityWarnings();
    void settingsSerialsWrittenWhole_data();
    void settingsSerialsWrittenWhole();

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
    // The engine takes 64 bytes of Latin-1 text: one byte for every character, an umlaut too.
    QVERIFY(Rules::fitsNameEntry(QString(64, QLatin1Char('a'))));
    QVERIFY(!Rules::fitsNameEntry(QString(65, QLatin1Char('a'))));
    QVERIFY(Rules::fitsNameEntry(QString(64, QChar(0x00e9))));
    QVERIFY(!Rules::fitsNameEntry(QString(64, QChar(0x00e9)) + QLatin1Char('a')));
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
    // The engine counts the bytes of its Latin-1 text: one for each of these too.
    QTest::newRow("authority, 63 accented characters") << false << QString(63, QChar(0x00e9)) << true << 63;
    QTest::newRow("authority, 64 accented characters") << false << QString(64, QChar(0x00e9)) << false << 63;
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

// Names with an umlaut reach every reader as typed; a character the 8-bit text cannot hold
// becomes "?" rather than a sequence of wrong letters.
void TestCore::namesReadBackAsTyped()
{
    CertificateSettings settings;
    settings.ca = true;
    settings.pathLength = 1;
    settings.rootName = QStringLiteral("Kino M\u00fcller");
    settings.organizationName = QStringLiteral("\u00d6lberg \u6771");
    settings.entityName = QStringLiteral(".Zo\u00eb");
    settings.serialNumber = 2;
    settings.validityStart = kIssuerStart;
    settings.validityEnd = kIssuerEnd;
    ZIDCertificate root;
    QVERIFY(IssueFromSettings(root, settings, int(CertificateType::Root), Secret()));
    const QString pem = mDir.filePath(QStringLiteral("names.pem"));
    QVERIFY(root.WritePem(pem.toStdString().c_str()) != 0);

    BioPtr file(BIO_new_file(pem.toStdString().c_str(), "r"));
    const X509Ptr certificate(PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr));
    QVERIFY(certificate);
    const auto entry = [&](int nid) {
        const X509_NAME* subject = X509_get_subject_name(certificate.get());
        const int index = X509_NAME_get_index_by_NID(subject, nid, -1);
        unsigned char* utf8 = nullptr;
        const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(utf8), length);
        OPENSSL_free(utf8);
        return text;
    };
    QCOMPARE(entry(NID_organizationName), QStringLiteral("Kino M\u00fcller"));
    QCOMPARE(entry(NID_organizationalUnitName), QStringLiteral("\u00d6lberg ?"));
    QCOMPARE(entry(NID_commonName), QStringLiteral(".Zo\u00eb"));
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

void TestCore::printableNames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position"); // -1: every character fits
    QTest::addColumn<uint>("character");

    // ASN.1 PrintableString: A-Z, a-z, 0-9, space and ' ( ) + , - . / : = ?
    QTest::newRow("every character it holds")
        << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 '()+,-./:=?") << -1 << 0u;
    QTest::newRow("empty") << QString() << -1 << 0u;
    QTest::newRow("underscore") << QStringLiteral(".Studio_1") << 7 << uint('_');
    QTest::newRow("at sign") << QStringLiteral("a@b") << 1 << uint('@');
    QTest::newRow("asterisk") << QStringLiteral("*") << 0 << uint('*');
    QTest::newRow("ampersand") << QStringLiteral("R&D") << 1 << uint('&');
    QTest::newRow("tab") << QStringLiteral("a\tb") << 1 << 9u;
    QTest::newRow("accented letter") << QStringLiteral("Caf\u00e9") << 3 << 0xe9u;
    QTest::newRow("beyond the first plane") << QString::fromUcs4(U"Film \U0001F3AC") << 5 << 0x1f3acu;
}

void TestCore::printableNames()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(uint, character);
    const Rules::PrintableFinding finding = Rules::checkPrintable(text);
    QCOMPARE(finding.position, position);
    QCOMPARE(finding.fits(), position < 0);
    if (position >= 0)
        QCOMPARE(uint(finding.character), character);
}

void TestCore::leafRoleGivenTwice_data()
{
    QTest::addColumn<QString>("entity");
    QTest::addColumn<bool>("given");
    QTest::newRow("role and entity") << "CS.Player" << true;
    QTest::newRow("dot, role and entity") << ".CS.Player" << true;
    QTest::newRow("the role alone") << "CS." << true;
    QTest::newRow("entity alone") << "Player" << false;
    QTest::newRow("dot and entity") << ".Player" << false;
    QTest::newRow("entity starting with the role's letters") << "CSPlayer" << false;
    QTest::newRow("the role's letters without the dot") << "CS" << false;
    QTest::newRow("role in lower case") << "cs.player" << false;
}

void TestCore::leafRoleGivenTwice()
{
    QFETCH(QString, entity);
    QFETCH(bool, given);
    QCOMPARE(Rules::leafRoleAlreadyGiven(entity), given);
    // Given twice is exactly when the leaf's common name would start with the role twice.
    QCOMPARE(Rules::EntityNameWithRoles(entity, true).startsWith(QLatin1String("CS.CS.")), given);
}

void TestCore::chainPathLengths()
{
    QVERIFY(Rules::chainIntermediatesAllowed(0));
    QVERIFY(Rules::chainIntermediatesAllowed(8));
    QVERIFY(!Rules::chainIntermediatesAllowed(9));
    QVERIFY(!Rules::chainIntermediatesAllowed(-1));
    for (int intermediates = 0; intermediates <= 8; ++intermediates)
    {
        // The last intermediate 1, each authority above it one more: the root N + 1.
        QCOMPARE(Rules::chainPathLength(0, intermediates), qint64(intermediates + 1));
        QCOMPARE(Rules::chainPathLength(intermediates, intermediates), qint64(1));
        for (int level = 1; level <= intermediates; ++level)
            QCOMPARE(Rules::pathLengthUnderIssuer(Rules::chainPathLength(level, intermediates),
                                                  Rules::chainPathLength(level - 1, intermediates)),
                     Rules::PathLengthFit::Fits);
        // The leaf (path length 0) under the last authority.
        QCOMPARE(Rules::pathLengthUnderIssuer(0, Rules::chainPathLength(intermediates, intermediates)),
                 Rules::PathLengthFit::Fits);
    }
}

void TestCore::chainPeriod_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("start"); // invalid: not given
    QTest::addColumn<QDateTime>("end");   // invalid: not given
    QTest::addColumn<QDateTime>("expectedStart");
    QTest::addColumn<QDateTime>("expectedEnd");
    QTest::addColumn<Rules::ChainPeriodFinding>("finding");

    using Finding = Rules::ChainPeriodFinding;
    const QDateTime latest(QDate(2038, 1, 19), QTime(3, 14, 7), Qt::UTC);
    const QDateTime now(QDate(2025, 6, 1), QTime(10, 0, 0, 700), Qt::UTC);
    const QDateTime second(QDate(2025, 6, 1), QTime(10, 0, 0), Qt::UTC);
    const QDateTime none;
    QTest::newRow("nothing given: 3,649 days from now")
        << now << none << none << second << QDateTime(QDate(2035, 5, 29), QTime(10, 0, 0), Qt::UTC) << Finding::Valid;
    QTest::newRow("a start given: 3,649 days from it")
        << now << QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC) << none
        << QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC) << QDateTime(QDate(2035, 12, 29), QTime(0, 0), Qt::UTC)
        << Finding::Valid;
    const QDateTime late(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC);
    QTest::newRow("default end capped at the 32-bit limit") << late << none << none << late << latest
                                                            << Finding::Valid;
    QTest::newRow("end given at the limit") << now << none << latest << second << latest << Finding::Valid;
    QTest::newRow("end given one second after the limit")
        << now << none << latest.addSecs(1) << second << latest.addSecs(1) << Finding::EndAfterLatest;
    QTest::newRow("start given after the capped end")
        << now << latest.addDays(1) << none << latest.addDays(1) << latest << Finding::EndNotAfterStart;
    QTest::newRow("end given in the past") << now << second.addDays(-30) << second.addDays(-1) << second.addDays(-30)
                                           << second.addDays(-1) << Finding::EndPassed;
}

void TestCore::chainPeriod()
{
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QDateTime, expectedStart);
    QFETCH(QDateTime, expectedEnd);
    QFETCH(Rules::ChainPeriodFinding, finding);
    const Rules::ChainPeriod period = Rules::chainPeriod(start, end, now);
    QCOMPARE(period.start, expectedStart);
    QCOMPARE(period.end, expectedEnd);
    QCOMPARE(Rules::checkChainPeriod(period, now), finding);
    // One period for all: every certificate's lies inside its issuer's.
    QVERIFY(Rules::validityInsideIssuer(period.start, period.end, period.start, period.end).fits());
}

void TestCore::serialRuns()
{
    QVERIFY(Rules::serialRunAllowed(1, 10));
    QVERIFY(Rules::serialRunAllowed(2147483645, 3));
    QVERIFY(!Rules::serialRunAllowed(2147483646, 3));
    QVERIFY(!Rules::serialRunAllowed(0, 3));
    QVERIFY(!Rules::serialRunAllowed(1, 0));
}

void TestCore::randomSerials_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::addColumn<qint64>("serial"); // 0: refused, draw again
    QTest::newRow("all zero") << quint32(0) << qint64(0);
    QTest::newRow("top bit alone") << quint32(0x80000000) << qint64(0);
    QTest::newRow("one") << quint32(1) << qint64(1);
    QTest::newRow("one with the top bit") << quint32(0x80000001) << qint64(1);
    QTest::newRow("largest signed 32-bit") << quint32(0x7fffffff) << qint64(2147483647);
    QTest::newRow("all ones") << quint32(0xffffffff) << qint64(2147483647);
}

void TestCore::randomSerials()
{
    QFETCH(quint32, bits);
    QFETCH(qint64, serial);
    const std::optional<qint64> made = Rules::serialFromRandomBits(bits);
    QCOMPARE(made.has_value(), serial != 0);
    if (made)
        QCOMPARE(*made, serial);
}

void TestCore::drawnSerials()
{
    // In range, and as varied as 31 random bits are: among 200 draws one pair alike comes once in
    // about 100,000 runs, two pairs practically never.
    QSet<qint64> seen;
    for (int i = 0; i < 200; ++i)
    {
        const std::optional<qint64> serial = Rules::drawRandomSerial();
        QVERIFY(serial.has_value());
        QVERIFY(Rules::serialNumberAllowed(*serial));
        seen.insert(*serial);
    }
    QVERIFY(seen.size() >= 199);
}

void TestCore::wideSerials_data()
{
    QTest::addColumn<quint64>("bits");
    QTest::addColumn<qint64>("serial"); // 0: drawn again
    QTest::newRow("zero is drawn again") << quint64(0) << qint64(0);
    QTest::newRow("only the top bit is drawn again") << (quint64(1) << 63) << qint64(0);
    QTest::newRow("one") << quint64(1) << qint64(1);
    QTest::newRow("past 32 bits") << (quint64(1) << 32) << (qint64(1) << 32);
    QTest::newRow("all ones is 2^63-1") << ~quint64(0) << qint64(0x7fffffffffffffffLL);
}

void TestCore::wideSerials()
{
    QFETCH(quint64, bits);
    QFETCH(qint64, serial);
    const std::optional<qint64> made = Rules::wideSerialFromRandomBits(bits);
    QCOMPARE(made.has_value(), serial != 0);
    if (made)
        QCOMPARE(*made, serial);
    // 2^63-1 is the last allowed; a run across it is refused without overflowing.
    const qint64 last = 0x7fffffffffffffffLL;
    QVERIFY(Rules::wideSerialAllowed(last) && !Rules::wideSerialAllowed(0));
    QVERIFY(Rules::wideSerialRunAllowed(last, 1) && !Rules::wideSerialRunAllowed(last, 2));
    QVERIFY(Rules::wideSerialRunAllowed(last - 9, 10) && !Rules::wideSerialRunAllowed(last - 9, 11));
}

void TestCore::wideSerialRuns()
{
    // Drawn values use more than 31 bits: among 200, one above 2^32 all but surely.
    bool above32 = false;
    for (int i = 0; i < 200; ++i)
    {
        const std::optional<qint64> serial = Rules::drawRandomWideSerial();
        QVERIFY(serial && Rules::wideSerialAllowed(*serial));
        above32 = above32 || *serial > (qint64(1) << 32);
    }
    QVERIFY(above32);
}

void TestCore::validityWarnings_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<bool>("past2038");
    QTest::addColumn<bool>("overTenYears");
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime last(QDate(2038, 1, 19), QTime(3, 14, 7), Qt::UTC);
    QTest::newRow("exactly 3,650 days") << start << start.addDays(3650) << false << false;
    QTest::newRow("3,650 days and a second") << start << start.addDays(3650).addSecs(1) << false << true;
    QTest::newRow("ends at the last 32-bit second") << last.addYears(-1) << last << false << false;
    QTest::newRow("ends a second later") << last.addYears(-1) << last.addSecs(1) << true << false;
    QTest::newRow("both") << start.addYears(-5) << last.addDays(1) << true << true;
}

void TestCore::validityWarnings()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(bool, past2038);
    QFETCH(bool, overTenYears);
    const Rules::ValidityWarnings warnings = Rules::validityWarnings(start, end);
    QCOMPARE(warnings.past2038, past2038);
    QCOMPARE(warnings.overTenYears, overTenYears);
}

void TestCore::settingsSerialsWrittenWhole_data()
{
    QTest::addColumn<qint64>("serial");
    QTest::newRow("the window's largest") << qint64(2147483647);
    QTest::newRow("one past it, never negative") << qint64(2147483648LL);
    QTest::newRow("2^63-1") << qint64(0x7fffffffffffffffLL);
}

void TestCore::settingsSerialsWrittenWhole()
{
    QFETCH(qint64, serial);
    static const EvpPkeyPtr key(EVP_RSA_gen(2048));
    QVERIFY(key && EVP_PKEY_up_ref(key.get()) == 1);
    CertificateSettings settings;
    settings.ca = true;
    settings.serialNumber = serial;
    settings.validityStart = kIssuerStart;
    settings.validityEnd = kIssuerEnd;
    ZIDCertificate root;
    QVERIFY(IssueFromSettings(root, settings, int(CertificateType::Root), Secret(), key.get()));
    int64_t written = 0;
    QVERIFY(ASN1_INTEGER_get_int64(&written, X509_get0_serialNumber(root.mpX509)) == 1);
    QCOMPARE(qint64(written), serial);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
