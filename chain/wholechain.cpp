// talvane-chain chain: a root, its intermediates and a leaf in one folder, made whole or not at
// all, the keys generated concurrently.

#include "certificatesettings.h"
#include "certificatetype.h"
#include "chaincommand.h"
#include "chainrules.h"
#include "commandline.h"
#include "concurrentkeys.h"
#include "enginefiles.h"
#include "filelistoutput.h"
#include "optionvalues.h"
#include "passwordsource.h"
#include "prngseed.h"
#include "secret.h"
#include "serialnumbertrace.h"
#include "settingsissue.h"
#include "stagedfiles.h"
#include "zidcertificate.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

namespace
{

namespace Rules = CertificateRules;

const QString kChainFile = QStringLiteral("chain.pem");

// What the command line asks for, checked against itself.
struct ChainRequest
{
    QString folder;
    int intermediates = 1;
    QString rootName;
    QString organization;
    QString rootEntity = QStringLiteral("Root");
    QString intermediateEntity = QStringLiteral("Intermediate");
    QString leafEntity = QStringLiteral("Leaf");
    Rules::ChainPeriod period;
    SerialChoice serial;
    int signingAlgorithm = 1;
    bool force = false;

    int certificates() const { return intermediates + 2; }
};

// One certificate of the chain, root first.
struct Level
{
    CertificateType type = CertificateType::Root;
    QString stem; // its files are stem.pem and stem.pfx
    CertificateSettings settings;
};

// The first intermediate is "intermediate"; the ones below it are numbered from 2, in their file
// names and after their entity alike.
QString numbered(const QString& text, int intermediate)
{
    return intermediate == 1 ? text : QStringLiteral("%1-%2").arg(text).arg(intermediate);
}

Refusal parseStructure(const QCommandLineParser& parser, ChainRequest& request)
{
    request.folder = parser.value(QLatin1String(ChainOption::OutDir));
    if (request.folder.isEmpty())
        return CommandError{ExitUsage, QStringLiteral("The option --out-dir with the folder for the chain is "
                                                      "missing.")};
    if (auto error = requireRootNames(parser))
        return error;
    if (parser.isSet(QLatin1String(ChainOption::Intermediates)))
    {
        const auto count = parseNumber(parser.value(QLatin1String(ChainOption::Intermediates)));
        if (!count || !Rules::chainIntermediatesAllowed(*count))
            return CommandError{ExitUsage,
                                QStringLiteral("The number of intermediates must be a whole number from "
                                               "0 to %1.")
                                    .arg(Rules::kMostChainIntermediates)};
        request.intermediates = int(*count);
    }
    return std::nullopt;
}

Refusal parseNames(const QCommandLineParser& parser, ChainRequest& request)
{
    const struct
    {
        const char* option;
        QString* field;
        bool emptyAllowed;
    } given[] = {{ChainOption::RootName, &request.rootName, false},
                 {ChainOption::Organization, &request.organization, false},
                 {ChainOption::RootEntity, &request.rootEntity, true},
                 {ChainOption::IntermediateEntity, &request.intermediateEntity, true},
                 {ChainOption::LeafEntity, &request.leafEntity, true}};
    for (const auto& name : given)
        if (auto error = readName(parser, name.option, *name.field, name.emptyAllowed))
            return error;

    using Field = Rules::NameField;
    // The last intermediate's common name is the longest.
    const QString lastIntermediate = numbered(request.intermediateEntity, std::max(request.intermediates, 1));
    return checkNameOptions(
        {{ChainOption::RootName, Field::RootName, request.rootName, request.rootName, "organization"},
         {ChainOption::Organization, Field::Organization, request.organization, request.organization,
          "organizational unit"},
         {ChainOption::RootEntity, Field::Entity, request.rootEntity,
          Rules::EntityNameWithRoles(request.rootEntity, false), "common name"},
         {ChainOption::IntermediateEntity, Field::Entity, request.intermediateEntity,
          Rules::EntityNameWithRoles(lastIntermediate, false), "common name"},
         {ChainOption::LeafEntity, Field::Entity, request.leafEntity,
          Rules::EntityNameWithRoles(request.leafEntity, true), "common name", true}});
}

Refusal parseSerials(const QCommandLineParser& parser, ChainRequest& request)
{
    if (auto error = parseSerial(parser, request.serial))
        return error;
    if (request.serial.source != SerialChoice::Given ||
        Rules::serialRunAllowed(request.serial.first, request.certificates()))
        return std::nullopt;
    return CommandError{ExitUsage,
                        QStringLiteral("The serial numbers %1 to %2 of the chain's %3 certificates must "
                                       "lie from %4 to %5.")
                            .arg(request.serial.first)
                            .arg(request.serial.first + request.certificates() - 1)
                            .arg(request.certificates())
                            .arg(Rules::kSmallestSerial)
                            .arg(Rules::kLargestSerial)};
}

Refusal parsePeriod(const QCommandLineParser& parser, ChainRequest& request)
{
    QDateTime given[2];
    const char* options[2] = {ChainOption::Start, ChainOption::End};
    for (int i = 0; i < 2; ++i)
    {
        const QString name = QLatin1String(options[i]);
        if (!parser.isSet(name))
            continue;
        const auto time = parseTime(parser.value(name));
        if (!time)
            return CommandError{ExitUsage,
                                QStringLiteral("The %1 time \"%2\" is not an ISO-8601 date and time.")
                                    .arg(name, parser.value(name))};
        given[i] = *time;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    request.period = Rules::chainPeriod(given[0], given[1], now);
    switch (Rules::checkChainPeriod(request.period, now))
    {
    case Rules::ChainPeriodFinding::Valid:
        return std::nullopt;
    case Rules::ChainPeriodFinding::EndAfterLatest:
        return CommandError{ExitUsage,
                            QStringLiteral("The validity end %1 lies after %2, the last second that "
                                           "32-bit clocks hold and the checkers accept.")
                                .arg(printed(request.period.end), printed(Rules::latestChainEnd()))};
    case Rules::ChainPeriodFinding::EndNotAfterStart:
    case Rules::ChainPeriodFinding::EndPassed:
        break;
    }
    return CommandError{ExitUsage,
                        QStringLiteral("The validity period from %1 to %2 is invalid: the start must "
                                       "come before the end, and the end must lie in the future.")
                            .arg(printed(request.period.start), printed(request.period.end))};
}

Refusal parseRequest(const QCommandLineParser& parser, ChainRequest& request)
{
    if (auto error = parseStructure(parser, request))
        return error;
    if (auto error = parseNames(parser, request))
        return error;
    if (auto error = parseSerials(parser, request))
        return error;
    request.signingAlgorithm = parser.isSet(QLatin1String(ChainOption::Sha1)) ? 0 : 1;
    request.force = parser.isSet(QLatin1String(ChainOption::Force));
    return parsePeriod(parser, request);
}

Level makeLevel(const ChainRequest& request, CertificateType type, int depth)
{
    Level level;
    level.type = type;
    CertificateSettings& settings = level.settings;
    settings.ca = isAuthority(type);
    settings.pathLength = settings.ca ? int(Rules::chainPathLength(depth, request.intermediates)) : 0;
    settings.rootName = request.rootName;
    settings.organizationName = request.organization;
    settings.signingAlgorithm = request.signingAlgorithm;
    settings.validityStart = request.period.start;
    settings.validityEnd = request.period.end;
    switch (type)
    {
    case CertificateType::Root:
        level.stem = QStringLiteral("root");
        settings.entityName = Rules::EntityNameWithRoles(request.rootEntity, false);
        break;
    case CertificateType::Intermediate:
        level.stem = numbered(QStringLiteral("intermediate"), depth);
        settings.entityName = Rules::EntityNameWithRoles(numbered(request.intermediateEntity, depth), false);
        break;
    case CertificateType::Leaf:
        level.stem = QStringLiteral("leaf");
        settings.entityName = Rules::EntityNameWithRoles(request.leafEntity, true);
        break;
    }
    return level;
}

std::vector<Level> plan(const ChainRequest& request)
{
    std::vector<Level> levels{makeLevel(request, CertificateType::Root, 0)};
    for (int depth = 1; depth <= request.intermediates; ++depth)
        levels.push_back(makeLevel(request, CertificateType::Intermediate, depth));
    levels.push_back(makeLevel(request, CertificateType::Leaf, request.intermediates + 1));
    return levels;
}

QStringList fileNames(const std::vector<Level>& levels)
{
    QStringList names;
    for (const Level& level : levels)
        names << level.stem + QStringLiteral(".pem") << level.stem + QStringLiteral(".pfx");
    return names << kChainFile;
}

Refusal refuseExisting(const StagedFiles& files, const QStringList& names)
{
    for (const QString& name : names)
    {
        const QFileInfo target(files.targetPath(name));
        if (target.exists() || target.isSymLink())
            return CommandError{ExitFailure,
                                QStringLiteral("The file %1 exists; give --force to overwrite it.")
                                    .arg(files.targetPath(name))};
    }
    return std::nullopt;
}

Refusal obtainPassword(const QCommandLineParser& parser, const ChainRequest& request, Secret& password)
{
    const PasswordSource source{parser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                QStringLiteral("--password-file"),
                                QStringLiteral("the PKCS#12 files in %1").arg(request.folder), true};
    CommandError error;
    if (!ObtainPassword(source, password, error))
        return error;
    return std::nullopt;
}

// One seed from the board for every key, as the window seeds before every certificate, all
// before the first key is begun. RAND_seed mixes the bytes into OpenSSL's primary generator and
// counts a reseed there. Each thread draws from generators of its own that are chained to the
// primary: one made after the seeds is instantiated from the primary, and one that exists
// already compares the primary's reseed count with the one it last saw and reseeds from the
// primary before its next output. So every key, on whichever thread, is drawn from state that
// holds the board's fresh bytes. The board is used from this thread only.
Refusal seedForEveryKey(int keys)
{
    for (int i = 0; i < keys; ++i)
        if (seed_prng_kavra(MAX_BYTES) == 0)
            return CommandError{ExitFailure,
                                QStringLiteral("Failed seeding the random generator: no Quorrel ZID "
                                               "card was found or the card is in use by another "
                                               "application.")};
    return std::nullopt;
}

// The serial of each level: consecutive from the first, or drawn, all different.
Refusal assignSerials(const ChainRequest& request, std::vector<Level>& levels)
{
    std::set<qint64> used;
    for (size_t i = 0; i < levels.size(); ++i)
    {
        qint64 serial = request.serial.first + qint64(i);
        while (request.serial.source == SerialChoice::Random)
        {
            const auto drawn = Rules::drawRandomSerial();
            if (!drawn)
                return CommandError{ExitFailure,
                                    QStringLiteral("The random generator gave no serial number.")};
            serial = *drawn;
            if (used.count(serial) == 0)
                break;
        }
        used.insert(serial);
        levels[i].settings.serialNumber = serial;
    }
    return std::nullopt;
}

// Issues each level in order with the next key that is ready, its issuer read from the staged
// container above it, and stages its two files.
Refusal issueInOrder(std::vector<Level>& levels, const Secret& password, StagedFiles& files)
{
    ConcurrentKeys keys(int(levels.size()));
    for (size_t i = 0; i < levels.size(); ++i)
    {
        Level& level = levels[i];
        if (i > 0)
            level.settings.issuerFileName = files.stagingPath(levels[i - 1].stem + QStringLiteral(".pfx"));
        EvpPkeyPtr key = keys.next();
        if (!key)
            return CommandError{ExitFailure, QStringLiteral("Failed generating a key pair.")};
        ZIDCertificate certificate;
        if (!IssueFromSettings(certificate, level.settings, int(level.type), password, key.release()))
            return CommandError{ExitFailure,
                                QStringLiteral("Failed creating the certificate %1.").arg(level.stem)};
        const QString pem = files.stagingPath(level.stem + QStringLiteral(".pem"));
        const QString pfx = files.stagingPath(level.stem + QStringLiteral(".pfx"));
        if (certificate.WritePem(pem.toStdString().c_str()) == 0 ||
            certificate.WritePKCS12(pfx.toStdString().c_str(), password.data()) == 0)
            return CommandError{ExitFailure, QStringLiteral("Failed writing the files of the certificate %1; "
                                                            "nothing was changed.")
                                                 .arg(level.stem)};
        std::fprintf(stderr, "Created %s\n",
                     qPrintable(QStringLiteral("%1: CN \"%2\" serial %3, path length %4")
                                    .arg(level.stem, level.settings.entityName)
                                    .arg(level.settings.serialNumber)
                                    .arg(level.settings.ca ? QString::number(level.settings.pathLength)
                                                           : QStringLiteral("none (leaf)"))));
    }
    return std::nullopt;
}

// chain.pem: every certificate from the root to the leaf, as their own PEM files hold them.
Refusal stageChainFile(const std::vector<Level>& levels, const StagedFiles& files)
{
    QByteArray chain;
    for (const Level& level : levels)
    {
        QFile pem(files.stagingPath(level.stem + QStringLiteral(".pem")));
        if (!pem.open(QIODevice::ReadOnly))
            return CommandError{ExitFailure, QStringLiteral("Failed reading back %1.pem.").arg(level.stem)};
        chain += pem.readAll();
    }
    if (!WriteFileAtomically(QFile::encodeName(files.stagingPath(kChainFile)).constData(), chain.constData(),
                             std::size_t(chain.size()), FileAccess::Shared))
        return CommandError{ExitFailure,
                            QStringLiteral("Failed writing %1; nothing was changed.").arg(kChainFile)};
    return std::nullopt;
}

// From the checked request to the files in place.
Refusal make(const QCommandLineParser& parser, ChainRequest& request, FileListOutput& output)
{
    std::vector<Level> levels = plan(request);
    const QStringList names = fileNames(levels);
    StagedFiles files(request.folder, names);
    if (!request.force)
        if (auto error = refuseExisting(files, names))
            return error;
    Secret password;
    if (auto error = obtainPassword(parser, request, password))
        return error;

    QString failure;
    if (!files.open(failure))
        return CommandError{ExitFailure, failure};
    if (auto error = seedForEveryKey(int(levels.size())))
        return error;
    if (auto error = reserveSerials(request.serial, qint64(levels.size())))
        return error;
    if (auto error = assignSerials(request, levels))
        return error;
    if (auto error = issueInOrder(levels, password, files))
        return error;
    if (auto error = stageChainFile(levels, files))
        return error;
    if (!files.commit(failure))
        return CommandError{ExitFailure, failure};

    QStringList written;
    for (const QString& name : names)
        written << QFileInfo(files.targetPath(name)).absoluteFilePath();
    output.list(written);
    return std::nullopt;
}

} // namespace

int RunChain(const QCommandLineParser& parser)
{
    FileListOutput output;
    ChainRequest request;
    if (auto error = parseRequest(parser, request))
        return Report(*error);
    if (auto error = make(parser, request, output))
        return Report(*error);
    return ExitSuccess;
}
