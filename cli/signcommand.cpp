// talvane-chain sign: a leaf for each certificate request, by an authority that takes from a
// request its key and, when told nothing else, its entity, and decides everything else itself.

#include "commands.h"

#include "certificaterequest.h"
#include "certificaterules.h"
#include "certificatetype.h"
#include "console.h"
#include "filegroup.h"
#include "issuer.h"
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
#include "validity.h"
#include "values.h"
#include "zidcertificate.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace
{

namespace Rules = CertificateRules;
namespace Requests = CertificateRequests;

// What the command line asks for, checked against itself.
struct SignRun
{
    QStringList requestFiles;
    QString folder;
    QString issuerFile;
    QStringList roles;
    QString entity;       // empty: each request's own
    QString organization; // empty: the issuer's OU
    PeriodRequest period;
    SerialChoice serial;
    bool force = false;
};

// One request as the authority will certify it.
struct Leaf
{
    QString requestFile;
    QString stem; // DIR/stem.pem and DIR/stem-chain.pem
    Requests::ReadRequest request;
    QString commonName;
};

QString pemName(const Leaf& leaf)
{
    return leaf.stem + QStringLiteral(".pem");
}

QString chainName(const Leaf& leaf)
{
    return leaf.stem + QStringLiteral("-chain.pem");
}

Refusal parseRun(const Invocation& invocation, SignRun& run)
{
    run.requestFiles = invocation.operands();
    if (run.requestFiles.isEmpty())
        return Refuse::noFiles(QStringLiteral("sign"));
    run.folder = invocation.value(Option::OutDir);
    if (run.folder.isEmpty())
        return Refuse::optionMissing(OptionText(Option::OutDir), QStringLiteral("the folder for the leaves"));
    run.issuerFile = invocation.value(Option::Issuer);
    if (run.issuerFile.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Issuer), QStringLiteral("the issuing PKCS#12 file"));
    if (auto error = readRoles(invocation, run.roles))
        return error;
    if (auto error = readName(invocation, Option::Entity, run.entity))
        return error;
    if (auto error = readName(invocation, Option::Organization, run.organization))
        return error;
    if (!run.organization.isEmpty())
        if (auto error = checkNameOptions({{Option::Organization,
                                            Rules::NameField::Organization,
                                            run.organization,
                                            run.organization,
                                            "organizational unit",
                                            {}}}))
            return error;
    if (auto error = readSerial(invocation, int(run.requestFiles.size()), run.serial))
        return error;
    run.force = invocation.isSet(Option::Force);
    return readPeriod(invocation, run.period);
}

// The entity from --entity or from the part of the request's CN after its roles, checked as every
// name is.
Refusal nameLeaf(const SignRun& run, Leaf& leaf)
{
    const QString entity =
        run.entity.isEmpty() ? Rules::entityOfCommonName(leaf.request.commonName) : run.entity;
    if (entity.isEmpty())
        return Refuse::requestWithoutEntity(leaf.requestFile, OptionText(Option::Entity));
    leaf.commonName = Rules::commonNameWithRoles(run.roles, entity);
    if (auto error = checkNameOptions(
            {{Option::Entity, Rules::NameField::Entity, entity, leaf.commonName, "common name", run.roles}}))
        return run.entity.isEmpty() ? Refuse::inRequest(leaf.requestFile, *error) : *error;
    return std::nullopt;
}

// Reading a request is mostly OpenSSL's check of its public key, a few milliseconds each: the
// requests are read on every core.
std::vector<Requests::ReadRequest> readAll(const QStringList& files)
{
    std::vector<Requests::ReadRequest> reads(size_t(files.size()));
    std::atomic<int> next{0};
    const auto work = [&]
    {
        for (int i = next++; i < int(files.size()); i = next++)
            reads[size_t(i)] = Requests::readRequestFile(files.at(i));
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < KeyPool::threadsFor(int(files.size())); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    return reads;
}

// Every request read and judged before anything is issued: one refused request stops the run,
// the first in the order given.
Refusal readLeaves(const SignRun& run, const IssuingCertificate& issuer, std::vector<Leaf>& leaves)
{
    QStringList keys{Requests::dnQualifierOf(issuer.objects.key.get())};
    QStringList stems;
    std::vector<Requests::ReadRequest> reads = readAll(run.requestFiles);
    for (int i = 0; i < int(run.requestFiles.size()); ++i)
    {
        const QString& file = run.requestFiles.at(i);
        Leaf leaf;
        leaf.requestFile = file;
        leaf.stem = QFileInfo(file).completeBaseName();
        if (!QFileInfo::exists(file))
            return Refuse::fileMissing(file);
        leaf.request = std::move(reads[size_t(i)]);
        if (!leaf.request.valid())
            return Refuse::requestRefused(file, leaf.request.finding);
        const qsizetype sameKey = keys.indexOf(leaf.request.dnQualifier);
        if (sameKey == 0)
            return Refuse::requestOfIssuerKey(file, run.issuerFile);
        if (sameKey > 0)
            return Refuse::requestsShareKey(file, run.requestFiles.at(sameKey - 1));
        if (leaf.stem.isEmpty() || stems.contains(leaf.stem))
            return Refuse::requestNamesClash(file, leaf.stem);
        if (auto error = nameLeaf(run, leaf))
            return error;
        keys << leaf.request.dnQualifier;
        stems << leaf.stem;
        leaves.push_back(std::move(leaf));
    }
    return std::nullopt;
}

// One leaf below the issuer in memory, staged with the chain from the root down to it.
Refusal issueOne(const IssuingCertificate& issuer, const CertificateSettings& settings, const Leaf& leaf,
                 const StagedFiles& files, const QString& folder)
{
    EvpPkeyPtr key(EVP_PKEY_dup(leaf.request.key.get()));
    ZIDCertificate certificate;
    if (!key ||
        !IssueFromSettings(certificate, settings, int(CertificateType::Leaf), issuer.objects, key.release()))
        return Refuse::issuingFailed(leaf.commonName);
    BorrowedX509StackPtr chain(sk_X509_new_null());
    bool listed = chain != nullptr;
    for (int j = 0; listed && j < sk_X509_num(issuer.objects.chain.get()); ++j)
        listed = sk_X509_push(chain.get(), sk_X509_value(issuer.objects.chain.get(), j)) > 0;
    listed = listed && sk_X509_push(chain.get(), issuer.objects.certificate.get()) > 0 &&
             sk_X509_push(chain.get(), certificate.mpX509) > 0;
    const QByteArray pem = stagingFile(files, pemName(leaf));
    const QByteArray chainPem = stagingFile(files, chainName(leaf));
    if (certificate.WritePem(pem.constData()) == 0)
        return Refuse::certificateNotWritten(stagedFilePath(folder, pemName(leaf).toStdString()));
    if (!listed || OpenSSLUtil::PEMWriteX509Chain(chain.get(), chainPem.constData()) == 0)
        return Refuse::chainFileNotWritten(stagedFilePath(folder, chainName(leaf).toStdString()));
    return std::nullopt;
}

// The leaves are issued on several threads: signing is quick, and each file's way to the disk is
// waited for, so more threads than cores keep the cores busy. No thread waits for its staged files
// to reach the disk: the commit syncs them all at once.
Refusal issueAll(const IssuingCertificate& issuer, const CertificateSettings& common,
                 const std::vector<Leaf>& leaves, const std::vector<qint64>& serials, Console& console,
                 const StagedFiles& files, const QString& folder)
{
    const int count = int(leaves.size());
    std::vector<CertificateSettings> settings(leaves.size(), common);
    for (size_t i = 0; i < leaves.size(); ++i)
    {
        settings[i].entityName = leaves[i].commonName;
        settings[i].serialNumber = serials[i];
    }
    std::vector<Refusal> refusals(leaves.size());
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&]
    {
        const UnsyncedWrites unsynced(files.stagingFolder());
        for (int i = next++; i < count && !failed; i = next++)
        {
            refusals[size_t(i)] = issueOne(issuer, settings[size_t(i)], leaves[size_t(i)], files, folder);
            if (refusals[size_t(i)])
                failed = true;
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(count, 2 * KeyPool::threadsFor(count)); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    for (const Refusal& refusal : refusals)
        if (refusal)
            return refusal;
    for (const CertificateSettings& made : settings)
        console.errLine(Note::created(made.entityName, made.serialNumber, printed(made.validityStart),
                                      printed(made.validityEnd)));
    return std::nullopt;
}

Refusal sign(Invocation& invocation)
{
    SignRun run;
    if (auto error = parseRun(invocation, run))
        return error;
    Console& console = invocation.console();
    const SecretsHeld secretsHeld;
    // Declared before every certificate: a token's key goes before its session.
    IssuingCertificate issuer;
    Rules::ChainPeriod period;
    if (auto error = readLeafIssuer(invocation, run.period, issuer, period))
        return error;

    std::vector<Leaf> leaves;
    if (auto error = readLeaves(run, issuer, leaves))
        return error;
    for (const Leaf& leaf : leaves)
        for (const QString& extension : leaf.request.extensions)
            console.errLine(Note::requestedExtensionIgnored(leaf.requestFile, extension));

    std::vector<StagedFiles::File> names;
    for (const Leaf& leaf : leaves)
    {
        names.push_back({pemName(leaf).toStdString(), FileAccess::Shared});
        names.push_back({chainName(leaf).toStdString(), FileAccess::Shared});
    }
    StagedFiles files(QFile::encodeName(run.folder).toStdString(), names);
    if (auto error = openStagedFolder(console, run.folder, run.force, files))
        return error;

    const CertificateSettings common = LeafSettingsUnder(issuer, run.organization, period, false);

    if (auto error = stagedRefusal(files.stage(), run.folder, files))
        return error;
    // No key is made here; serial numbers drawn at random come from the generator the card seeds.
    if (run.serial.source == SerialChoice::Random)
        if (auto error = SeedGenerator(console, 1))
            return error;
    const int count = int(leaves.size());
    std::vector<qint64> serials;
    if (auto error = takeSerials(console, run.serial, count, serials))
        return error;
    if (auto error = issueAll(issuer, common, leaves, serials, console, files, run.folder))
        return error;
    if (auto error = stagedRefusal(files.commit(), run.folder, files))
        return error;
    for (const StagedFiles::File& name : names)
        console.outLine(QFileInfo(stagedFilePath(run.folder, name.name)).absoluteFilePath());
    return std::nullopt;
}

int run(Invocation& invocation)
{
    if (auto error = sign(invocation))
        return Report(invocation.console(), *error);
    return ExitSuccess;
}

} // namespace

const Command& SignCommand()
{
    static const Command command{
        "sign",
        "sign REQUEST... --issuer FILE.pfx --out-dir DIR [--roles \"R1 R2 ...\"] [--entity TEXT] [options]",
        "a leaf for each certificate request, signed by an authority",
        "Issues a leaf for each PKCS#10 request (PEM or DER) under the authority in --issuer, and writes "
        "DIR/NAME.pem and DIR/NAME-chain.pem (root to leaf) for a request file NAME.csr; the key stays with "
        "whoever made the request. A request must be version 1, signed with SHA-256 or stronger by its own "
        "key, an RSA-2048 key of exponent 65537 that is not the issuer's nor another request's of the run.\n"
        "Nothing a request proposes is taken on trust: the subject is rebuilt with the issuer's O, the OU of "
        "--organization or the issuer's, the CN of the roles (--roles, by default CS), \".\" and the entity "
        "(--entity, or the request's CN after its roles), and the dnQualifier of the key; a request that "
        "proposes another dnQualifier is refused. The extensions a request asks for are ignored, each said "
        "on standard error; every leaf gets the profile's own.\n"
        "The validity lies inside the issuer's. The run is all or nothing: one refused request names its "
        "file and the reason, and nothing is issued. The files written are listed on standard output.",
        "talvane-chain sign projector.csr --issuer intermediate.pfx --issuer-password-file password "
        "--roles \"LE SPB MD FM SM\" --out-dir signed\n"
        "talvane-chain sign line/*.csr --issuer intermediate.pfx --issuer-password-file password --roles SM "
        "--serial random --days 730 --out-dir signed",
        IssuerOptionsWith(
            {{Option::OutDir, "The folder of the leaves; made when missing."},
             {Option::Roles},
             {Option::Entity, "Entity name of every leaf, instead of each request's."},
             {Option::Organization, "Organisation name, the OU of every leaf; default the issuer's OU."},
             {Option::Serial},
             {Option::Start, "Start of validity; default now, not before the issuer's start."},
             {Option::End},
             {Option::Days},
             {Option::Force}}),
        "REQUEST...",
        "PKCS#10 certificate requests, PEM or DER",
        run};
    return command;
}
