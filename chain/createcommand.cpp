// talvane-chain root|intermediate|leaf: one certificate, by the window's rules, without questions.

#include "certificaterules.h"
#include "chaincommand.h"
#include "chainrules.h"
#include "commandline.h"
#include "filelistoutput.h"
#include "issuingcertificate.h"
#include "optionvalues.h"
#include "outputnames.h"
#include "passwordsource.h"
#include "prngseed.h"
#include "secret.h"
#include "serialnumbertrace.h"
#include "settingsissue.h"
#include "zidcertificate.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

namespace
{

namespace Rules = CertificateRules;

// What the command line asks for, checked against itself but not yet against the issuer.
struct Request
{
    CertificateType type = CertificateType::Root;
    CertificateSettings settings;
    QString out;
    QString pemName;
    QString pfxName;
    bool pathLengthGiven = false;
    bool startGiven = false;
    bool endGiven = false;
    SerialChoice serial;
    bool force = false;
};

Refusal parseNames(const QCommandLineParser& parser, Request& request)
{
    CertificateSettings& settings = request.settings;
    for (const char* option : {ChainOption::RootName, ChainOption::Organization, ChainOption::Entity})
    {
        QString& field = option == ChainOption::RootName       ? settings.rootName
                         : option == ChainOption::Organization ? settings.organizationName
                                                               : settings.entityName;
        if (auto error = readName(parser, option, field, option == ChainOption::Entity))
            return error;
    }
    const QString entity = settings.entityName;
    const bool leaf = request.type == CertificateType::Leaf;
    settings.entityName = Rules::EntityNameWithRoles(entity, leaf);
    // The subject entries as the engine takes them, then the texts as the window's fields take
    // them, so that a name the window refuses is refused here too.
    using Field = Rules::NameField;
    return checkNameOptions(
        {{ChainOption::Entity, Field::Entity, entity, settings.entityName, "common name", leaf},
         {ChainOption::RootName, Field::RootName, settings.rootName, settings.rootName, "organization"},
         {ChainOption::Organization, Field::Organization, settings.organizationName, settings.organizationName,
          "organizational unit"}});
}

Refusal parseNumbers(const QCommandLineParser& parser, Request& request)
{
    CertificateSettings& settings = request.settings;
    if (auto error = parseSerial(parser, request.serial))
        return error;
    settings.serialNumber = request.serial.first;

    request.pathLengthGiven = parser.isSet(QLatin1String(ChainOption::PathLength));
    if (request.pathLengthGiven)
    {
        const auto pathLength = parseNumber(parser.value(QLatin1String(ChainOption::PathLength)));
        if (!pathLength || !Rules::authorityPathLengthAllowed(*pathLength) ||
            *pathLength > std::numeric_limits<qint32>::max())
            return CommandError{ExitUsage,
                                QStringLiteral("The path length must be a whole number of at least 1; a "
                                               "certificate that signs nothing is a leaf.")};
        settings.pathLength = int(*pathLength);
    }
    return std::nullopt;
}

Refusal parseTimes(const QCommandLineParser& parser, Request& request)
{
    CertificateSettings& settings = request.settings;
    settings.validityStart = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
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

Refusal parseRequest(const QCommandLineParser& parser, CertificateType type, Request& request)
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
    settings.ca = isAuthority(type);
    settings.pathLength = type == CertificateType::Leaf ? 0 : settings.pathLength;

    if (auto error = parseNames(parser, request))
        return error;
    if (auto error = parseNumbers(parser, request))
        return error;
    settings.signingAlgorithm = parser.isSet(QLatin1String(ChainOption::Sha1)) ? 0 : 1;
    request.force = parser.isSet(QLatin1String(ChainOption::Force));
    return parseTimes(parser, request);
}

// The validity period the window's consistency check accepts.
Refusal checkPeriod(const CertificateSettings& settings, int status)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (Rules::checkPeriod(settings.validityStart, settings.validityEnd, now) == Rules::PeriodFinding::Valid)
        return std::nullopt;
    return CommandError{status, QStringLiteral("The validity period from %1 to %2 is invalid: the start must "
                                               "come before the end, and the end must lie in the future.")
                                    .arg(printed(settings.validityStart), printed(settings.validityEnd))};
}

Refusal readIssuer(const QString& path, const Secret& password, IssuingCertificate& issuer)
{
    const IssuerReading reading = ReadIssuingCertificate(path, password);
    switch (reading.outcome)
    {
    case IssuerReading::Missing:
        return CommandError{ExitFailure, QStringLiteral("The issuing file %1 does not exist.").arg(path)};
    case IssuerReading::Unreadable:
        return CommandError{ExitFailure, QStringLiteral("The issuing file %1 cannot be read: the password is wrong "
                                                        "or the file is not a certificate of this kind.")
                                             .arg(path)};
    case IssuerReading::Read:
        break;
    }
    issuer = reading.certificate;
    return std::nullopt;
}

// A path length not given is the largest the issuer leaves; one given is refused, not corrected.
Refusal fitPathLength(Request& request, const IssuingCertificate& issuer)
{
    CertificateSettings& settings = request.settings;
    if (Rules::issuerSignsNothing(issuer.pathLength))
        return CommandError{ExitFailure, QStringLiteral("The issuing certificate has a path length of 0 and cannot "
                                                        "sign a derived certificate.")};
    if (request.type != CertificateType::Intermediate)
        return std::nullopt;
    if (!request.pathLengthGiven)
        settings.pathLength = int(Rules::largestPathLengthUnder(issuer.pathLength));
    if (Rules::pathLengthUnderIssuer(settings.pathLength, issuer.pathLength) != Rules::PathLengthFit::Fits)
        return CommandError{ExitFailure, QStringLiteral("The path length %1 is too long: it must be lower than "
                                                        "the issuing certificate's %2.")
                                             .arg(settings.pathLength)
                                             .arg(issuer.pathLength)};
    if (!Rules::authorityPathLengthAllowed(settings.pathLength))
        return CommandError{ExitFailure, QStringLiteral("The issuing certificate has a path length of 1: it can "
                                                        "sign leaves only.")};
    return std::nullopt;
}

// Times not given start no earlier than the issuer and end a year later or with the issuer;
// times given are refused when they do not fit.
Refusal fitValidity(Request& request, const IssuingCertificate& issuer)
{
    CertificateSettings& settings = request.settings;
    if (!issuer.start.isValid() || !issuer.end.isValid())
        return CommandError{ExitFailure, QStringLiteral("The validity of the issuing certificate (%1 to %2) cannot "
                                                        "be read.")
                                             .arg(issuer.printedStart, issuer.printedEnd)};
    if (!request.startGiven && settings.validityStart < issuer.start)
        settings.validityStart = issuer.start;
    if (!request.endGiven)
        settings.validityEnd = std::min(settings.validityStart.addYears(1), issuer.end);

    const Rules::ValidityFit fit =
        Rules::validityInsideIssuer(settings.validityStart, settings.validityEnd, issuer.start, issuer.end);
    if (fit.startTooEarly)
        return CommandError{ExitFailure, QStringLiteral("The validity start %1 lies before the issuing certificate's "
                                                        "start %2.")
                                             .arg(printed(settings.validityStart), printed(issuer.start))};
    if (fit.endTooLate)
        return CommandError{ExitFailure, QStringLiteral("The validity end %1 lies after the issuing certificate's "
                                                        "end %2.")
                                             .arg(printed(settings.validityEnd), printed(issuer.end))};
    return checkPeriod(settings, ExitFailure);
}

// The window's checks on the issuing certificate: readable with the password, a path length
// left for the new certificate, the validity inside its own.
Refusal checkAgainstIssuer(Request& request, const Secret& issuerPassword)
{
    IssuingCertificate issuer;
    if (auto error = readIssuer(request.settings.issuerFileName, issuerPassword, issuer))
        return error;
    if (auto error = fitPathLength(request, issuer))
        return error;
    return fitValidity(request, issuer);
}

Refusal checkOutputs(Request& request)
{
    request.pemName = OutputFiles::pemFileName(request.out);
    request.pfxName = OutputFiles::pkcs12FileName(request.pemName);
    request.settings.destinationFileName = request.pemName;
    // Not even --force: the issuing file holds the only copy of its key.
    const QString& issuerFile = request.settings.issuerFileName;
    if (isDerived(request.type) && OutputFiles::overwrites(request.out, issuerFile))
        return CommandError{ExitFailure, QStringLiteral("The destination %1 would overwrite its issuing certificate "
                                                        "%2; choose another --out.")
                                             .arg(request.out, issuerFile)};
    if (!request.force)
        for (const QString& name : {request.pemName, request.pfxName})
            if (QFile::exists(name))
                return CommandError{ExitFailure,
                                    QStringLiteral("The file %1 exists; give --force to overwrite it.").arg(name)};
    return std::nullopt;
}

Refusal obtainPasswords(const QCommandLineParser& parser, const Request& request, Secret& issuerPassword,
                        Secret& password)
{
    CommandError error;
    if (isDerived(request.type))
    {
        const PasswordSource source{parser.value(QLatin1String(ChainOption::IssuerPasswordFile)),
                                    "TALVANE_ISSUER_PASSWORD", QStringLiteral("--issuer-password-file"),
                                    QStringLiteral("the issuing file %1").arg(request.settings.issuerFileName),
                                    false};
        Secret given;
        if (!ObtainPassword(source, given, error))
            return error;
        // Handed to the engine as the window hands over a typed password: as text in UTF-8.
        issuerPassword = Secret(QString::fromUtf8(given.data()));
    }
    const PasswordSource source{parser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                QStringLiteral("--password-file"),
                                QStringLiteral("the new PKCS#12 file %1").arg(request.pfxName), true};
    if (!ObtainPassword(source, password, error))
        return error;
    return std::nullopt;
}

// A fresh seed from the board before every certificate, as the window does; the serial number
// taken from the trace (or a random one drawn) before the key is made; then both files.
int issueAndWrite(Request& request, const Secret& issuerPassword, const Secret& password, FileListOutput& output)
{
    CertificateSettings& settings = request.settings;
    if (seed_prng_kavra(MAX_BYTES) == 0)
        return Report({ExitFailure, QStringLiteral("Failed seeding the random generator: no Quorrel ZID card was "
                                                   "found or the card is in use by another application.")});
    if (auto error = reserveSerials(request.serial, 1))
        return Report(*error);
    settings.serialNumber = request.serial.first;
    if (request.serial.source == SerialChoice::Random)
    {
        const auto serial = Rules::drawRandomSerial();
        if (!serial)
            return Report({ExitFailure, QStringLiteral("The random generator gave no serial number.")});
        settings.serialNumber = *serial;
    }
    ZIDCertificate certificate;
    if (!IssueFromSettings(certificate, settings, int(request.type), issuerPassword))
        return Report({ExitFailure, QStringLiteral("Failed creating the certificate.")});

    const QString& pemName = request.pemName;
    const QString& pfxName = request.pfxName;
    if (certificate.WritePem(pemName.toStdString().c_str()) == 0)
        return Report({ExitFailure, QStringLiteral("Failed writing the certificate to %1.").arg(pemName)});
    if (certificate.WritePKCS12(pfxName.toStdString().c_str(), password.data()) == 0)
        return Report({ExitFailure, QStringLiteral("Failed writing the PKCS#12 file %1; the PEM file %2 was "
                                                   "written.")
                                        .arg(pfxName, pemName)});

    std::fprintf(stderr, "Created %s\n",
                 qPrintable(QStringLiteral("CN \"%1\" serial %2, valid %3 to %4")
                                .arg(settings.entityName)
                                .arg(settings.serialNumber)
                                .arg(printed(settings.validityStart), printed(settings.validityEnd))));
    output.list({QFileInfo(pemName).absoluteFilePath(), QFileInfo(pfxName).absoluteFilePath()});
    return ExitSuccess;
}

} // namespace

int RunCreate(const QCommandLineParser& parser, CertificateType type)
{
    FileListOutput output;
    Request request;
    if (auto error = parseRequest(parser, type, request))
        return Report(*error);
    // A derived certificate's times not given are chosen under the issuer, and checked there.
    if (request.startGiven || request.endGiven || !isDerived(type))
        if (auto error = checkPeriod(request.settings, ExitUsage))
            return Report(*error);
    if (type == CertificateType::Root)
        if (auto error = requireRootNames(parser))
            return Report(*error);
    if (auto error = checkOutputs(request))
        return Report(*error);

    Secret issuerPassword;
    Secret password;
    if (auto error = obtainPasswords(parser, request, issuerPassword, password))
        return Report(*error);
    if (isDerived(type))
        if (auto error = checkAgainstIssuer(request, issuerPassword))
            return Report(*error);
    return issueAndWrite(request, issuerPassword, password, output);
}
