// talvane-chain export: the key and chain of a PKCS#12 file in the forms other tools take.

#include "chaincommand.h"
#include "chainverifier.h"
#include "commandline.h"
#include "exportfiles.h"
#include "passwordsource.h"
#include "secret.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace
{

using Refusal = std::optional<CommandError>;

struct Output
{
    const char* option;
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

Refusal parseOutputs(const QCommandLineParser& parser, ExportRequest& request)
{
    const std::pair<const char*, QString*> outputs[] = {{ChainOption::KeyPem, &request.keyPem},
                                                        {ChainOption::ChainPem, &request.chainPem},
                                                        {ChainOption::Pkcs12, &request.pkcs12}};
    for (const auto& [option, path] : outputs)
    {
        if (!parser.isSet(QLatin1String(option)))
            continue;
        *path = parser.value(QLatin1String(option));
        if (path->isEmpty())
            return CommandError{
                ExitUsage, QStringLiteral("The option --%1 needs a file name.").arg(QLatin1String(option))};
        request.outputs.push_back({option, *path});
    }
    if (request.outputs.empty())
        return CommandError{ExitUsage,
                            QStringLiteral("Nothing to export: give --key-pem, --chain-pem or --pkcs12.")};
    // Switches that change one output, and that output.
    const std::pair<const char*, const char*> modifiers[] = {{ChainOption::NoEncrypt, ChainOption::KeyPem},
                                                             {ChainOption::LeafFirst, ChainOption::ChainPem}};
    for (const auto& [modifier, output] : modifiers)
        if (parser.isSet(QLatin1String(modifier)) && !parser.isSet(QLatin1String(output)))
            return CommandError{ExitUsage,
                                QStringLiteral("The option --%1 is about --%2, which is not given.")
                                    .arg(QLatin1String(modifier), QLatin1String(output))};
    return std::nullopt;
}

Refusal parseRequest(const QCommandLineParser& parser, ExportRequest& request)
{
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.isEmpty())
        return CommandError{ExitUsage, QStringLiteral("No PKCS#12 file given to export.")};
    if (files.size() > 1)
        return CommandError{
            ExitUsage,
            QStringLiteral("Unexpected argument \"%1\": export reads one PKCS#12 file.").arg(files.at(1))};
    request.input = files.front();
    if (auto error = parseOutputs(parser, request))
        return error;
    request.encryptKey = !parser.isSet(QLatin1String(ChainOption::NoEncrypt));
    request.leafFirst = parser.isSet(QLatin1String(ChainOption::LeafFirst));
    request.force = parser.isSet(QLatin1String(ChainOption::Force));
    return std::nullopt;
}

// Never the input, never one file for two outputs, never over a file without --force.
Refusal checkOutputs(const ExportRequest& request)
{
    if (!QFileInfo(request.input).isFile())
        return CommandError{ExitFailure, QStringLiteral("The file %1 does not exist.").arg(request.input)};
    for (size_t i = 0; i < request.outputs.size(); ++i)
    {
        const Output& output = request.outputs[i];
        if (sameFile(output.path, request.input))
            return CommandError{ExitUsage,
                                QStringLiteral("The output %1 of --%2 is the input file; export never "
                                               "writes over its input.")
                                    .arg(output.path, QLatin1String(output.option))};
        for (size_t j = 0; j < i; ++j)
            if (sameFile(output.path, request.outputs[j].path))
                return CommandError{ExitUsage,
                                    QStringLiteral("The options --%1 and --%2 name the same file %3.")
                                        .arg(QLatin1String(request.outputs[j].option),
                                             QLatin1String(output.option), output.path)};
    }
    if (!request.force)
        for (const Output& output : request.outputs)
            if (QFileInfo::exists(output.path))
                return CommandError{
                    ExitFailure,
                    QStringLiteral("The file %1 exists; give --force to overwrite it.").arg(output.path)};
    return std::nullopt;
}

Refusal readContainer(const QCommandLineParser& parser, const ExportRequest& request,
                      ChainVerifier::Pkcs12Contents& contents)
{
    CommandError error;
    Secret password;
    const PasswordSource source{parser.value(QLatin1String(ChainOption::IssuerPasswordFile)),
                                "TALVANE_ISSUER_PASSWORD", QStringLiteral("--issuer-password-file"),
                                QStringLiteral("the PKCS#12 file %1").arg(request.input), false};
    if (!ObtainPassword(source, password, error))
        return error;
    // Borrows the password's bytes: a copy would outlive the wiping.
    contents =
        ChainVerifier::loadPkcs12(request.input, QByteArray::fromRawData(password.data(), password.size()));
    if (!contents.ok())
        return CommandError{ExitFailure,
                            QStringLiteral("The file %1 cannot be read as a PKCS#12 file with the "
                                           "password given.")
                                .arg(request.input)};
    if (request.needsKey() && !contents.key)
        return CommandError{ExitFailure,
                            QStringLiteral("The file %1 holds no private key.").arg(request.input)};
    if (contents.key && X509_check_private_key(contents.certificate.get(), contents.key.get()) != 1)
        return CommandError{
            ExitFailure,
            QStringLiteral("The private key in %1 does not belong to its certificate.").arg(request.input)};
    return std::nullopt;
}

Refusal obtainNewPassword(const QCommandLineParser& parser, const ExportRequest& request, Secret& password)
{
    if (!request.needsNewPassword())
        return std::nullopt;
    QStringList what;
    if (!request.keyPem.isEmpty() && request.encryptKey)
        what << request.keyPem;
    if (!request.pkcs12.isEmpty())
        what << request.pkcs12;
    CommandError error;
    const PasswordSource source{parser.value(QLatin1String(ChainOption::PasswordFile)), "TALVANE_PASSWORD",
                                QStringLiteral("--password-file"),
                                QStringLiteral("the exported %1").arg(what.join(QStringLiteral(" and "))),
                                true};
    if (!ObtainPassword(source, password, error))
        return error;
    return std::nullopt;
}

struct Written
{
    QStringList files;
    // "Failed writing X." and, when some were written before it, which.
    CommandError failure(const QString& path) const
    {
        QString sentence = QStringLiteral("Failed writing %1.").arg(path);
        if (!files.isEmpty())
            sentence += QStringLiteral(" Written before it: %1.").arg(files.join(QStringLiteral(", ")));
        return CommandError{ExitFailure, sentence};
    }
};

int writeOutputs(const ExportRequest& request, const ChainVerifier::Pkcs12Contents& contents,
                 const Secret& password)
{
    std::vector<X509*> given{contents.certificate.get()};
    for (const X509Ptr& certificate : contents.chain)
        given.push_back(certificate.get());
    const std::vector<X509*> rootFirst = ChainVerifier::sortIntoChains(given).ordered;
    std::vector<X509*> above = rootFirst;
    above.erase(std::remove(above.begin(), above.end(), contents.certificate.get()), above.end());

    Written written;
    if (!request.keyPem.isEmpty())
    {
        if (!WriteKeyPem(request.keyPem, contents.key.get(), request.encryptKey ? &password : nullptr))
            return Report(written.failure(request.keyPem));
        written.files << request.keyPem;
        if (!request.encryptKey)
            Report({ExitSuccess,
                    QStringLiteral("The private key in %1 is not encrypted: whoever can read the file "
                                   "can sign with it.")
                        .arg(request.keyPem)});
    }
    if (!request.chainPem.isEmpty())
    {
        std::vector<X509*> order = rootFirst;
        if (request.leafFirst)
            std::reverse(order.begin(), order.end());
        if (!WriteCertificatesPem(request.chainPem, order))
            return Report(written.failure(request.chainPem));
        written.files << request.chainPem;
    }
    if (!request.pkcs12.isEmpty())
    {
        if (!WriteCurrentPkcs12(request.pkcs12, contents.key.get(), contents.certificate.get(), above,
                                password))
            return Report(written.failure(request.pkcs12));
        written.files << request.pkcs12;
    }
    for (const QString& file : written.files)
        std::printf("Wrote %s\n", qPrintable(QFileInfo(file).absoluteFilePath()));
    std::fflush(stdout);
    return ExitSuccess;
}

} // namespace

int RunExport(const QCommandLineParser& parser)
{
    ExportRequest request;
    if (auto error = parseRequest(parser, request))
        return Report(*error);
    if (auto error = checkOutputs(request))
        return Report(*error);
    ChainVerifier::Pkcs12Contents contents;
    if (auto error = readContainer(parser, request, contents))
        return Report(*error);
    Secret password;
    if (auto error = obtainNewPassword(parser, request, password))
        return Report(*error);
    return writeOutputs(request, contents, password);
}
