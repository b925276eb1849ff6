// talvane-chain renew: a certificate issued again for the same key (or a fresh one) before it
// ends, or a whole chain from its root down; the old files stay as they were.

#include "commands.h"

#include "chainverifier.h"
#include "console.h"
#include "filegroup.h"
#include "issuer.h"
#include "keypool.h"
#include "notes.h"
#include "opensslutil.h"
#include "outputfiles.h"
#include "outputnames.h"
#include "passwords.h"
#include "refusals.h"
#include "reissue.h"
#include "renewal.h"
#include "secret.h"
#include "seeding.h"
#include "serials.h"
#include "stagedfolder.h"
#include "tokenaccess.h"
#include "validity.h"
#include "values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace
{

namespace Rules = CertificateRules;

const QString kChainFile = QStringLiteral("chain.pem");

struct RenewRequest
{
    QStringList inputs;
    QString issuerPath;
    QString out;    // one certificate
    QString outDir; // a chain
    PeriodRequest period;
    SerialChoice serial;
    bool newKey = false;
    bool force = false;
};

Refusal obtainPasswords(const Invocation& invocation, const QString& what, Secret& input, Secret& output)
{
    const PasswordSource in{invocation.value(Option::InPasswordFile), "TALVANE_PASSWORD",
                            Option::InPasswordFile, Note::renewedContainerPurpose(what), false};
    if (auto error = ObtainPassword(invocation.console(), in, input))
        return error;
    // The renewed files keep the old password unless a new one is given.
    if (!invocation.isSet(Option::PasswordFile))
    {
        output.assign(input.data(), input.size());
        return std::nullopt;
    }
    const PasswordSource out{invocation.value(Option::PasswordFile), nullptr, Option::PasswordFile,
                             Note::newContainerPurpose(what), true};
    return ObtainPassword(invocation.console(), out, output);
}

// The run's serial numbers, after the board seeded the generator for them and for any new keys.
Refusal drawSerials(Console& console, RenewRequest& request, int count, std::vector<qint64>& serials)
{
    if (auto error = SeedGenerator(console, count))
        return error;
    return takeSerials(console, request.serial, count, serials);
}

// --- one certificate ------------------------------------------------------------------------------

Refusal checkOneOutput(const RenewRequest& request, QString& pemName, QString& pfxName)
{
    pemName = OutputFiles::pemFileName(request.out);
    pfxName = OutputFiles::pkcs12FileName(pemName);
    for (const QString& read : {request.inputs.front(), request.issuerPath})
        if (!read.isEmpty() && OutputFiles::overwrites(request.out, read))
            return Refuse::outputOverInput(request.out, read);
    return checkNewFiles({pemName, pfxName}, request.force);
}

// A root is its own issuer; any other certificate needs the issuer it names, whose validity then
// holds the new one.
Refusal checkIssuer(const Invocation& invocation, const RenewRequest& request, const RenewedContainer& old,
                    IssuingCertificate& issuer, Rules::ChainPeriod& period)
{
    const QString& input = request.inputs.front();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (old.root)
    {
        if (!request.issuerPath.isEmpty())
            return Refuse::rootTakesNoIssuer(input);
        return periodWithoutIssuer(request.period, now, period);
    }
    if (request.issuerPath.isEmpty())
        return Refuse::issuerNeeded(input, old.issuerCommonName);
    if (auto error = ObtainIssuer(invocation, issuer))
        return error;
    if (NamesIssuer(old.certificate.get(), issuer.objects.certificate.get()) != 1)
        return Refuse::wrongIssuer(input, issuer.commonName, request.issuerPath);
    return periodUnderIssuer(request.period, issuer, request.issuerPath, now, period);
}

// NAME.pem and NAME.pfx (the certificate, its key and `above`, root first), both or neither.
Refusal writeBoth(X509* certificate, EVP_PKEY* key, const std::vector<X509*>& above, const Secret& password,
                  const QString& pemName, const QString& pfxName)
{
    BorrowedX509StackPtr chain = BorrowedStackOf(above);
    FileGroup files;
    if (!chain || OpenSSLUtil::PEMWriteX509(certificate, QFile::encodeName(pemName).constData()) == 0)
        return Refuse::renewedNotWritten(pemName);
    if (OpenSSLUtil::PKCS12Write(QFile::encodeName(pfxName).constData(), certificate, key,
                                 above.empty() ? nullptr : chain.get(), password.data()) == 0)
        return Refuse::renewedNotWritten(pfxName);
    if (!files.commit())
        return Refuse::renewedNotWritten(files.failedFile() == 0 ? pemName : pfxName);
    return std::nullopt;
}

Refusal renewOne(Invocation& invocation, RenewRequest& request)
{
    Console& console = invocation.console();
    const QString& input = request.inputs.front();
    if (request.out.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Out),
                                     QStringLiteral("the name of the renewed files"));
    QString pemName;
    QString pfxName;
    if (auto error = checkOneOutput(request, pemName, pfxName))
        return error;

    const SecretsHeld secretsHeld;
    Secret password;
    Secret newPassword;
    if (auto error = obtainPasswords(invocation, input, password, newPassword))
        return error;
    RenewedContainer old;
    if (auto error = readRenewed(input, password, old))
        return error;
    Rules::ChainPeriod period;
    IssuingCertificate issuer;
    if (auto error = checkIssuer(invocation, request, old, issuer, period))
        return error;

    std::vector<qint64> serials;
    if (auto error = drawSerials(console, request, 1, serials))
        return error;
    EvpPkeyPtr newKey;
    if (request.newKey)
    {
        KeyPool keys(1);
        newKey = keys.next();
        if (!newKey)
            return Refuse::keyGenerationFailed();
    }
    EVP_PKEY* key = newKey ? newKey.get() : old.key.get();
    X509Ptr made;
    if (auto error = old.root ? reissue(old.certificate.get(), newKey.get(), nullptr, key, serials.front(),
                                        period, made)
                              : reissue(old.certificate.get(), newKey.get(), issuer.objects.certificate.get(),
                                        issuer.objects.key.get(), serials.front(), period, made))
        return error;

    // The container holds what the issuer's holds above it, then the issuer.
    std::vector<X509*> above;
    if (!old.root)
    {
        for (int i = 0; i < sk_X509_num(issuer.objects.chain.get()); ++i)
            above.push_back(sk_X509_value(issuer.objects.chain.get(), i));
        above.push_back(issuer.objects.certificate.get());
    }
    if (auto error = writeBoth(made.get(), key, above, newPassword, pemName, pfxName))
        return error;

    console.errLine(
        Note::renewed(old.commonName, serials.front(), printed(period.start), printed(period.end)));
    warnAboutValidity(console, old.commonName, period);
    if (old.authority)
        console.errLine(Note::authorityRenewed(old.commonName, request.newKey));
    console.outLine(QFileInfo(pemName).absoluteFilePath());
    console.outLine(QFileInfo(pfxName).absoluteFilePath());
    return std::nullopt;
}

// --- a root in a token ----------------------------------------------------------------------------

// The root whose key `request.inputs.front()` names in a token, issued again with that key: NAME.pem
// is written, then the certificate beside the key in the token is replaced by it. The key never
// moves, so there is no .pfx and no --new-key.
Refusal renewTokenRoot(Invocation& invocation, RenewRequest& request)
{
    Console& console = invocation.console();
    const QString& uri = request.inputs.front();
    if (request.out.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Out), QStringLiteral("the name of the renewed root"));
    if (!request.issuerPath.isEmpty())
        return Refuse::rootTakesNoIssuer(uri);
    if (request.newKey)
        return Refuse::tokenRootKeepsKey(uri, OptionText(Option::NewKey));
    const QString pemName = OutputFiles::pemFileName(request.out);
    if (auto error = checkNewFiles({pemName}, request.force))
        return error;

    const SecretsHeld secretsHeld;
    TokenAccess token;
    IssuingCertificate root;
    if (auto error = ObtainTokenIssuer(invocation, uri, root, token))
        return error;
    X509* old = root.objects.certificate.get();
    if (X509_check_issued(old, old) != X509_V_OK)
        return Refuse::tokenKeyNotRoot(uri, root.commonName);
    Rules::ChainPeriod period;
    if (auto error = periodWithoutIssuer(request.period, QDateTime::currentDateTimeUtc(), period))
        return error;
    std::vector<qint64> serials;
    if (auto error = drawSerials(console, request, 1, serials))
        return error;
    X509Ptr made;
    if (auto error = reissue(old, nullptr, nullptr, root.objects.key.get(), serials.front(), period, made))
        return error;

    FileGroup files;
    if (OpenSSLUtil::PEMWriteX509(made.get(), QFile::encodeName(pemName).constData()) == 0 || !files.commit())
        return Refuse::renewedNotWritten(pemName);
    console.outLine(QFileInfo(pemName).absoluteFilePath());
    // The old certificate goes back where the token refuses the new one, so that the key is never
    // left without the certificate it issues under.
    TokenSession& session = *token.session;
    if (!session.removeCertificate(token.keyId))
        return Refuse::tokenCertificateNotStored(token.uri.token, pemName);
    if (session.storeCertificate(made.get(), token.keyLabel, token.keyId) != TokenFinding::Done)
    {
        session.storeCertificate(old, token.keyLabel, token.keyId);
        return Refuse::tokenCertificateNotStored(token.uri.token, pemName);
    }
    console.errLine(
        Note::renewed(root.commonName, serials.front(), printed(period.start), printed(period.end)));
    warnAboutValidity(console, root.commonName, period);
    // renew --chain reads .pfx files, which a root in a token has none of.
    console.errLine(Note::tokenRootRenewed(root.commonName, uri));
    return std::nullopt;
}

// --- a whole chain --------------------------------------------------------------------------------

// The .pfx files of a folder chain made, or the files given.
Refusal chainInputs(const RenewRequest& request, QStringList& files, QStringList& folders)
{
    for (const QString& input : request.inputs)
    {
        const QFileInfo info(input);
        if (info.isDir())
        {
            folders << info.absoluteFilePath();
            for (const QString& name :
                 QDir(input).entryList({QStringLiteral("*.pfx")}, QDir::Files, QDir::Name))
                files << QDir(input).filePath(name);
        }
        else
        {
            if (!info.exists())
                return Refuse::fileMissing(input);
            folders << info.absolutePath();
            files << input;
        }
    }
    if (files.isEmpty())
        return Refuse::noCertificateIn(request.inputs.join(QStringLiteral(", ")));
    return std::nullopt;
}

// The containers from the root down: one chain, every container in it, no stem twice.
Refusal orderChain(std::vector<RenewedContainer>& containers, const QString& what,
                   std::vector<RenewedContainer*>& rootFirst)
{
    std::vector<X509*> certificates;
    std::map<X509*, RenewedContainer*> owner;
    for (RenewedContainer& container : containers)
    {
        certificates.push_back(container.certificate.get());
        owner[container.certificate.get()] = &container;
    }
    const ChainSorting sorting = ChainVerifier::sortIntoChains(certificates);
    if (!sorting.problem.isEmpty() || !sorting.orphans.empty() || sorting.chains.size() != 1 ||
        sorting.chains.front().size() != containers.size())
        return Refuse::notOneChain(what);
    QStringList stems;
    for (X509* certificate : sorting.chains.front())
    {
        RenewedContainer* container = owner[certificate];
        stems << QFileInfo(container->path).completeBaseName();
        rootFirst.push_back(container);
    }
    if (!rootFirst.front()->root || stems.removeDuplicates() > 0)
        return Refuse::notOneChain(what);
    return std::nullopt;
}

QString stemOf(const RenewedContainer& container)
{
    return QFileInfo(container.path).completeBaseName();
}

// Each level's period inside the one above, all before anything is taken or made.
Refusal planPeriods(const RenewRequest& request, const std::vector<RenewedContainer*>& levels,
                    std::vector<Rules::ChainPeriod>& periods)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    periods.assign(levels.size(), Rules::ChainPeriod());
    if (auto error = periodWithoutIssuer(request.period, now, periods.front()))
        return error;
    for (size_t i = 1; i < levels.size(); ++i)
        if (auto error = periodUnderIssuer(request.period, issuerFacts(periods[i - 1]),
                                           stemOf(*levels[i - 1]), now, periods[i]))
            return error;
    return std::nullopt;
}

// The run's plan once every container is read: levels root first, their periods and serial numbers.
struct ChainPlan
{
    std::vector<RenewedContainer*> levels;
    std::vector<Rules::ChainPeriod> periods;
    std::vector<qint64> serials;
    QStringList names; // stem.pem and stem.pfx of each level, then chain.pem
};

// Issues each level under the one renewed above it and stages its files, then chain.pem.
Refusal issueLevels(Console& console, const ChainPlan& plan, KeyPool* keys, const Secret& password,
                    StagedFiles& staged)
{
    std::vector<X509Ptr> made;
    std::vector<EVP_PKEY*> signers; // each level's key, the new one or its own
    std::vector<EvpPkeyPtr> freshKeys;
    std::vector<X509*> above;
    for (size_t i = 0; i < plan.levels.size(); ++i)
    {
        const RenewedContainer& level = *plan.levels[i];
        EvpPkeyPtr fresh;
        if (keys && !(fresh = keys->next()))
            return Refuse::keyGenerationFailed();
        EVP_PKEY* key = fresh ? fresh.get() : level.key.get();
        X509Ptr certificate;
        if (auto error =
                reissue(level.certificate.get(), fresh.get(), i == 0 ? nullptr : made.back().get(),
                        i == 0 ? key : signers.back(), plan.serials[i], plan.periods[i], certificate))
            return error;
        const QString stem = stemOf(level);
        BorrowedX509StackPtr chain = BorrowedStackOf(above);
        const QByteArray pem = stagingFile(staged, stem + QStringLiteral(".pem"));
        const QByteArray pfx = stagingFile(staged, stem + QStringLiteral(".pfx"));
        if (!chain || OpenSSLUtil::PEMWriteX509(certificate.get(), pem.constData()) == 0 ||
            OpenSSLUtil::PKCS12Write(pfx.constData(), certificate.get(), key,
                                     above.empty() ? nullptr : chain.get(), password.data()) == 0)
            return Refuse::levelNotWritten(stem);
        console.errLine(
            Note::renewedInChain(stem, level.commonName, plan.serials[i], printed(plan.periods[i].end)));
        warnAboutValidity(console, level.commonName, plan.periods[i]);
        above.push_back(certificate.get());
        made.push_back(std::move(certificate));
        signers.push_back(key);
        freshKeys.push_back(std::move(fresh));
    }
    BorrowedX509StackPtr chain = BorrowedStackOf(above);
    const QByteArray chainFile = stagingFile(staged, kChainFile);
    if (!chain || OpenSSLUtil::PEMWriteX509Chain(chain.get(), chainFile.constData()) == 0)
        return Refuse::chainFileNotWritten(kChainFile);
    return std::nullopt;
}

Refusal renewChain(Invocation& invocation, RenewRequest& request)
{
    Console& console = invocation.console();
    if (request.outDir.isEmpty())
        return Refuse::optionMissing(OptionText(Option::OutDir),
                                     QStringLiteral("the folder for the renewed chain"));
    QStringList files;
    QStringList folders;
    if (auto error = chainInputs(request, files, folders))
        return error;
    const QString what = request.inputs.join(QStringLiteral(", "));
    if (!request.force && folders.contains(QDir::cleanPath(QFileInfo(request.outDir).absoluteFilePath())))
        return Refuse::chainOverItself(request.outDir);

    const SecretsHeld secretsHeld;
    Secret password;
    Secret newPassword;
    if (auto error = obtainPasswords(invocation, what, password, newPassword))
        return error;
    std::vector<RenewedContainer> containers(size_t(files.size()));
    for (int i = 0; i < files.size(); ++i)
        if (auto error = readRenewed(files.at(i), password, containers[size_t(i)]))
            return error;
    ChainPlan plan;
    if (auto error = orderChain(containers, what, plan.levels))
        return error;
    for (const RenewedContainer* level : plan.levels)
        plan.names << stemOf(*level) + QStringLiteral(".pem") << stemOf(*level) + QStringLiteral(".pfx");
    plan.names << kChainFile;
    std::vector<StagedFiles::File> stagedNames;
    for (const QString& name : plan.names)
        stagedNames.push_back({name.toStdString(), name.endsWith(QLatin1String(".pfx"))
                                                       ? FileAccess::OwnerOnly
                                                       : FileAccess::Shared});
    StagedFiles staged(QFile::encodeName(request.outDir).toStdString(), stagedNames);
    if (auto error = openStagedFolder(console, request.outDir, request.force, staged))
        return error;

    // Every period before a serial number is taken, a key made or a file touched.
    const int count = int(plan.levels.size());
    if (auto error = planPeriods(request, plan.levels, plan.periods))
        return error;
    if (auto error = readSerial(invocation, count, request.serial))
        return error;
    if (auto error = drawSerials(console, request, count, plan.serials))
        return error;
    std::unique_ptr<KeyPool> keys = request.newKey ? std::make_unique<KeyPool>(count) : nullptr;
    if (auto error = stagedRefusal(staged.stage(), request.outDir, staged))
        return error;
    if (auto error = issueLevels(console, plan, keys.get(), newPassword, staged))
        return error;
    if (auto error = stagedRefusal(staged.commit(), request.outDir, staged))
        return error;
    for (const QString& name : plan.names)
        console.outLine(QFileInfo(stagedFilePath(request.outDir, name.toStdString())).absoluteFilePath());
    return std::nullopt;
}

Refusal renew(Invocation& invocation)
{
    RenewRequest request;
    request.inputs = invocation.operands();
    const bool wholeChain = invocation.isSet(Option::Chain);
    if (request.inputs.isEmpty())
        return Refuse::noFiles(QStringLiteral("renew"));
    if (!wholeChain && request.inputs.size() > 1)
        return Refuse::renewReadsOneFile(request.inputs.at(1));
    if (wholeChain && invocation.isSet(Option::Issuer))
        return Refuse::optionsExclude(OptionText(Option::Chain), OptionText(Option::Issuer));
    if (wholeChain && invocation.isSet(Option::Out))
        return Refuse::optionsExclude(OptionText(Option::Chain), OptionText(Option::Out));
    if (!wholeChain && invocation.isSet(Option::OutDir))
        return Refuse::modifierWithout(OptionText(Option::OutDir), OptionText(Option::Chain));
    request.issuerPath = invocation.value(Option::Issuer);
    request.out = invocation.value(Option::Out);
    request.outDir = invocation.value(Option::OutDir);
    request.newKey = invocation.isSet(Option::NewKey);
    request.force = invocation.isSet(Option::Force);
    if (auto error = readPeriod(invocation, request.period))
        return error;
    // A chain's run is checked again once its length is known.
    if (auto error = readSerial(invocation, 1, request.serial))
        return error;
    if (wholeChain)
        return renewChain(invocation, request);
    return IsPkcs11Uri(request.inputs.front()) ? renewTokenRoot(invocation, request)
                                               : renewOne(invocation, request);
}

} // namespace

const Command& RenewCommand()
{
    static const Command command{
        "renew",
        "renew FILE.pfx|ROOT-KEY-URI [--issuer ISSUER.pfx|URI] --out NAME | --chain DIR|FILE.pfx... "
        "--out-dir DIR "
        "[options]",
        "a certificate or a whole chain issued again before it ends",
        "Issues the certificate in FILE.pfx again for the same key: the same subject, byte for byte, and the "
        "same extensions except the authority key identifier, which names the issuer's current certificate; "
        "a "
        "new serial number and a new validity (from now to the issuer's end unless --start, --end or --days "
        "say otherwise, never outside the issuer's). Writes NAME.pem and NAME.pfx under the same password "
        "unless --password-file gives a new one; the old files stay as they were.\n"
        "A root renews without --issuer. A root whose key is in a token is renewed by the pkcs11: URI of its "
        "key (--module and --pin-file as for --issuer): NAME.pem is written and replaces the certificate "
        "beside the key in the token; the key stays, so there is no .pfx. The certificates an authority "
        "issued name its serial number and "
        "must be renewed too: --chain renews a whole chain, a folder chain made or its .pfx files, from the "
        "root down, keeping every key (and so every dnQualifier), into --out-dir, whole or not at all.\n"
        "--new-key renews with a fresh key instead: a new dnQualifier, a new subject, so everything below "
        "an authority must be renewed as well.",
        "talvane-chain renew leaf.pfx --issuer intermediate.pfx --out leaf-2027 --in-password-file password\n"
        "talvane-chain renew root.pfx --out root-2027 --days 3000 --in-password-file password\n"
        "talvane-chain renew --chain lab --out-dir lab-2027 --in-password-file password\n"
        "talvane-chain renew \"pkcs11:token=Lab%20Root;object=root-key\" --out root-2027 --pin-file pin",
        IssuerOptionsWith(
            {{Option::Chain},
             {Option::Out, "Destination: NAME.pem and NAME.pfx; never the input or the issuer."},
             {Option::OutDir,
              "With --chain: the folder for the renewed chain; never the old one without --force."},
             {Option::InPasswordFile},
             {Option::PasswordFile,
              "First line of FILE (- for standard input): a new password for the renewed files; default the "
              "old one."},
             {Option::NewKey},
             {Option::Serial},
             {Option::Start, "Start of validity; default now, not before the issuer's start."},
             {Option::End,
              "End of validity; default the issuer's end (for a root 3,649 days after the start), "
              "never after 2038-01-19T03:14:07Z."},
             {Option::Days},
             {Option::Force}}),
        "FILE.pfx|URI|DIR",
        "The PKCS#12 file to renew, or the pkcs11: URI of a root's key in a token; with --chain the folder "
        "of "
        "a chain, or its .pfx files root first.",
        [](Invocation& invocation)
        {
            if (auto error = renew(invocation))
                return Report(invocation.console(), *error);
            return int(ExitSuccess);
        }};
    return command;
}
