#include "deviceruns.h"

#include "keypool.h"
#include "osslptr.h"
#include "prngseed.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>

namespace
{

const char* const kPassword = "bench secret";

const char kLeafExtensions[] = "[ leaf ]\n"
                               "basicConstraints = critical,CA:false\n"
                               "keyUsage = digitalSignature,keyEncipherment\n"
                               "subjectKeyIdentifier = hash\n"
                               "authorityKeyIdentifier = keyid,issuer:always\n"
                               "[ req ]\n"
                               "distinguished_name = dn\n"
                               "string_mask = nombstr\n"
                               "[ dn ]\n";

QProcessEnvironment toolEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TALVANE_PASSWORD", kPassword);
    environment.insert("TALVANE_ISSUER_PASSWORD", kPassword);
    return environment;
}

bool run(const std::string& folder, const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder));
    process.setProcessEnvironment(toolEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                          process.exitCode() == 0;
    if (!finished)
        std::fprintf(stderr, "%s %s:\n%s", qPrintable(program), qPrintable(arguments.join(' ')),
                     process.readAll().constData());
    return finished;
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// A request of a device's own key, as a device would send it.
bool writeRequest(EVP_PKEY* key, const QString& commonName, const QString& path)
{
    X509ReqPtr request(X509_REQ_new());
    const QByteArray name = commonName.toLatin1();
    if (!request || X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) != 1 ||
        X509_NAME_add_entry_by_NID(
            X509_REQ_get_subject_name(request.get()), NID_commonName, V_ASN1_PRINTABLESTRING,
            reinterpret_cast<const unsigned char*>(name.constData()), -1, -1, 0) != 1 ||
        X509_REQ_set_pubkey(request.get(), key) != 1 || X509_REQ_sign(request.get(), key, EVP_sha256()) <= 0)
        return false;
    BioPtr memory(BIO_new(BIO_s_mem()));
    if (!memory || PEM_write_bio_X509_REQ(memory.get(), request.get()) != 1)
        return false;
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &data);
    return writeText(path, QByteArray(data, int(length)));
}

QString unit(int i)
{
    return QStringLiteral("unit-%1").arg(i);
}

} // namespace

bool prepareDeviceRuns(const std::string& tool, const std::string& folder, int requests, int leaves)
{
    const QString base = QString::fromStdString(folder);
    if (!run(folder, QString::fromStdString(tool),
             {"root", "--out", "root", "--force", "--root-name", ".Devices.Example", "--organization",
              ".Line", "--entity", "Authority", "--serial", "random"}) ||
        !run(folder, "openssl",
             {"pkcs12", "-in", "root.pfx", "-nocerts", "-nodes", "-legacy", "-passin",
              QStringLiteral("pass:") + kPassword, "-out", "root.key"}) ||
        !writeText(base + "/profile.cnf", kLeafExtensions) || !QDir().mkpath(base + "/requests"))
        return false;
    if (seed_prng_kavra(MAX_BYTES) == 0)
        return false;
    KeyPool keys(requests);
    for (int i = 1; i <= requests; ++i)
    {
        const EvpPkeyPtr key = keys.next();
        if (!key || !writeRequest(key.get(), "SM." + unit(i), base + "/requests/" + unit(i) + ".csr"))
            return false;
    }
    QByteArray batch = "name,entity,roles\n";
    for (int i = 1; i <= leaves; ++i)
        batch += unit(i).toLatin1() + "," + unit(i).toLatin1() + ",SM MD\n";
    return writeText(base + "/batch.csv", batch);
}

bool signRequestsWithTool(const std::string& tool, const std::string& folder, const std::string& out)
{
    QStringList arguments{"sign"};
    for (const QString& request : QDir(QString::fromStdString(folder) + "/requests").entryList({"*.csr"}))
        arguments << "requests/" + request;
    arguments << "--issuer"
              << "root.pfx"
              << "--roles"
              << "SM"
              << "--out-dir" << QString::fromStdString(out) << "--force"
              << "--serial"
              << "random";
    return run(folder, QString::fromStdString(tool), arguments);
}

bool signRequestsWithCommandLine(const std::string& folder, const std::string& out, int requests)
{
    const QString dir = QString::fromStdString(out);
    for (int i = 1; i <= requests; ++i)
        if (!run(folder, "openssl",
                 {"x509", "-req", "-sha256", "-in", "requests/" + unit(i) + ".csr", "-CA", "root.pem",
                  "-CAkey", "root.key", "-set_serial", QString::number(1000 + i), "-days", "3000", "-extfile",
                  "profile.cnf", "-extensions", "leaf", "-out", dir + "/" + unit(i) + ".pem"}))
            return false;
    return true;
}

bool batchWithTool(const std::string& tool, const std::string& folder, const std::string& out)
{
    return run(folder, QString::fromStdString(tool),
               {"leaf", "--batch", "batch.csv", "--issuer", "root.pfx", "--out-dir",
                QString::fromStdString(out), "--force", "--serial", "random"});
}

bool batchWithCommandLine(const std::string& folder, const std::string& out, int leaves)
{
    const QString dir = QString::fromStdString(out) + "/";
    for (int i = 1; i <= leaves; ++i)
    {
        const QString name = dir + unit(i);
        if (!run(folder, "openssl", {"genrsa", "-out", name + ".key", "2048"}) ||
            !run(folder, "openssl",
                 {"req", "-new", "-sha256", "-config", "profile.cnf", "-key", name + ".key", "-subj",
                  "/O=.Devices.Example/OU=.Line/CN=SM MD." + unit(i), "-out", name + ".csr"}) ||
            !run(folder, "openssl",
                 {"x509", "-req", "-sha256", "-in", name + ".csr", "-CA", "root.pem", "-CAkey", "root.key",
                  "-set_serial", QString::number(2000 + i), "-days", "3000", "-extfile", "profile.cnf",
                  "-extensions", "leaf", "-out", name + ".pem"}))
            return false;
    }
    return true;
}
