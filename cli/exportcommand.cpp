// talvane-chain export: the key and chain of a PKCS#12 file in the forms other tools take.

#include "commands.h"

#include "certificatesources.h"
#include "chainverifier.h"
#include "console.h"
#include "notes.h"
#include "opensslutil.h"
#include "passwords.h"
#include "pkcs11uri.h"
#include "refusals.h"
#include "secret.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace
{

struct Output
{
    Option option;
    QString path;
};

struct ExportRequest
{
    QString input;
    std::vector<Output> outputs; // in the order they are written
    QString keyPem;
    QString chainPem;
    QString pkcs12;
    bool encryptKey = true;
    bool leafFirst = false;
    bool force = false;

    bool needsKey() const { return !keyPem.isEmpty() || !pkcs12.isEmpty(); }
    bool needsNewPassword() const { return (!keyPem.isEmpty() && encryptKey) || !pkcs12.isEmpty(); }
};

std::filesystem::path fileSystemPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Whether two names reach the same file: by the file's identity when both exist (links and
// different spellings included), else by the absolute names with links resolved.
bool sameFile(const QString& a, const QString& b)
{
    std::error_code error;
    const std::filesystem::path first = fileSystemPath(a);
    const std::filesystem::path second = fileSystemPath(b);
    if (std::filesystem::exists(first, error) && std::filesystem::exists(second, error))
        return std::filesystem::equivalent(first, second, error);
    const std::filesystem::path firstName =
        std::filesystem::weakly_canonical(std::filesystem::absolute(first, error), error).lexically_normal();
    const std::filesystem::path secondName =
        std::filesystem::weakly_canonical(std::filesystem::absolute(second, error), error).lexically_normal();
    return !error && firstName == secondName;
}

Refusal parseOutputs(const Invocation& invocation, ExportRequest& request)
{
    const std::pair<Option, QString*> outputs[] = {{Option::KeyPem, &request.keyPem},
                                                   {Option::ChainPem, &request.chainPem},
                                                   {Option::Pkcs12, &request.pkcs12}};
    for (const auto& [option, path] : outputs)
    {
        if (!invocation.isSet(option))
            continue;
        *path = invocation.value(option);
        if (path->isEmpty())
            return Refuse::fileNameMissing(OptionText(option));
        request.outputs.push_back({option, *path});
    }
    if (request.outputs.empty())
        return Refuse::nothingToExport();
    // Switches that change one output, and that output.
    const std::pair<Option, Option> modifiers[] = {{Option::NoEncrypt, Option::KeyPem},
                                                   {Option::LeafFirst, Option::ChainPem}};
    for (const auto& [modifier, output] : modifiers)
        if (invocation.isSet(modifier) && !invocation.isSet(output))
            return Refuse::modifierWithout(OptionText(modifier), OptionText(output));
    return std::nullopt;
}

Refusal parseRequest(const Invocation& invocation, ExportRequest& request)
{
    const QStringList files = invocation.operands();
    if (files.isEmpty())
        return Refuse::noFiles(QStringLiteral("export"));
    if (files.size() > 1)
        return Refuse::exportReadsOneFile(files.at(1));
    request.input = files.front();
    if (auto error = parseOutputs(invocation, request))
        return error;
    request.encryptKey = !invocation.isSet(Option::NoEncrypt);
    request.leafFirst = invocation.isSet(Option::LeafFirst);
    request.force = invocation.isSet(Option::Force);
    return std::nullopt;
}

// Never the input, never one file for two outputs, never over a file without --force.
Refusal checkOutputs(const ExportRequest& request)
{
    if (!IsPkcs11Uri(request.input) && !QFileInfo::exists(request.input))
        return Refuse::fileMissing(request.input);
    for (size_t i = 0; i < request.outputs.size(); ++i)
    {
        const Output& output = request.outputs[i];
        if (sameFile(output.path, request.input))
            return Refuse::outputIsInput(output.path, OptionText(output.option));
        for (size_t j = 0; j < i; ++j)
            if (sameFile(output.path, request.outputs[j].path))
                return Refuse::outputsSame(OptionText(request.outputs[j].option), OptionText(output.option),
                                           output.path);
    }
    if (!request.force)
        for (const Output& output : request.outputs)
            if (QFileInfo::exists(output.path))
                return Refuse::fileExists(output.path);
    return std::nullopt;
}

// A certificate whose key is in a token: the certificate alone can be exported.
Refusal readFromToken(const Invocation& invocation, const ExportRequest& request,
                      ChainVerifier::Pkcs12Contents& contents)
{
    if (!request.keyPem.isEmpty())
        return Refuse::tokenKeyStaysInside(request.input, OptionText(Option::KeyPem));
    if (!request.pkcs12.isEmpty())
        return Refuse::tokenKeyStaysInside(request.input, OptionText(Option::Pkcs12));
    CertificateSources sources(invocation);
    if (auto error = sources.add(request.input))
        return error;
    contents.certificate.reset(X509_dup(sources.borrowed().front()));
    return contents.certificate ? Refusal() : Refuse::noCertificateIn(request.input);
}

Refusal readContainer(const Invocation& invocation, const ExportRequest& request,
                      ChainVerifier::Pkcs12Contents& contents)
{
    if (IsPkcs11Uri(request.input))
        return readFromToken(invocation, request, contents);
    Secret password;
    const PasswordSource source{invocation.value(Option::InputPasswordFile), "TALVANE_ISSUER_PASSWORD",
                                Option::InputPasswordFile, Note::containerPurpose(request.input), false};
    if (auto error = ObtainPassword(invocation.console(), source, password))
        return error;
    // Borrows the password's bytes: a copy would outlive the wiping.
    contents =
        ChainVerifier::loadPkcs12(request.input, QByteArray::fromRawData(password.data(), password.size()));
    if (auto error = ContainerRefusal(request.input, contents))
        return error;
    if (request.needsKey() && !contents.key)
        return Refuse::noKeyIn(request.input);
    if (contents.key && X509_check_private_key(contents.certificate.get(), contents.key.get()) != 1)
        return Refuse::keyNotOfCertificate(request.input);
    return std::nullopt;
}

Refusal obtainNewPassword(const Invocation& invocation, const ExportRequest& request, Secret& password)
{
    if (!request.needsNewPassword())
        return std::nullopt;
    QStringList what;
    if (!request.keyPem.isEmpty() && request.encryptKey)
        what << request.keyPem;
    if (!request.pkcs12.isEmpty())
        what << request.pkcs12;
    const PasswordSource source{invocation.value(Option::PasswordFile), "TALVANE_PASSWORD",
                                Option::PasswordFile, Note::exportedPurpose(what), true};
    return ObtainPassword(invocation.console(), source, password);
}

Refusal writeOutputs(Console& console, const ExportRequest& request,
                     const ChainVerifier::Pkcs12Contents& contents, const Secret& password)
{
    std::vector<X509*> given{contents.certificate.get()};
    for (const X509Ptr& certificate : contents.chain)
        given.push_back(certificate.get());
    const std::vector<X509*> rootFirst = ChainVerifier::sortIntoChains(given).ordered;
    std::vector<X509*> above = rootFirst;
    above.erase(std::remove(above.begin(), above.end(), contents.certificate.get()), above.end());

    QStringList written;
    if (!request.keyPem.isEmpty())
    {
        if (OpenSSLUtil::PEMWritePKCS8PrivateKey(QFile::encodeName(request.keyPem).constData(),
                                                 contents.key.get(),
                                                 request.encryptKey ? password.data() : nullptr) == 0)
            return Refuse::exportNotWritten(request.keyPem, written);
        written << request.keyPem;
        if (!request.encryptKey)
            console.errLine(Note::keyNotEncrypted(request.keyPem));
    }
    if (!request.chainPem.isEmpty())
    {
        std::vector<X509*> order = rootFirst;
        if (request.leafFirst)
            std::reverse(order.begin(), order.end());
        const BorrowedX509StackPtr chain = BorrowedStackOf(order);
        if (!chain ||
            OpenSSLUtil::PEMWriteX509Chain(chain.get(), QFile::encodeName(request.chainPem).constData()) == 0)
            return Refuse::exportNotWritten(request.chainPem, written);
        written << request.chainPem;
    }
    if (!request.pkcs12.isEmpty())
    {
        const BorrowedX509StackPtr chain = BorrowedStackOf(above);
        if (!chain || OpenSSLUtil::PKCS12WriteCurrent(QFile::encodeName(request.pkcs12).constData(),
                                                      contents.certificate.get(), contents.key.get(),
                                                      chain.get(), password.data()) == 0)
            return Refuse::exportNotWritten(request.pkcs12, written);
        written << request.pkcs12;
    }
    // One path a line, as the creating commands list what they wrote.
    for (const QString& file : written)
        console.outLine(QFileInfo(file).absoluteFilePath());
    return std::nullopt;
}

Refusal exportFiles(Invocation& invocation)
{
    ExportRequest request;
    if (auto error = parseRequest(invocation, request))
        return error;
    if (auto error = checkOutputs(request))
        return error;
    const SecretsHeld secretsHeld;
    ChainVerifier::Pkcs12Contents contents;
    if (auto error = readContainer(invocation, request, contents))
        return error;
    Secret password;
    if (auto error = obtainNewPassword(invocation, request, password))
        return error;
    return writeOutputs(invocation.console(), request, contents, password);
}

int run(Invocation& invocation)
{
    if (auto error = exportFiles(invocation))
        return Report(invocation.console(), *error);
    return ExitSuccess;
}

} // namespace

const Command& ExportCommand()
{
    static const Command command{
        "export",
        "export FILE.pfx [--key-pem OUT [--no-encrypt]] [--chain-pem OUT [--leaf-first]] [--pkcs12 OUT] "
        "[--force]",
        "the key and chain of a PKCS#12 file in the forms other tools take",
        "Writes what the options ask for, each file whole or not at all, never over an existing file without "
        "--force and never over its input, and lists the files written on standard output.\n"
        "Passwords: the PKCS#12 file read takes --input-password-file (or --issuer-password-file) or "
        "TALVANE_ISSUER_PASSWORD; the new password of --key-pem and --pkcs12 takes --password-file or "
        "TALVANE_PASSWORD; else each is asked for, the new one twice.\n"
        "A pkcs11: URI instead of FILE.pfx names a certificate in a token: --chain-pem writes it; its key "
        "cannot leave the token, so --key-pem and --pkcs12 are refused.",
        "talvane-chain export player.pfx --input-password-file password --key-pem player-key.pem "
        "--password-file new-password\n"
        "talvane-chain export player.pfx --input-password-file password --chain-pem player-chain.pem "
        "--leaf-first --pkcs12 player.p12 --password-file password",
        {{Option::InputPasswordFile},
         {Option::KeyPem},
         {Option::NoEncrypt},
         {Option::ChainPem},
         {Option::LeafFirst},
         {Option::Pkcs12},
         {Option::PasswordFile,
          "First line of FILE (- for standard input): the new password of --key-pem and "
          "--pkcs12, else TALVANE_PASSWORD, else asked twice."},
         {Option::Force},
         {Option::Module},
         {Option::PinFile}},
        "FILE.pfx",
        "The PKCS#12 file to export.",
        run};
    return command;
}
