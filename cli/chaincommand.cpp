// talvane-chain chain: a root, its intermediates and a leaf in one folder, made whole or not at
// all, the keys generated concurrently and every certificate issued from the one above it in memory.

#include "commands.h"

#include "certificatesettings.h"
#include "certificatetype.h"
#include "chainrules.h"
#include "console.h"
#include "keypool.h"
#include "nameoptions.h"
#include "notes.h"
#include "opensslutil.h"
#include "passwords.h"
#include "refusals.h"
#include "roles.h"
#include "secret.h"
#include "seeding.h"
#include "serials.h"
#include "settingsissue.h"
#include "stagedfolder.h"
#include "terminationwatch.h"
#include "tokenaccess.h"
#include "validity.h"
#include "values.h"
#include "zidcertificate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
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
    QStringList leafRoles;
    Rules::ChainPeriod period;
    SerialChoice serial;
    int signingAlgorithm = 1;
    bool force = false;
    QString tokenUri; // the root's key is made in this token; no root.pfx then

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

Refusal parseStructure(const Invocation& invocation, ChainRequest& request)
{
    request.folder = invocation.value(Option::OutDir);
    if (request.folder.isEmpty())
        return Refuse::optionMissing(OptionText(Option::OutDir), QStringLiteral("the folder for the chain"));
    if (!invocation.isSet(Option::RootName) || !invocation.isSet(Option::Organization))
        return Refuse::rootNamesMissing();
    if (invocation.isSet(Option::Intermediates))
    {
        const auto count = parseWholeNumber(invocation.value(Option::Intermediates));
        if (!count || !Rules::chainIntermediatesAllowed(*count))
            return Refuse::intermediatesOutOfRange(Rules::kMostChainIntermediates);
        request.intermediates = int(*count);
    }
    return std::nullopt;
}

Refusal parseNames(const Invocation& invocation, ChainRequest& request)
{
    const struct
    {
        Option option;
        QString* field;
    } given[] = {{Option::RootName, &request.rootName},
                 {Option::Organization, &request.organization},
                 {Option::RootEntity, &request.rootEntity},
                 {Option::IntermediateEntity, &request.intermediateEntity},
                 {Option::LeafEntity, &request.leafEntity}};
    for (const auto& name : given)
        if (auto error = readName(invocation, name.option, *name.field))
            return error;
    if (auto error = readRoles(invocation, request.leafRoles))
        return error;

    using Field = Rules::NameField;
    // The last intermediate's common name is the longest.
    const QString lastIntermediate = numbered(request.intermediateEntity, std::max(request.intermediates, 1));
    return checkNameOptions(
        {{Option::RootName, Field::RootName, request.rootName, request.rootName, "organization", {}},
         {Option::Organization,
          Field::Organization,
          request.organization,
          request.organization,
          "organizational unit",
          {}},
         {Option::RootEntity,
          Field::Entity,
          request.rootEntity,
          Rules::EntityNameWithRoles(request.rootEntity, false),
          "common name",
          {}},
         {Option::IntermediateEntity,
          Field::Entity,
          request.intermediateEntity,
          Rules::EntityNameWithRoles(lastIntermediate, false),
          "common name",
          {}},
         {Option::LeafEntity, Field::Entity, request.leafEntity,
          Rules::commonNameWithRoles(request.leafRoles, request.leafEntity), "common name",
          request.leafRoles}});
}

Refusal parseRequest(const Invocation& invocation, ChainRequest& request)
{
    if (auto error = parseStructure(invocation, request))
        return error;
    if (auto error = parseNames(invocation, request))
        return error;
    if (auto error = readSerial(invocation, request.certificates(), request.serial))
        return error;
    request.signingAlgorithm = invocation.isSet(Option::Sha1) ? 0 : 1;
    request.force = invocation.isSet(Option::Force);
    request.tokenUri = invocation.value(Option::Token);
    PeriodRequest period;
    if (auto error = readPeriod(invocation, period))
        return error;
    return periodWithoutIssuer(period, QDateTime::currentDateTimeUtc(), request.period);
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
        settings.entityName = Rules::commonNameWithRoles(request.leafRoles, request.leafEntity);
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

// A root key in a token has no container.
std::vector<StagedFiles::File> fileNames(const std::vector<Level>& levels, bool rootInToken)
{
    std::vector<StagedFiles::File> files;
    for (const Level& level : levels)
    {
        files.push_back({(level.stem + QStringLiteral(".pem")).toStdString(), FileAccess::Shared});
        if (!(rootInToken && level.type == CertificateType::Root))
            files.push_back({(level.stem + QStringLiteral(".pfx")).toStdString(), FileAccess::OwnerOnly});
    }
    files.push_back({kChainFile.toStdString(), FileAccess::Shared});
    return files;
}

// Issues each level in order with the next key that is ready (the root with `rootKey` when it is
// given, a key in a token), each below the one issued before it, and stages its files; then
// chain.pem with every certificate from the root to the leaf. `root` receives a copy of the root.
Refusal issueInOrder(Console& console, std::vector<Level>& levels, const Secret& password, StagedFiles& files,
                     EvpPkeyPtr rootKey, X509Ptr& root)
{
    const bool rootInToken = rootKey != nullptr;
    KeyPool keys(int(levels.size()) - (rootInToken ? 1 : 0));
    std::vector<std::unique_ptr<ZIDCertificate>> issued;
    for (Level& level : levels)
    {
        EvpPkeyPtr key = issued.empty() && rootInToken ? std::move(rootKey) : keys.next();
        if (TerminationWatch::requested())
            return Refuse::stoppedBySignal();
        if (!key)
            return Refuse::keyGenerationFailed();
        auto certificate = std::make_unique<ZIDCertificate>();
        const bool made = issued.empty() ? IssueFromSettings(*certificate, level.settings, int(level.type),
                                                             Secret(), key.release())
                                         : IssueFromSettings(*certificate, level.settings, int(level.type),
                                                             IssuerObjectsOf(*issued.back()), key.release());
        if (!made)
            return Refuse::issuingFailed(level.stem);
        const QByteArray pem = stagingFile(files, level.stem + QStringLiteral(".pem"));
        const QByteArray pfx = stagingFile(files, level.stem + QStringLiteral(".pfx"));
        const bool container = !(rootInToken && issued.empty());
        if (certificate->WritePem(pem.constData()) == 0 ||
            (container && certificate->WritePKCS12(pfx.constData(), password.data()) == 0))
            return Refuse::levelNotWritten(level.stem);
        console.errLine(Note::createdInChain(level.stem, level.settings.entityName,
                                             level.settings.serialNumber,
                                             level.settings.ca ? level.settings.pathLength : -1));
        warnAboutValidity(console, level.settings.entityName,
                          {level.settings.validityStart, level.settings.validityEnd});
        issued.push_back(std::move(certificate));
    }
    BorrowedX509StackPtr chain(sk_X509_new_null());
    for (const auto& certificate : issued)
        if (!chain || sk_X509_push(chain.get(), certificate->mpX509) <= 0)
            return Refuse::chainFileNotWritten(kChainFile);
    if (OpenSSLUtil::PEMWriteX509Chain(chain.get(), stagingFile(files, kChainFile).constData()) == 0)
        return Refuse::chainFileNotWritten(kChainFile);
    if (TerminationWatch::requested())
        return Refuse::stoppedBySignal();
    root.reset(X509_dup(issued.front()->mpX509));
    return root ? Refusal() : Refuse::issuingFailed(levels.front().stem);
}

// From the checked request to the files in place.
Refusal make(Invocation& invocation, ChainRequest& request, TerminationWatch& watch)
{
    Console& console = invocation.console();
    std::vector<Level> levels = plan(request);
    const bool rootInToken = !request.tokenUri.isEmpty();
    const std::vector<StagedFiles::File> names = fileNames(levels, rootInToken);
    StagedFiles files(QFile::encodeName(request.folder).toStdString(), names);
    if (auto error = openStagedFolder(console, request.folder, request.force, files))
        return error;
    const SecretsHeld secretsHeld;
    // Declared before every certificate, so that the token's key goes before its session.
    TokenAccess token;
    if (rootInToken)
        if (auto error = OpenTokenForNewKey(invocation, request.tokenUri, Option::Token, token))
            return error;
    Secret password;
    const PasswordSource source{invocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::chainContainersPurpose(request.folder), true};
    if (auto error = ObtainPassword(console, source, password))
        return error;

    // From here on the run has files of its own to take away before it stops.
    watch.start();
    if (auto error = stagedRefusal(files.stage(), request.folder, files))
        return error;
    if (auto error = SeedGenerator(console, int(levels.size())))
        return error;
    std::vector<qint64> serials;
    if (auto error = takeSerials(console, request.serial, int(levels.size()), serials))
        return error;
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i].settings.serialNumber = serials[i];
    EvpPkeyPtr rootKey;
    QByteArray rootId;
    if (rootInToken)
    {
        SeedToken(console, token);
        const TokenFinding made = token.session->generateKey(token.uri.object, rootKey, rootId);
        if (made != TokenFinding::Done)
            return TokenRefusal(made, token);
    }
    X509Ptr root;
    Refusal issuing = issueInOrder(console, levels, password, files, std::move(rootKey), root);
    if (!issuing)
        issuing = stagedRefusal(files.commit(), request.folder, files);
    if (issuing)
    {
        // No file of the chain is in place: neither is its root's key.
        if (rootInToken)
            token.session->removeKeyPair(rootId);
        return issuing;
    }
    if (rootInToken)
    {
        if (token.session->storeCertificate(root.get(), token.uri.object, rootId) != TokenFinding::Done)
            return Refuse::tokenCertificateNotStored(token.uri.token,
                                                     stagedFilePath(request.folder, names.front().name));
        console.errLine(Note::noContainerForTokenKey(Pkcs11UriText(token.uri.token, token.uri.object)));
    }

    for (const StagedFiles::File& name : names)
        console.outLine(QFileInfo(stagedFilePath(request.folder, name.name)).absoluteFilePath());
    return std::nullopt;
}

int run(Invocation& invocation)
{
    ChainRequest request;
    if (auto error = parseRequest(invocation, request))
        return Report(invocation.console(), *error);
    TerminationWatch watch;
    const Refusal error = make(invocation, request, watch);
    const int status = error ? Report(invocation.console(), *error) : ExitSuccess;
    // Stopped by a signal: the staging folder is gone by now, and the process ends as asked.
    watch.finish();
    return status;
}

} // namespace

const Command& ChainCommand()
{
    static const Command command{
        "chain",
        "chain --out-dir DIR --root-name TEXT --organization TEXT [options]",
        "a root, its intermediates and a leaf in one go",
        "Makes a self-signed root, N intermediates (--intermediates, default 1), each issued by the one "
        "above, "
        "and a leaf under the last, in the folder DIR (made when missing): root, intermediate (then "
        "intermediate-2, ...) and leaf, each as .pem and .pfx, every .pfx under the one password, and "
        "chain.pem "
        "with every certificate from root to leaf.\n"
        "The chain is written whole or not at all, and standard output lists the files written. A second "
        "run into a folder that a run is writing into is refused; the files of a run stopped while putting "
        "them in place are put in place by the next run into the folder.\n"
        "Path lengths: the last intermediate 1 and each authority above it one more, so the root of a chain "
        "with N intermediates N + 1.\n"
        "Every certificate has the one validity period. Serial numbers: drawn at random (63 bits) unless "
        "--serial N or --serial trace makes them consecutive, the root first.",
        "talvane-chain chain --out-dir lab --root-name .Example --organization .Lab --password-file "
        "password\n"
        "talvane-chain chain --out-dir lab --root-name .Example --organization .Lab --intermediates 2 "
        "--leaf-entity Player --serial random --password-file password\n"
        "talvane-chain chain --out-dir lab --root-name .Example --organization .Lab --token "
        "'pkcs11:token=Lab%20Root;object=root-key' --pin-file pin --password-file password",
        {{Option::OutDir, "The folder of the chain's files; made when missing."},
         {Option::RootName},
         {Option::Organization, "Organisation name, the OU of every certificate of the chain."},
         {Option::RootEntity},
         {Option::IntermediateEntity},
         {Option::LeafEntity},
         {Option::Roles},
         {Option::Intermediates},
         {Option::Serial},
         {Option::Start},
         {Option::End},
         {Option::Days},
         {Option::Sha1},
         {Option::Force},
         {Option::PasswordFile,
          "First line of FILE (- for standard input): the password of every PKCS#12 file "
          "of the chain, else TALVANE_PASSWORD, else asked twice."},
         {Option::Token,
          "Make the root's key inside the PKCS#11 token the URI names (RSA-2048, sensitive, never "
          "extractable); root.pem is written and stored beside the key, and there is no root.pfx."},
         {Option::Module},
         {Option::PinFile}},
        nullptr,
        nullptr,
        run};
    return command;
}
