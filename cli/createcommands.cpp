// talvane-chain root|intermediate|leaf: one certificate, by the window's rules, without questions.

#include "commands.h"

#include "certificaterules.h"
#include "chainrules.h"
#include "console.h"
#include "filegroup.h"
#include "issuer.h"
#include "leafbatch.h"
#include "nameoptions.h"
#include "notes.h"
#include "outputfiles.h"
#include "outputnames.h"
#include "passwords.h"
#include "refusals.h"
#include "roles.h"
#include "secret.h"
#include "seeding.h"
#include "serials.h"
#include "settingsissue.h"
#include "tokenaccess.h"
#include "validity.h"
#include "values.h"
#include "zidcertificate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

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
    bool organizationGiven = false;
    PeriodRequest period;
    SerialChoice serial;
    bool force = false;
    QString tokenUri; // a root whose key is made in this token; no .pfx then
};

Refusal parseNames(const Invocation& invocation, Request& request)
{
    CertificateSettings& settings = request.settings;
    const bool root = request.type == CertificateType::Root;
    const bool leaf = request.type == CertificateType::Leaf;
    if (root)
        if (auto error = readName(invocation, Option::RootName, settings.rootName))
            return error;
    if (auto error = readName(invocation, Option::Organization, settings.organizationName))
        return error;
    if (auto error = readName(invocation, Option::Entity, settings.entityName))
        return error;
    request.organizationGiven = invocation.isSet(Option::Organization);

    // The subject entries as the engine takes them, then the texts as the window's fields take
    // them, so that a name the window refuses is refused here too.
    using Field = Rules::NameField;
    std::vector<NameOption> names;
    QStringList roles;
    if (leaf)
        if (auto error = readRoles(invocation, roles))
            return error;
    if (invocation.isSet(Option::Entity))
    {
        const QString entity = settings.entityName;
        settings.entityName = Rules::commonNameWithRoles(roles, entity);
        names.push_back({Option::Entity, Field::Entity, entity, settings.entityName, "common name", roles});
    }
    if (root && invocation.isSet(Option::RootName))
        names.push_back(
            {Option::RootName, Field::RootName, settings.rootName, settings.rootName, "organization", {}});
    if (request.organizationGiven)
        names.push_back({Option::Organization,
                         Field::Organization,
                         settings.organizationName,
                         settings.organizationName,
                         "organizational unit",
                         {}});
    return checkNameOptions(names);
}

Refusal parseNumbers(const Invocation& invocation, Request& request)
{
    CertificateSettings& settings = request.settings;
    if (auto error = readSerial(invocation, 1, request.serial))
        return error;
    settings.serialNumber = request.serial.first;

    request.pathLengthGiven = invocation.isSet(Option::PathLength);
    if (request.pathLengthGiven)
    {
        const auto pathLength = parseWholeNumber(invocation.value(Option::PathLength));
        if (!pathLength || !Rules::authorityPathLengthAllowed(*pathLength) ||
            *pathLength > std::numeric_limits<qint32>::max())
            return Refuse::pathLengthNotAllowed();
        settings.pathLength = int(*pathLength);
    }
    return std::nullopt;
}

Refusal parseRequest(const Invocation& invocation, CertificateType type, Request& request)
{
    request.type = type;
    CertificateSettings& settings = request.settings;
    request.out = invocation.value(Option::Out);
    if (request.out.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Out), QStringLiteral("the destination file name"));
    if (isDerived(type))
    {
        settings.issuerFileName = invocation.value(Option::Issuer);
        if (settings.issuerFileName.isEmpty())
            return Refuse::optionMissing(OptionText(Option::Issuer),
                                         QStringLiteral("the issuing PKCS#12 file"));
    }
    request.tokenUri = invocation.value(Option::Token);
    if (!request.tokenUri.isEmpty() && invocation.isSet(Option::PasswordFile))
        return Refuse::optionsExclude(OptionText(Option::Token), OptionText(Option::PasswordFile));
    settings.ca = isAuthority(type);
    settings.pathLength = type == CertificateType::Leaf ? 0 : settings.pathLength;

    if (auto error = parseNames(invocation, request))
        return error;
    if (auto error = parseNumbers(invocation, request))
        return error;
    settings.signingAlgorithm = invocation.isSet(Option::Sha1) ? 0 : 1;
    request.force = invocation.isSet(Option::Force);
    return readPeriod(invocation, request.period);
}

// The placeholders of the window's settings record never go into a real certificate: a root takes
// all of its names from the command line, a certificate below it at least its entity.
Refusal requireGivenNames(const Invocation& invocation, CertificateType type)
{
    if (type == CertificateType::Root &&
        (!invocation.isSet(Option::RootName) || !invocation.isSet(Option::Organization)))
        return Refuse::rootNamesMissing();
    return requireNames(invocation, {Option::Entity});
}

Refusal checkOutputs(Request& request)
{
    request.pemName = OutputFiles::pemFileName(request.out);
    // A key that cannot leave its token has no container.
    if (request.tokenUri.isEmpty())
        request.pfxName = OutputFiles::pkcs12FileName(request.pemName);
    request.settings.destinationFileName = request.pemName;
    // Not even --force: the issuing file holds the only copy of its key.
    const QString& issuerFile = request.settings.issuerFileName;
    if (isDerived(request.type) && OutputFiles::overwrites(request.out, issuerFile))
        return Refuse::overwritesIssuer(request.out, issuerFile);
    return checkNewFiles({request.pemName, request.pfxName}, request.force);
}

Refusal obtainPassword(const Invocation& invocation, const Request& request, Secret& password)
{
    const PasswordSource source{invocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::newContainerPurpose(request.pfxName), true};
    return ObtainPassword(invocation.console(), source, password);
}

// The window's checks on the issuing certificate: readable with the password, an authority with a
// path length left for the new certificate, the validity inside its own. What the user left out
// is taken from it.
Refusal checkAgainstIssuer(const Invocation& invocation, Request& request, IssuingCertificate& issuer)
{
    CertificateSettings& settings = request.settings;
    if (auto error = ObtainIssuer(invocation, issuer))
        return error;
    if (auto error = fitPathLength(request.type, request.pathLengthGiven, settings.pathLength, issuer))
        return error;
    Rules::ChainPeriod period;
    if (auto error = periodUnderIssuer(request.period, issuer, settings.issuerFileName,
                                       QDateTime::currentDateTimeUtc(), period))
        return error;
    settings.validityStart = period.start;
    settings.validityEnd = period.end;
    if (!request.organizationGiven)
        settings.organizationName = issuer.organizationalUnit;
    return std::nullopt;
}

// The board seeded and the serial number taken, both before any key is made.
Refusal takeSerial(Console& console, Request& request)
{
    if (auto error = SeedGenerator(console, 1))
        return error;
    std::vector<qint64> serials;
    if (auto error = takeSerials(console, request.serial, 1, serials))
        return error;
    request.settings.serialNumber = serials.front();
    return std::nullopt;
}

// The root signed with the token's key (the certificate owns `key` until it goes, before the
// session) and written as NAME.pem; `written` says whether it was.
Refusal signAndWrite(Request& request, EvpPkeyPtr key, X509Ptr& root, bool& written)
{
    ZIDCertificate certificate;
    if (!IssueFromSettings(certificate, request.settings, int(request.type), Secret(), key.release()))
        return Refuse::issuingFailed(QString());
    FileGroup files;
    if (certificate.WritePem(QFile::encodeName(request.pemName).constData()) == 0 || !files.commit())
        return Refuse::certificateNotWritten(request.pemName);
    written = true;
    root.reset(X509_dup(certificate.mpX509));
    return root ? Refusal() : Refuse::issuingFailed(QString());
}

// A root whose key is made inside the token and never leaves it: its certificate is written as
// NAME.pem and stored in the token beside the key, under the key's label and id. A key whose
// certificate could not be written is taken out of the token again.
Refusal issueInToken(Console& console, Request& request, const TokenAccess& token)
{
    CertificateSettings& settings = request.settings;
    if (auto error = takeSerial(console, request))
        return error;
    SeedToken(console, token);
    EvpPkeyPtr key;
    QByteArray id;
    const QString& label = token.uri.object;
    const TokenFinding made = token.session->generateKey(label, key, id);
    if (made != TokenFinding::Done)
        return TokenRefusal(made, token);

    X509Ptr root;
    bool written = false;
    if (auto error = signAndWrite(request, std::move(key), root, written))
    {
        if (!written)
            token.session->removeKeyPair(id);
        return error;
    }
    const QString& pemName = request.pemName;
    console.outLine(QFileInfo(pemName).absoluteFilePath());
    if (token.session->storeCertificate(root.get(), label, id) != TokenFinding::Done)
        return Refuse::tokenCertificateNotStored(token.uri.token, pemName);
    console.errLine(Note::created(settings.entityName, settings.serialNumber, printed(settings.validityStart),
                                  printed(settings.validityEnd)));
    console.errLine(Note::noContainerForTokenKey(Pkcs11UriText(token.uri.token, label)));
    return std::nullopt;
}

// The serial number taken before the key is made, then the certificate, then both files, whole or
// neither.
Refusal issueAndWrite(Console& console, Request& request, const IssuingCertificate& issuer,
                      const Secret& password)
{
    CertificateSettings& settings = request.settings;
    if (auto error = takeSerial(console, request))
        return error;

    ZIDCertificate certificate;
    const bool issued = isDerived(request.type)
                            ? IssueFromSettings(certificate, settings, int(request.type), issuer.objects)
                            : IssueFromSettings(certificate, settings, int(request.type), Secret());
    if (!issued)
        return Refuse::issuingFailed(QString());

    const QString& pemName = request.pemName;
    const QString& pfxName = request.pfxName;
    FileGroup files;
    if (certificate.WritePem(QFile::encodeName(pemName).constData()) == 0)
        return Refuse::certificateNotWritten(pemName);
    if (certificate.WritePKCS12(QFile::encodeName(pfxName).constData(), password.data()) == 0)
        return Refuse::containerNotWritten(pfxName, pemName);
    if (!files.commit())
        return files.failedFile() == 0 ? Refuse::certificateNotWritten(pemName)
                                       : Refuse::containerNotWritten(pfxName, pemName);

    console.errLine(Note::created(settings.entityName, settings.serialNumber, printed(settings.validityStart),
                                  printed(settings.validityEnd)));
    warnAboutValidity(console, settings.entityName, {settings.validityStart, settings.validityEnd});
    console.outLine(QFileInfo(pemName).absoluteFilePath());
    console.outLine(QFileInfo(pfxName).absoluteFilePath());
    return std::nullopt;
}

Refusal create(Invocation& invocation, CertificateType type)
{
    Request request;
    if (auto error = parseRequest(invocation, type, request))
        return error;
    // A derived certificate's times not given are chosen under the issuer, and checked there.
    const PeriodRequest& period = request.period;
    if (period.start || period.end || period.days || !isDerived(type))
    {
        Rules::ChainPeriod given;
        if (auto error = periodWithoutIssuer(period, QDateTime::currentDateTimeUtc(), given))
            return error;
        request.settings.validityStart = given.start;
        request.settings.validityEnd = given.end;
    }
    if (auto error = requireGivenNames(invocation, type))
        return error;
    if (auto error = checkOutputs(request))
        return error;

    const SecretsHeld secretsHeld;
    if (!request.tokenUri.isEmpty())
    {
        TokenAccess token;
        if (auto error = OpenTokenForNewKey(invocation, request.tokenUri, Option::Token, token))
            return error;
        return issueInToken(invocation.console(), request, token);
    }
    IssuingCertificate issuer;
    if (isDerived(type))
        if (auto error = checkAgainstIssuer(invocation, request, issuer))
            return error;
    Secret password;
    if (auto error = obtainPassword(invocation, request, password))
        return error;
    return issueAndWrite(invocation.console(), request, issuer, password);
}

int run(Invocation& invocation, CertificateType type)
{
    if (type == CertificateType::Leaf && invocation.isSet(Option::Batch))
    {
        if (auto error = RunLeafBatch(invocation))
            return Report(invocation.console(), *error);
        return ExitSuccess;
    }
    // The folder of a batch would be ignored by a single leaf, which takes --out.
    if (invocation.isSet(Option::OutDir))
        return Report(invocation.console(),
                      Refuse::modifierWithout(OptionText(Option::OutDir), OptionText(Option::Batch)));
    if (auto error = create(invocation, type))
        return Report(invocation.console(), *error);
    return ExitSuccess;
}

const char kPeriodText[] = "Validity: from now, or --start, for 3,649 days, or --days N, or until --end; "
                           "never after 2038-01-19T03:14:07Z, the last second 32-bit clocks hold.";

} // namespace

const Command& RootCommand()
{
    static const Command command{
        "root",
        "root --out NAME --root-name TEXT --organization TEXT --entity TEXT [options]",
        "a self-signed root certificate",
        "Makes a self-signed root certificate with a fresh RSA-2048 key and writes it as NAME.pem and, with "
        "its "
        "key, as the PKCS#12 file NAME.pfx. Its subject is O (--root-name), OU (--organization) and CN "
        "(\".\" and --entity), and the dnQualifier of its key.\n"
        "With --token the key is made inside the PKCS#11 token instead (RSA-2048, e = 65537, sensitive, "
        "never "
        "extractable, a fresh id), after seeding the token from the board; NAME.pem is written, the "
        "certificate is stored in the token beside the key, and there is no NAME.pfx.\n"
        "Path length: 3 unless --path-length says otherwise; every certificate below must have a shorter "
        "one.\n"
        "The files written are listed on standard output.",
        "talvane-chain root --out root --root-name .Example --organization .Lab --entity Root "
        "--password-file password\n"
        "talvane-chain root --out root --root-name .Example --organization .Lab --entity Root --days 730 "
        "--path-length 2 --password-file password\n"
        "talvane-chain root --out root --root-name .Example --organization .Lab --entity Root "
        "--token 'pkcs11:token=Lab%20Root;object=root-key' --pin-file pin",
        {{Option::Out},
         {Option::RootName},
         {Option::Organization},
         {Option::Entity, "Entity name: the CN is \".TEXT\"."},
         {Option::PathLength, "Path length: at least 1; default 3."},
         {Option::Serial},
         {Option::Start},
         {Option::End, kPeriodText},
         {Option::Days},
         {Option::Sha1},
         {Option::Force},
         {Option::PasswordFile},
         {Option::Token},
         {Option::Module},
         {Option::PinFile}},
        nullptr,
        nullptr,
        [](Invocation& invocation) { return run(invocation, CertificateType::Root); }};
    return command;
}

namespace
{

// What an intermediate and a leaf take alike, with the path length for an authority.
std::vector<CommandOption> derivedOptions(bool authority)
{
    std::vector<CommandOption> options{{Option::Out}};
    const std::vector<CommandOption> issuer = IssuerOptions();
    options.insert(options.end(), issuer.begin(), issuer.end());
    const std::vector<CommandOption> names{
        {Option::Organization, "Organisation name, the OU; default the issuer's OU."},
        {Option::Entity, authority ? "Entity name: the CN is \".TEXT\"."
                                   : "Entity name: the CN is the roles, \".\" and TEXT."}};
    options.insert(options.end(), names.begin(), names.end());
    if (!authority)
    {
        options.push_back({Option::Roles});
        options.push_back({Option::Batch});
        options.push_back({Option::OutDir, "With --batch: the folder of the leaves; made when missing."});
    }
    if (authority)
        options.push_back({Option::PathLength,
                           "Path length: at least 1, below the issuer's; default the issuer's less one."});
    const std::vector<CommandOption> rest{
        {Option::Serial},
        {Option::Start, "Start of validity; default now, not before the issuer's start."},
        {Option::End, kPeriodText},
        {Option::Days},
        {Option::Sha1},
        {Option::Force},
        {Option::PasswordFile}};
    options.insert(options.end(), rest.begin(), rest.end());
    return options;
}

} // namespace

const Command& IntermediateCommand()
{
    static const Command command{
        "intermediate",
        "intermediate --out NAME --issuer FILE.pfx --entity TEXT [options]",
        "an intermediate authority below a root or another intermediate",
        "Makes an intermediate authority issued by the certificate in --issuer and writes it as NAME.pem "
        "and, "
        "with its key and the chain above it, as NAME.pfx. Its O is its issuer's; its OU is --organization, "
        "or "
        "its issuer's OU; its CN is \".\" and --entity.\n"
        "Path length: one less than the issuer's unless --path-length gives a shorter one.\n"
        "The validity lies inside the issuer's.",
        "talvane-chain intermediate --out intermediate --issuer root.pfx --issuer-password-file password "
        "--entity Intermediate --password-file password",
        derivedOptions(true),
        nullptr,
        nullptr,
        [](Invocation& invocation) { return run(invocation, CertificateType::Intermediate); }};
    return command;
}

const Command& LeafCommand()
{
    static const Command command{
        "leaf",
        "leaf --out NAME --issuer FILE.pfx --entity TEXT [options]",
        "a leaf certificate: a content signer, or a device's with --roles",
        "Makes a leaf signing certificate issued by the certificate in --issuer and writes it as NAME.pem "
        "and, "
        "with its key and the chain above it, as NAME.pfx. Its O is its issuer's; its OU is --organization, "
        "or "
        "its issuer's OU; its CN is the roles (--roles, by default CS, the role of a content signer), \".\" "
        "and --entity: \"CS.Player\", or a device's \"LE SPB MD FM SM.Projector-12\".\n"
        "The validity lies inside the issuer's.\n"
        "With --batch FILE, many leaves in one run, into --out-dir DIR as NAME.pem and NAME.pfx: FILE starts "
        "with the header line \"name,entity,roles\", then one leaf a line (\"projector-12,Projector-12,LE "
        "SPB MD "
        "FM SM\"; roles left empty are CS); # starts a comment. Every line is checked as a single leaf would "
        "be, its number named in a refusal; the keys are made on every core, every container takes the one "
        "password, and the leaves are written all together or not at all.",
        "talvane-chain leaf --out player --issuer intermediate.pfx --issuer-password-file password "
        "--entity Player --password-file password\n"
        "talvane-chain leaf --out projector --issuer intermediate.pfx --issuer-password-file password "
        "--entity Projector-12 --roles \"LE SPB MD FM SM\" --password-file password\n"
        "talvane-chain leaf --batch line.csv --issuer intermediate.pfx --issuer-password-file password "
        "--out-dir line --serial random --password-file password",
        derivedOptions(false),
        nullptr,
        nullptr,
        [](Invocation& invocation) { return run(invocation, CertificateType::Leaf); }};
    return command;
}
