// leaf --batch: a production line's leaves in one run. Every line is checked as a single leaf
// would be before the first key is begun; the keys are made on every core; the files are put in
// place all together or not at all.

#include "leafbatch.h"

#include "certificaterules.h"
#include "certificatetype.h"
#include "console.h"
#include "filegroup.h"
#include "issuer.h"
#include "keypool.h"
#include "nameoptions.h"
#include "notes.h"
#include "passwords.h"
#include "refusals.h"
#include "roles.h"
#include "secret.h"
#include "seeding.h"
#include "serials.h"
#include "settingsissue.h"
#include "stagedfolder.h"
#include "validity.h"
#include "values.h"
#include "zidcertificate.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace
{

namespace Rules = CertificateRules;

// Far more than a day of a production line, far below what would tie up memory.
constexpr qint64 kLargestBatchFile = 1 << 20;
constexpr int kMostBatchLeaves = 10000;

const QString kHeader = QStringLiteral("name,entity,roles");

struct BatchLeaf
{
    int line = 0;
    QString name; // DIR/name.pem and DIR/name.pfx
    QString commonName;
};

// Refusals about a line of the file are the file's fault: exit status 1, its line named.
Refusal checkLine(const QString& file, int number, const QStringList& fields, const QStringList& taken,
                  BatchLeaf& leaf)
{
    const auto onLine = [&](const CommandError& error) { return Refuse::onBatchLine(file, number, error); };
    if (fields.size() != 3)
        return onLine(Refuse::batchLineFields(kHeader));
    leaf.line = number;
    leaf.name = fields.at(0).trimmed();
    const QString entity = fields.at(1).trimmed();
    // A name is a file name in DIR, never a path out of it.
    if (leaf.name.isEmpty() || leaf.name.contains(QLatin1Char('/')) ||
        leaf.name.contains(QLatin1Char('\\')) || leaf.name == QLatin1String(".") ||
        leaf.name == QLatin1String(".."))
        return onLine(Refuse::batchName(leaf.name));
    if (taken.contains(leaf.name))
        return onLine(Refuse::batchNameTwice(leaf.name));
    if (entity.isEmpty())
        return onLine(Refuse::batchEntityEmpty());
    QStringList roles = Rules::splitRoles(fields.at(2));
    if (roles.isEmpty())
        roles = QStringList{QLatin1String(Rules::kContentSignerRole)};
    if (auto error = checkRoleList(QStringLiteral("The roles field"), roles, ExitFailure))
        return onLine(*error);
    leaf.commonName = Rules::commonNameWithRoles(roles, entity);
    if (auto error = checkNameOptions(
            {{Option::Entity, Rules::NameField::Entity, entity, leaf.commonName, "common name", roles}}))
        return onLine(*error);
    return std::nullopt;
}

Refusal readBatch(const QString& file, std::vector<BatchLeaf>& leaves)
{
    QFile input(file);
    if (!QFileInfo::exists(file))
        return Refuse::fileMissing(file);
    if (!input.open(QIODevice::ReadOnly))
        return Refuse::fileUnreadable(file);
    const QByteArray content = input.read(kLargestBatchFile + 1);
    if (input.error() != QFileDevice::NoError)
        return Refuse::fileUnreadable(file);
    if (content.size() > kLargestBatchFile)
        return Refuse::batchFileTooLarge(file, kLargestBatchFile);
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    bool headerSeen = false;
    QStringList taken;
    for (int i = 0; i < lines.size(); ++i)
    {
        const QString line = lines.at(i).section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (!headerSeen)
        {
            // Without its header a file's first leaf would be taken for one.
            QStringList header;
            for (const QString& field : fields)
                header << field.trimmed().toLower();
            if (header.join(QLatin1Char(',')) != kHeader)
                return Refuse::onBatchLine(file, i + 1, Refuse::batchHeader(kHeader));
            headerSeen = true;
            continue;
        }
        BatchLeaf leaf;
        if (auto error = checkLine(file, i + 1, fields, taken, leaf))
            return error;
        taken << leaf.name;
        leaves.push_back(leaf);
        if (int(leaves.size()) > kMostBatchLeaves)
            return Refuse::onBatchLine(file, i + 1, Refuse::batchTooLong(kMostBatchLeaves));
    }
    if (leaves.empty())
        return Refuse::batchEmpty(file);
    return std::nullopt;
}

Refusal refuseSingleOptions(const Invocation& invocation)
{
    for (const Option option : {Option::Out, Option::Entity, Option::Roles, Option::PathLength})
        if (invocation.isSet(option))
            return Refuse::optionsExclude(OptionText(Option::Batch), OptionText(option));
    if (invocation.value(Option::OutDir).isEmpty())
        return Refuse::optionMissing(OptionText(Option::OutDir), QStringLiteral("the folder for the leaves"));
    if (invocation.value(Option::Issuer).isEmpty())
        return Refuse::optionMissing(OptionText(Option::Issuer), QStringLiteral("the issuing PKCS#12 file"));
    return std::nullopt;
}

// Each leaf with the next key that is ready, staged with its container.
Refusal issueAll(Console& console, const IssuingCertificate& issuer, const CertificateSettings& common,
                 const std::vector<BatchLeaf>& leaves, const std::vector<qint64>& serials,
                 const Secret& password, StagedFiles& files)
{
    KeyPool keys(int(leaves.size()));
    for (size_t i = 0; i < leaves.size(); ++i)
    {
        const BatchLeaf& leaf = leaves[i];
        EvpPkeyPtr key = keys.next();
        if (!key)
            return Refuse::keyGenerationFailed();
        CertificateSettings settings = common;
        settings.entityName = leaf.commonName;
        settings.serialNumber = serials[i];
        ZIDCertificate certificate;
        if (!IssueFromSettings(certificate, settings, int(CertificateType::Leaf), issuer.objects,
                               key.release()))
            return Refuse::issuingFailed(leaf.commonName);
        const QByteArray pem = stagingFile(files, leaf.name + QStringLiteral(".pem"));
        const QByteArray pfx = stagingFile(files, leaf.name + QStringLiteral(".pfx"));
        if (certificate.WritePem(pem.constData()) == 0 ||
            certificate.WritePKCS12(pfx.constData(), password.data()) == 0)
            return Refuse::levelNotWritten(leaf.name);
        console.errLine(Note::created(settings.entityName, settings.serialNumber,
                                      printed(settings.validityStart), printed(settings.validityEnd)));
    }
    return std::nullopt;
}

} // namespace

Refusal RunLeafBatch(Invocation& invocation)
{
    if (auto error = refuseSingleOptions(invocation))
        return error;
    const QString batchFile = invocation.value(Option::Batch);
    std::vector<BatchLeaf> leaves;
    if (auto error = readBatch(batchFile, leaves))
        return error;
    const int count = int(leaves.size());
    QString organization;
    if (auto error = readName(invocation, Option::Organization, organization))
        return error;
    if (!organization.isEmpty())
        if (auto error = checkNameOptions({{Option::Organization,
                                            Rules::NameField::Organization,
                                            organization,
                                            organization,
                                            "organizational unit",
                                            {}}}))
            return error;
    SerialChoice serial;
    if (auto error = readSerial(invocation, count, serial))
        return error;
    PeriodRequest requested;
    if (auto error = readPeriod(invocation, requested))
        return error;

    std::vector<StagedFiles::File> names;
    for (const BatchLeaf& leaf : leaves)
    {
        names.push_back({(leaf.name + QStringLiteral(".pem")).toStdString(), FileAccess::Shared});
        names.push_back({(leaf.name + QStringLiteral(".pfx")).toStdString(), FileAccess::OwnerOnly});
    }
    const QString folder = invocation.value(Option::OutDir);
    Console& console = invocation.console();
    StagedFiles files(QFile::encodeName(folder).toStdString(), names);
    if (auto error = openStagedFolder(console, folder, invocation.isSet(Option::Force), files))
        return error;

    const SecretsHeld secretsHeld;
    // Declared before every certificate: a token's key goes before its session.
    IssuingCertificate issuer;
    Rules::ChainPeriod period;
    if (auto error = readLeafIssuer(invocation, requested, issuer, period))
        return error;
    // One password for every container, asked once.
    Secret password;
    const PasswordSource source{invocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::chainContainersPurpose(folder), true};
    if (auto error = ObtainPassword(console, source, password))
        return error;

    const CertificateSettings common =
        LeafSettingsUnder(issuer, organization, period, invocation.isSet(Option::Sha1));

    if (auto error = stagedRefusal(files.stage(), folder, files))
        return error;
    if (auto error = SeedGenerator(console, count))
        return error;
    std::vector<qint64> serials;
    if (auto error = takeSerials(console, serial, count, serials))
        return error;
    if (auto error = issueAll(console, issuer, common, leaves, serials, password, files))
        return error;
    if (auto error = stagedRefusal(files.commit(), folder, files))
        return error;
    for (const StagedFiles::File& name : names)
        console.outLine(QFileInfo(stagedFilePath(folder, name.name)).absoluteFilePath());
    return std::nullopt;
}
