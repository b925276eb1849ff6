#include "opensslchain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

OpensslChain::OpensslChain(const QString& folder) : mFolder(folder) {}

QString OpensslChain::pemPath(const QString& name) const
{
    return QDir(mFolder).filePath(name + QStringLiteral(".pem"));
}

bool OpensslChain::run(const QStringList& arguments, QByteArray* output)
{
    QProcess openssl;
    openssl.setWorkingDirectory(mFolder);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(-1) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0)
    {
        mLastError = QStringLiteral("openssl %1: %2")
                         .arg(arguments.join(QLatin1Char(' ')),
                              QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    if (output)
        *output = openssl.readAllStandardOutput();
    return true;
}

bool OpensslChain::makeKey(const QString& name)
{
    return run({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", name + ".key"});
}

QString OpensslChain::dnQualifier(const QString& key)
{
    QByteArray der;
    if (!run({"rsa", "-in", key + ".key", "-RSAPublicKey_out", "-outform", "DER"}, &der))
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha1).toBase64());
}

bool OpensslChain::make(const Spec& spec)
{
    const QString qualifier = dnQualifier(spec.key);
    if (qualifier.isEmpty())
        return false;
    const bool authority = spec.pathLength >= 0;
    // The names as PrintableString (the configuration's default mask is UTF8String); the
    // dnQualifier in a configuration file, where its "+" and "/" are plain characters.
    QString config = QStringLiteral("[req]\nprompt = no\nstring_mask = default\ndistinguished_name = dn\n"
                                    "[dn]\nO = Openssl Test Root\nOU = Field\nCN = %1\ndnQualifier = %2\n"
                                    "[ext]\nsubjectKeyIdentifier = hash\n"
                                    "authorityKeyIdentifier = keyid:always,issuer:always\n")
                         .arg(spec.commonName, qualifier);
    config += authority ? QStringLiteral("basicConstraints = critical,CA:TRUE,pathlen:%1\n"
                                         "keyUsage = critical,keyCertSign,cRLSign\n")
                              .arg(spec.pathLength)
                        : QStringLiteral("basicConstraints = critical,CA:FALSE\n"
                                         "keyUsage = critical,digitalSignature,keyEncipherment\n");
    const QString configPath = spec.name + QStringLiteral(".cnf");
    QFile file(QDir(mFolder).filePath(configPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
        return false;
    file.close();

    const QString digest = QLatin1Char('-') + spec.digest;
    const QString days = QString::number(spec.days);
    if (spec.issuer.isEmpty())
        return run({"req", "-new", "-x509", "-config", configPath, "-extensions", "ext", "-key",
                    spec.key + ".key", digest, "-days", days, "-set_serial", spec.serial, "-out",
                    spec.name + ".pem"});
    const QString issuerKey = spec.issuerKey.isEmpty() ? spec.issuer : spec.issuerKey;
    return run({"req", "-new", "-config", configPath, "-key", spec.key + ".key", "-out",
                spec.name + ".csr"}) &&
           run({"x509", "-req", "-in", spec.name + ".csr", "-CA", spec.issuer + ".pem", "-CAkey",
                issuerKey + ".key", digest, "-days", days, "-set_serial", spec.serial, "-extfile", configPath,
                "-extensions", "ext", "-out", spec.name + ".pem"});
}
