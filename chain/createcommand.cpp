// talvane-chain root|intermediate|leaf: one certificate, by the window's rules, without questions.

#include "chaincommand.h"
#include "commandline.h"
#include "outputnames.h"
#include "passwordsource.h"
#include "prngseed.h"
#include "serialnumbertrace.h"
#include "settingsissue.h"
#include "zidcertificate.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <limits>
#include <optional>

namespace
{

constexpr qint64 kLargestSerial = std::numeric_limits<qint32>::max();
constexpr int kLongestName = 64; // longest CN, O and OU the engine accepts

// What the command line asks for, checked against itself but not yet against the issuer.
struct Request
{
    int type = RootCertificate;
    CertificateSettings settings;
    QString out;
    bool pathLengthGiven = false;
    bool startGiven = false;
    bool endGiven = false;
    bool serialGiven = false;
    bool force = false;
};

bool isDerived(int type)
{
    return type != RootCertificate;
}

// A plain decimal number; anything else (signs, spaces, letters) is refused.
std::optional<qint64> parseNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return text.toLongLong();
}

// ISO 8601; without an offset the time is local, as in the window's date fields. Whole
// seconds: certificates hold no more.
std::optional<QDateTime> parseTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(time.toSecsSinceEpoch(), Qt::UTC);
}

QString printed(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

std::optional<CommandError> readName(const QCommandLineParser& parser, const char* option, QString& field)
{
    const QString name = QString::fromLatin1(option);
    if (!parser.isSet(name))
        return std::nullopt;
    field = parser.value(name);
    if (field.isEmpty() && option != ChainOption::Entity)
        return CommandError{ExitUsage, QStringLiteral("The option --%1 needs a text.").arg(name)};
    return std::nullopt;
}

std::optional<CommandError> parseRequest(const QCommandLineParser& parser, int type, Request& request)
{
    request.type = type;
    CertificateSettings& settings = request.settings;
    request.out = parser.value(QLatin1String(ChainOption::Out));
    if (request.out.isEmpty())
        return CommandError{ExitUsage, QStringLiteral("The option --out with the destination file name is missing.")};
    if (isDerived(type))
    {
        settings.issuerFileName = parser.value(QLatin1String(ChainOption::Issuer));
        if (settings.issuerFileName.isEmpty())
            return CommandError{ExitUsage,
                                QStringLiteral("The option --issuer with the issuing PKCS#12 file is missing.")};
    }
    settings.ca = type != LeafCertificate;
    settings.pathLength = type == LeafCertificate ? 0 : settings.pathLength;

    for (const char* option : {ChainOption::RootName, ChainOption::Organization, ChainOption::Entity})
    {
        QString& field = option == ChainOption::RootName       ? settings.rootName
                         : option == ChainOption::Organization ? settings.organizationName
                                                               : settings.entityName;
        if (auto error = readName(parser, option, field))
            return error;
    }
    settings.entityName = EntityNameWithRoles(settings.entityName, type == LeafCertificate);
    const std::pair<const char*, const QString*> names[] = {
        {"common name", &settings.entityName},
        {"organization", &settings.rootName},
        {"organizational unit", &settings.organizationName}};
    for (const auto& [what, text] : names)
        if (text->toUtf8().size() > kLongestName)
            return CommandError{ExitUsage, QStringLiteral("The %1 \"%2\" is longer than %3 characters.")
                                               .arg(QLatin1String(what), *text)
                                               .arg(kLongestName)};

    request.serialGiven = parser.isSet(QLatin1String(ChainOption::Serial));
    if (request.serialGiven)
    {
        const auto serial = parseNumber(parser.value(QLatin1String(ChainOption::Serial)));
        if (!serial || *serial < 1 || *serial > kLargestSerial)
            return CommandError{ExitUsage, QStringLiteral("The serial number must be a whole number from 1 to %1.")
                                               .arg(kLargestSerial)};
        settings.serialNumber = *serial;
    }

    request.pathLengthGiven = parser.isSet(QLatin1String(ChainOption::PathLength));
    if (request.pathLengthGiven)
    {
        const auto pathLength = parseNumber(parser.value(QLatin1String(ChainOption::PathLength)));
        if (!pathLength || *pathLength < 1 || *pathLength > std::numeric_limits<qint32>::max())
            return CommandError{ExitUsage,
                                QStringLiteral("The path length must be a whole number of at least 1; a "
                                               "certificate that signs nothing is a leaf.")};
        settings.pathLength = int(*pathLength);
    }

    settings.signingAlgorithm = parser.isSet(QLatin1String(ChainOption::Sha1)) ? 0 : 1;
    request.force = parser.isSet(QLatin1String(ChainOption::Force));

    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    settings.validityStart = now;
    request.startGiven = parser.isSet(QLatin1String(ChainOption::Start));
    request.endGiven = parser.isSet(QLatin1String(ChainOption::End));
    for (const char* option : {ChainOption::Start, ChainOption::End})
    {
        const QString name = QString::fromLatin1(option);
        if (!parser.isSet(name))
            continue;
        const auto time = parseTime(parser.value(name));
        if (!time)
            return CommandError{ExitUsage, QStringLiteral("The %1 time \"%2\" is not an ISO-8601 date and time.")
                                               .arg(QLatin1String(option), parser.value(name))};
        (option == ChainOption::Start ? settings.validityStart : settings.validityEnd) = *time;
    }
    if (!request.endGiven)
        settings.validityEnd = settings.validityStart.addYears(1);
    return std::nullopt;
}

// The validity period the window's consistency check accepts.
std::optional<CommandError> checkPeriod(const CertificateSettings& settings, int status)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (settings.validityStart < settings.validityEnd && now < settings.validityEnd)
        return std::nullopt;
    return CommandError{status, QStringLiteral("The validity period from %1 to %2 is invalid: the start must "
                                               "come before the end, and the end must lie in the future.")
                                    .arg(printed(settings.validityStart), printed(settings.validityEnd))};
}

// The engine prints times as "Jan  1 01:00:00 2025 GMT"; the window reads them the same way.
QDateTime parseEngineTime(const std::string& text)
{
    const QString withoutZone = QString::fromStdString(text).chopped(4);
    QDateTime time = QDateTime::fromString(withoutZone, QStringLiteral("MMM d HH:mm:ss yyyy"));
    if (!time.isValid())
        time = QDateTime::fromString(withoutZone, QStringLiteral("MMM  d HH:mm:ss yyyy"));
    time.setTimeSpec(Qt::UTC);
    return time;
}

// The window's checks on the issuing certificate: readable with the password, a path length
// left for the new certificate, the validity inside its own. Values given are refused, not
// corrected; values not given are chosen to fit.
std::optional<CommandError> fitUnderIssuer(Request& request)
{
    CertificateSettings& settings = request.settings;
    const QString& issuer = settings.issuerFileName;
    if (!QFile::exists(issuer))
        return CommandError{ExitFailure, QStringLiteral("The issuing file %1 does not exist.").arg(issuer)};
    ZIDCertificate issuing;
    const std::string path = issuer.toStdString();
    std::string password = settings.issuerPassword.toStdString();
    const bool read = issuing.ReadPKCS12(path.c_str(), password.c_str()) != 0;
    OPENSSL_cleanse(password.data(), password.size());
    if (!read)
        return CommandError{ExitFailure, QStringLiteral("The issuing file %1 cannot be read: the password is wrong "
                                                        "or the file is not a certificate of this kind.")
                                             .arg(issuer)};

    const int issuerPathLength = issuing.getPathLength();
    if (issuerPathLength <= 0)
        return CommandError{ExitFailure, QStringLiteral("The issuing certificate has a path length of 0 and cannot "
                                                        "sign a derived certificate.")};
    if (request.type == IntermediateCertificate)
    {
        if (!request.pathLengthGiven)
            settings.pathLength = issuerPathLength - 1;
        if (settings.pathLength >= issuerPathLength)
            return CommandError{ExitFailure, QStringLiteral("The path length %1 is too long: it must be lower than "
                                                            "the issuing certificate's %2.")
                                                 .arg(settings.pathLength)
                                                 .arg(issuerPathLength)};
        if (settings.pathLength < 1)
            return CommandError{ExitFailure, QStringLiteral("The issuing certificate has a path length of 1: it can "
                                                            "sign leaves only.")};
    }

    const QDateTime issuerStart = parseEngineTime(issuing.getValidityStart());
    const QDateTime issuerEnd = parseEngineTime(issuing.getValidityEnd());
    if (!issuerStart.isValid() || !issuerEnd.isValid())
        return CommandError{ExitFailure, QStringLiteral("The validity of the issuing certificate (%1 to %2) cannot "
                                                        "be read.")
                                             .arg(QString::fromStdString(issuing.getValidityStart()),
                                                  QString::fromStdString(issuing.getValidityEnd()))};
    if (!request.startGiven && settings.validityStart < issuerStart)
        settings.validityStart = issuerStart;
    if (!request.endGiven)
        settings.validityEnd = std::min(settings.validityStart.addYears(1), issuerEnd);
    if (settings.validityStart < issuerStart)
        return CommandError{ExitFailure, QStringLiteral("The validity start %1 lies before the issuing certificate's "
                                                        "start %2.")
                                             .arg(printed(settings.validityStart), printed(issuerStart))};
    if (settings.validityEnd > issuerEnd)
        return CommandError{ExitFailure, QStringLiteral("The validity end %1 lies after the issuing certificate's "
                                                        "end %2.")
                                             .arg(printed(settings.validityEnd), printed(issuerEnd))};
    return checkPeriod(settings, ExitFailure);
}

void wipe(QString& text)
{
    text.fill(QChar(0));
    text.clear();
}

} // namespace

int RunCreate(const QCommandLineParser& parser, int type)
{
    Request request;
    if (auto error = parseRequest(parser, type, request))
        return Report(*error);
    CertificateSettings& settings = request.settings;
    if (request.startGiven || request.endGiven || !isDerived(type))
        if (auto error = checkPeriod(settings, ExitUsage))
            return Report(*error);

    const QString pemName = OutputFiles::pemFileName(request.out);
    const QString pfxName = OutputFiles::pkcs12FileName(pemName);
    settings.destinationFileName = pemName;
    if (!request.force)
        for (const QString& name : {pemName, pfxName})
            if (QFile::exists(name))
                return Report({ExitFailure, QStringLiteral("The file %1 exists; give --force to overwrite it.")
                                                .arg(name)});

    Secret issuerPassword;
    if (isDerived(type))
    {
        CommandError error;
        const PasswordSource source{parser.value(QLatin1String(ChainOption::IssuerPasswordFile)),
                                    "TALVANE_ISSUER_PASSWORD", QStringLiteral("--issuer-password-file"),
                                    QStringLiteral("the issuing file %1").arg(settings.issuerFileName), false};
        if (!ObtainPassword(source, issuerPassword, error))
            return Report(error);
        settings.issuerPassword = QString::fromUtf8(issuerPassword.data());
    }
    Secret password;
    {
        CommandError error;
        const PasswordSource source{parser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                    QStringLiteral("--password-file"),
                                    QStringLiteral("the new PKCS#12 file %1").arg(pfxName), true};
        if (!ObtainPassword(source, password, error))
            return Report(error);
    }

    if (isDerived(type))
        if (auto error = fitUnderIssuer(request))
        {
            wipe(settings.issuerPassword);
            return Report(*error);
        }

    if (!request.serialGiven)
    {
        qint64 last = 0;
        ReadSerialNumberTrace(last);
        settings.serialNumber = last + 1;
        if (settings.serialNumber < 1 || settings.serialNumber > kLargestSerial)
        {
            wipe(settings.issuerPassword);
            return Report({ExitFailure, QStringLiteral("The next serial number of the trace file %1, %2, is outside "
                                                       "1 to %3; give --serial.")
                                            .arg(QFileInfo(serialNumberTracePath()).absoluteFilePath())
                                            .arg(settings.serialNumber)
                                            .arg(kLargestSerial)});
        }
    }

    // A fresh seed from the board before every certificate, as the window does.
    if (seed_prng_kavra(MAX_BYTES) == 0)
    {
        wipe(settings.issuerPassword);
        return Report({ExitFailure, QStringLiteral("Failed seeding the random generator: no Quorrel ZID card was "
                                                   "found or the card is in use by another application.")});
    }
    ZIDCertificate certificate;
    const bool issued = IssueFromSettings(certificate, settings, type);
    wipe(settings.issuerPassword);
    if (!issued)
        return Report({ExitFailure, QStringLiteral("Failed creating the certificate.")});

    if (certificate.WritePem(pemName.toStdString().c_str()) == 0)
        return Report({ExitFailure, QStringLiteral("Failed writing the certificate to %1.").arg(pemName)});
    if (certificate.WritePKCS12(pfxName.toStdString().c_str(), password.data()) == 0)
        return Report({ExitFailure, QStringLiteral("Failed writing the PKCS#12 file %1; the PEM file %2 was "
                                                   "written.")
                                        .arg(pfxName, pemName)});

    WriteSerialNumberTrace(settings.serialNumber); // a trace that cannot be written is no failure
    std::printf("Created %s\n%s\n%s\n", qPrintable(QStringLiteral("CN \"%1\" serial %2, valid %3 to %4")
                                                       .arg(settings.entityName)
                                                       .arg(settings.serialNumber)
                                                       .arg(printed(settings.validityStart),
                                                            printed(settings.validityEnd))),
                qPrintable(QFileInfo(pemName).absoluteFilePath()), qPrintable(QFileInfo(pfxName).absoluteFilePath()));
    std::fflush(stdout);
    return ExitSuccess;
}
