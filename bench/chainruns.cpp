#include "chainruns.h"

#include "opensslutil.h"
#include "prngseed.h"
#include "rsakeys.h"
#include "zidcertificate.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace
{

const char* const kPassword = "bench secret";
// 2024-03-01 12:00:00 UTC to 2034-03-01 12:00:00 UTC.
constexpr std::int64_t kStart = 1709294400;
constexpr std::int64_t kEnd = 2024827200;

struct Certificate
{
    const char* name;
    const char* issuer; // file name of the issuer's container, or null for the root
    const char* organization;
    const char* commonName;
    int pathLength;
    bool ca;
    int serial;
};

const Certificate kChain[] = {
    {"root", nullptr, ".Root.Example", ".Authority.Root", 3, true, 1},
    {"intermediate", "root.pfx", nullptr, ".Authority.Intermediate", 2, true, 2},
    {"leaf", "intermediate.pfx", nullptr, "CS.Player", 0, false, 3},
};

bool issueWithEngine(const std::string& folder, const Certificate& spec, EVP_PKEY* key)
{
    if (seed_prng_kavra(MAX_BYTES) == 0)
        return false;
    ZIDCertificate certificate;
    certificate.SetBasicConstraints(spec.ca, spec.pathLength);
    certificate.SetSubjectNames(spec.organization, ".Lab.Example", spec.commonName, nullptr);
    certificate.SetSerialNumber(spec.serial);
    certificate.SetSigningAlgorithm(1);
    certificate.SetValidityStart(kStart);
    certificate.SetValidityEnd(kEnd);
    certificate.SetKeyUsage(spec.ca ? ZIDCertificate::KeyCertSign
                                    : ZIDCertificate::DigitalSignature | ZIDCertificate::KeyEncipherment,
                            true);
    if (key != nullptr && EVP_PKEY_up_ref(key) != 1)
        return false;
    const std::string issuer = spec.issuer != nullptr ? folder + "/" + spec.issuer : std::string();
    if (certificate.IssueCertificate(spec.issuer != nullptr ? kPassword : nullptr,
                                     spec.issuer != nullptr ? issuer.c_str() : nullptr, key) == 0)
        return false;
    const std::string base = folder + "/" + spec.name;
    return certificate.WritePem((base + ".pem").c_str()) != 0 &&
           certificate.WritePKCS12((base + ".pfx").c_str(), kPassword) != 0;
}

// Runs one command in `folder`, its output kept for when it fails.
bool run(const std::string& folder, const QString& program, const QStringList& arguments,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                          process.exitCode() == 0;
    if (!finished)
        std::fprintf(stderr, "%s %s:\n%s", qPrintable(program), qPrintable(arguments.join(' ')),
                     process.readAll().constData());
    return finished;
}

QString dnQualifierOf(const std::string& folder, const QString& key)
{
    // The usual recipe: SHA-1 over the DER RSAPublicKey, which follows the 24-byte
    // SubjectPublicKeyInfo header of a 2048-bit key.
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder));
    process.start("sh", {"-c", "openssl pkey -in " + key +
                                   " -pubout -outform DER | tail -c +25 | openssl sha1 -binary | openssl base64"});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return QString();
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
}

const char kExtensions[] = "[ authority ]\n"
                           "basicConstraints = critical,CA:true,pathlen:$ENV::PATHLEN\n"
                           "keyUsage = keyCertSign\n"
                           "subjectKeyIdentifier = hash\n"
                           "authorityKeyIdentifier = keyid:always,issuer:always\n"
                           "[ leaf ]\n"
                           "basicConstraints = critical,CA:false\n"
                           "keyUsage = digitalSignature,keyEncipherment\n"
                           "subjectKeyIdentifier = hash\n"
                           "authorityKeyIdentifier = keyid,issuer:always\n"
                           "[ req ]\n"
                           "distinguished_name = dn\n"
                           "string_mask = nombstr\n"
                           "[ dn ]\n";

// <name>.pem for `spec` with `key`: self-signed for the root, else signed by its issuer's key.
bool certifyWithCommandLine(const std::string& folder, const Certificate& spec, const QString& key,
                            const QString& subject)
{
    const QString name = QString::fromLatin1(spec.name);
    const QString section = spec.ca ? "authority" : "leaf";
    qputenv("PATHLEN", QByteArray::number(spec.pathLength));
    if (spec.issuer == nullptr)
        return run(folder, "openssl",
                   QStringList{"req", "-new", "-x509", "-sha256", "-config", "profile.cnf", "-extensions",
                               section, "-key", key, "-subj", subject, "-set_serial",
                               QString::number(spec.serial), "-days", "3653", "-out", name + ".pem"});
    const QString issuer = QString::fromLatin1(spec.issuer).section('.', 0, 0);
    return run(folder, "openssl",
               {"req", "-new", "-config", "profile.cnf", "-key", key, "-subj", subject, "-out",
                name + ".csr"}) &&
           run(folder, "openssl",
               QStringList{"x509", "-req", "-sha256", "-in", name + ".csr", "-CA", issuer + ".pem", "-CAkey",
                           issuer + ".key", "-set_serial", QString::number(spec.serial), "-days", "3653",
                           "-extfile", "profile.cnf", "-extensions", section, "-out", name + ".pem"});
}

// The certificates above `spec`, root first, concatenated into `chainFile`.
bool writeChainFile(const std::string& folder, const Certificate& spec, const QString& chainFile)
{
    QStringList certificates = {"root.pem"};
    if (QString::fromLatin1(spec.name) == "leaf")
        certificates << "intermediate.pem";
    QFile chain(QString::fromStdString(folder) + "/" + chainFile);
    if (!chain.open(QIODevice::WriteOnly))
        return false;
    for (const QString& file : certificates)
    {
        QFile part(QString::fromStdString(folder) + "/" + file);
        if (!part.open(QIODevice::ReadOnly))
            return false;
        chain.write(part.readAll());
    }
    return true;
}

// <name>.pfx from <name>.pem, its key and, below the root, the certificates above it.
bool exportWithCommandLine(const std::string& folder, const Certificate& spec, const QString& key)
{
    const QString name = QString::fromLatin1(spec.name);
    QStringList arguments = {"pkcs12", "-export", "-legacy", "-in", name + ".pem", "-inkey", key, "-name",
                             "friendlyname", "-certpbe", "PBE-SHA1-RC2-40", "-keypbe", "PBE-SHA1-3DES", "-iter",
                             "2048", "-macalg", "sha1", "-nomaciter", "-passout",
                             QStringLiteral("pass:") + kPassword, "-out", name + ".pfx"};
    if (spec.issuer != nullptr)
    {
        if (!writeChainFile(folder, spec, name + ".chain.pem"))
            return false;
        arguments << "-certfile" << name + ".chain.pem";
    }
    return run(folder, "openssl", arguments);
}

bool issueWithCommandLine(const std::string& folder, const Certificate& spec, const QString& organization,
                          bool reuseKey)
{
    const QString key = QString::fromLatin1(spec.name) + ".key";
    const bool haveKey = reuseKey && QFile::exists(QString::fromStdString(folder) + "/" + key);
    if (!haveKey && !run(folder, "openssl",
                         {"genpkey", "-quiet", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                          "-pkeyopt", "rsa_keygen_pubexp:65537", "-out", key}))
        return false;
    const QString dnq = dnQualifierOf(folder, key);
    if (dnq.isEmpty())
        return false;
    const QString subject = "/O=" + organization +
                            "/OU=.Lab.Example/CN=" + QString::fromLatin1(spec.commonName) +
                            "/dnQualifier=" + QString(dnq).replace("/", "\\/").replace("+", "\\+");
    return certifyWithCommandLine(folder, spec, key, subject) && exportWithCommandLine(folder, spec, key);
}

} // namespace

bool issueChainWithEngine(const std::string& folder, const std::array<EVP_PKEY*, 3>& keys)
{
    for (size_t i = 0; i < 3; ++i)
        if (!issueWithEngine(folder, kChain[i], keys[i]))
            return false;
    return true;
}

bool issueChainWithCommandLine(const std::string& folder, bool reuseKeys)
{
    QFile profile(QString::fromStdString(folder) + "/profile.cnf");
    if (!profile.open(QIODevice::WriteOnly) || profile.write(kExtensions) < 0)
        return false;
    profile.close();
    // Intermediates and leaves carry the root's O, as the program makes them.
    for (const Certificate& spec : kChain)
        if (!issueWithCommandLine(folder, spec, ".Root.Example", reuseKeys))
            return false;
    return true;
}

namespace
{

QProcessEnvironment toolEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TALVANE_PASSWORD", kPassword);
    environment.insert("TALVANE_ISSUER_PASSWORD", kPassword);
    return environment;
}

} // namespace

bool issueChainWithTool(const std::string& tool, const std::string& folder)
{
    const QString program = QString::fromStdString(tool);
    const QProcessEnvironment environment = toolEnvironment();
    const QStringList validity = {"--start", "2024-03-01T12:00:00Z", "--end", "2034-03-01T12:00:00Z"};
    return run(folder, program,
               QStringList{"root", "--out", "root", "--force", "--root-name", ".Root.Example", "--organization",
                           ".Lab.Example", "--entity", ".Authority.Root", "--path-length", "3"} +
                   validity,
               environment) &&
           run(folder, program,
               QStringList{"intermediate", "--out", "intermediate", "--force", "--issuer", "root.pfx",
                           "--organization", ".Lab.Example", "--entity", ".Authority.Intermediate", "--path-length",
                           "2"} +
                   validity,
               environment) &&
           run(folder, program,
               QStringList{"leaf", "--out", "leaf", "--force", "--issuer", "intermediate.pfx", "--organization",
                           ".Lab.Example", "--entity", "Player"} +
                   validity,
               environment);
}

bool verifyWithTool(const std::string& tool, const std::string& folder)
{
    return run(folder, QString::fromStdString(tool), {"verify", "leaf.pfx", "--at", "2025-01-01T00:00:00Z"},
               toolEnvironment());
}

EVP_PKEY* makeEngineKey()
{
    if (seed_prng_kavra(MAX_BYTES) == 0)
        return nullptr;
    RSA* rsa = nullptr;
    if (OpenSSLUtil::RSACreate2048(&rsa) == 0)
    {
        if (rsa != nullptr)
            FreeRsaKey(rsa);
        return nullptr;
    }
    return WrapRsaKey(rsa);
}
