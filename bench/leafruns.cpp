#include "leafruns.h"

#include "certificatesettings.h"
#include "certificatetype.h"
#include "chainruns.h"
#include "prngseed.h"
#include "secret.h"
#include "settingsissue.h"
#include "zidcertificate.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace
{

const char kPassword[] = "bench secret"; // the chain runs' password

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

bool issueLeaf(const CertificateSettings& settings, const std::string& base)
{
    if (seed_prng_kavra(MAX_BYTES) == 0)
        return false;
    ZIDCertificate certificate;
    return IssueFromSettings(certificate, settings, int(CertificateType::Leaf),
                             Secret(QString::fromLatin1(kPassword))) &&
           certificate.WritePem((base + ".pem").c_str()) != 0 &&
           certificate.WritePKCS12((base + ".pfx").c_str(), kPassword) != 0;
}

} // namespace

bool runLeavesInARow(const std::string& folder, int leaves, int settled, LeafRun& result)
{
    if (!issueChainWithEngine(folder, {nullptr, nullptr, nullptr}))
        return false;
    CertificateSettings settings;
    settings.issuerFileName = QString::fromStdString(folder + "/intermediate.pfx");
    settings.ca = false;
    settings.pathLength = 0;
    settings.organizationName = QStringLiteral(".Lab.Example");
    settings.entityName = QStringLiteral("CS.Player");
    settings.validityStart = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
    settings.validityEnd = QDateTime(QDate(2034, 3, 1), QTime(12, 0), Qt::UTC);

    result.times = {"leaf from a settings record, files written", {}};
    for (int i = 1; i <= leaves; ++i)
    {
        settings.serialNumber = 100 + i;
        const std::string base = folder + "/leaf" + std::to_string(i);
        bool issued = false;
        result.times.seconds.push_back(timeOnce([&] { issued = issueLeaf(settings, base); }));
        if (!issued)
            return false;
        if (i == settled)
            result.settledKiB = residentKiB();
    }
    result.finalKiB = residentKiB();
    return true;
}
