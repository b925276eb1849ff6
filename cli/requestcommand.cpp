// talvane-chain request: a fresh key and a certificate request for it, for an authority to sign.

#include "commands.h"

#include "certificaterequest.h"
#include "certificaterules.h"
#include "console.h"
#include "filegroup.h"
#include "keypool.h"
#include "nameoptions.h"
#include "notes.h"
#include "opensslutil.h"
#include "outputfiles.h"
#include "passwords.h"
#include "refusals.h"
#include "roles.h"
#include "secret.h"
#include "seeding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

namespace Rules = CertificateRules;

struct RequestFiles
{
    QString csr;
    QString pfx;
};

// NAME, NAME.csr or NAME.pfx all name the pair NAME.csr and NAME.pfx.
RequestFiles filesFor(const QString& out)
{
    QString stem = out;
    for (const char* extension : {".csr", ".pfx"})
        if (stem.endsWith(QLatin1String(extension)) && stem.size() > 4)
            stem.chop(4);
    return {stem + QStringLiteral(".csr"), stem + QStringLiteral(".pfx")};
}

Refusal readNames(const Invocation& invocation, CertificateRequests::RequestNames& names)
{
    if (auto error = requireNames(invocation, {Option::Entity}))
        return error;
    QString entity;
    QStringList roles;
    if (auto error = readName(invocation, Option::Entity, entity))
        return error;
    if (auto error = readName(invocation, Option::Organization, names.organizationalUnit))
        return error;
    if (auto error = readRoles(invocation, roles))
        return error;
    names.commonName = Rules::commonNameWithRoles(roles, entity);
    using Field = Rules::NameField;
    std::vector<NameOption> checked{
        {Option::Entity, Field::Entity, entity, names.commonName, "common name", roles}};
    if (invocation.isSet(Option::Organization))
        checked.push_back({Option::Organization,
                           Field::Organization,
                           names.organizationalUnit,
                           names.organizationalUnit,
                           "organizational unit",
                           {}});
    return checkNameOptions(checked);
}

Refusal checkOutputs(const Invocation& invocation, const RequestFiles& files)
{
    return checkNewFiles({files.csr, files.pfx}, invocation.isSet(Option::Force));
}

Refusal makeRequest(Invocation& invocation)
{
    const QString out = invocation.value(Option::Out);
    if (out.isEmpty())
        return Refuse::optionMissing(OptionText(Option::Out),
                                     QStringLiteral("the name of the request's files"));
    CertificateRequests::RequestNames names;
    if (auto error = readNames(invocation, names))
        return error;
    const RequestFiles files = filesFor(out);
    if (auto error = checkOutputs(invocation, files))
        return error;

    Console& console = invocation.console();
    const SecretsHeld secretsHeld;
    Secret password;
    const PasswordSource source{invocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::newContainerPurpose(files.pfx), true};
    if (auto error = ObtainPassword(console, source, password))
        return error;
    if (auto error = SeedGenerator(console, 1))
        return error;
    KeyPool keys(1);
    const EvpPkeyPtr key = keys.next();
    if (!key)
        return Refuse::keyGenerationFailed();
    const X509ReqPtr request = CertificateRequests::makeRequest(key.get(), names);
    if (!request)
        return Refuse::requestNotMade();

    FileGroup group;
    const QByteArray csrName = QFile::encodeName(files.csr);
    const QByteArray pfxName = QFile::encodeName(files.pfx);
    if (OpenSSLUtil::PEMWriteX509REQ(request.get(), csrName.constData()) == 0)
        return Refuse::certificateNotWritten(files.csr);
    const QByteArray bagName = names.commonName.toLatin1();
    if (OpenSSLUtil::PKCS12WriteKey(pfxName.constData(), key.get(), bagName.constData(), password.data()) ==
            0 ||
        !group.commit())
        return Refuse::containerNotWritten(files.pfx, files.csr);
    console.errLine(Note::requested(names.commonName, CertificateRequests::dnQualifierOf(key.get())));
    console.outLine(QFileInfo(files.csr).absoluteFilePath());
    console.outLine(QFileInfo(files.pfx).absoluteFilePath());
    return std::nullopt;
}

int run(Invocation& invocation)
{
    if (auto error = makeRequest(invocation))
        return Report(invocation.console(), *error);
    return ExitSuccess;
}

} // namespace

const Command& RequestCommand()
{
    static const Command command{
        "request",
        "request --out NAME --entity TEXT [--roles \"R1 R2 ...\"] [--organization TEXT] [options]",
        "a fresh key and a certificate request for an authority to sign",
        "Makes a fresh RSA-2048 key and a PKCS#10 request for it, signed with SHA-256: NAME.csr, and the key "
        "alone in the PKCS#12 file NAME.pfx (owner-only). The request's subject holds OU (--organization, "
        "when "
        "given), CN (the roles, by default CS, \".\" and --entity) and the dnQualifier of the key, each a "
        "PrintableString; the authority that signs it takes its O and decides every other field itself.\n"
        "The files written are listed on standard output.",
        "talvane-chain request --out projector --entity Projector-12 --roles \"LE SPB MD FM SM\" "
        "--password-file password\n"
        "talvane-chain sign projector.csr --issuer intermediate.pfx --issuer-password-file password "
        "--roles \"LE SPB MD FM SM\" --out-dir signed",
        {{Option::Out, "Destination: NAME.csr and NAME.pfx are written."},
         {Option::Entity, "Entity name: the CN is the roles, \".\" and TEXT."},
         {Option::Roles},
         {Option::Organization, "Organisation name, the OU the request proposes."},
         {Option::Force},
         {Option::PasswordFile}},
        nullptr,
        nullptr,
        run};
    return command;
}
