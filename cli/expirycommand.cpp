// talvane-chain expiry: which certificates end soon, for a person or a script run from cron.

#include "commands.h"

#include "certificatefacts.h"
#include "certificatesources.h"
#include "chainrules.h"
#include "chainverifier.h"
#include "console.h"
#include "notes.h"
#include "passwords.h"
#include "refusals.h"
#include "reissue.h"
#include "secret.h"
#include "values.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>

namespace
{

constexpr qint64 kDefaultWithinDays = 90;

struct Listed
{
    CertificateFacts facts;
    QString path;
    QString role;
    qint64 daysLeft = 0;
    bool ending = false;
};

struct Unreadable
{
    QString path;
    QString why;
};

// The files of the paths given: a folder's recursively, in name order.
QStringList filesOf(const QStringList& paths, std::set<QString>& named)
{
    QStringList files;
    for (const QString& path : paths)
    {
        if (!QFileInfo(path).isDir())
        {
            files << path;
            named.insert(path);
            continue;
        }
        QStringList inside;
        QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            inside << it.next();
        inside.sort();
        files << inside;
    }
    return files;
}

QString roleOf(X509* certificate, const CertificateFacts& facts)
{
    if (IsSelfSigned(certificate) == 1)
        return QStringLiteral("root");
    return facts.ca ? QStringLiteral("intermediate") : QStringLiteral("leaf");
}

class Scan
{
public:
    explicit Scan(const Invocation& invocation) : mInvocation(invocation) { ChainVerifier::initOpenSsl(); }

    // The certificates of one file, or why it cannot be read; a file in a folder that is no
    // certificate file at all (notes, keys, passwords) is passed over.
    void read(const QString& path, bool named)
    {
        if (!QFileInfo::exists(path))
            return unreadable(path, Refuse::fileMissing(path));
        using Kind = ChainVerifier::CertificateFile::Kind;
        ChainVerifier::CertificateFile file = ChainVerifier::loadCertificateFile(path);
        switch (file.kind)
        {
        case Kind::Unreadable:
            return unreadable(path, Refuse::fileUnreadable(path));
        case Kind::TooLarge:
            return unreadable(path, Refuse::fileTooLarge(path, ChainVerifier::kLargestFile));
        case Kind::Damaged:
            return unreadable(path, Refuse::damagedBlock(path, file.damagedBlock));
        case Kind::Empty:
        case Kind::Other:
            if (named)
                unreadable(path, Refuse::notACertificateFile(path));
            return;
        case Kind::Pem:
        case Kind::Der:
            for (X509Ptr& certificate : file.certificates)
                take(path, std::move(certificate));
            return;
        case Kind::Pkcs12:
            break;
        }
        // A folder's containers hold what its PEM files hold: without a password they are passed
        // over, not failed.
        if (!named && !mInvocation.isSet(Option::PasswordFile))
        {
            ++containersPassedOver;
            return;
        }
        if (auto error = needPassword(path))
            return unreadable(path, *error);
        ChainVerifier::Pkcs12Contents contents =
            ChainVerifier::loadPkcs12(path, QByteArray::fromRawData(mPassword.data(), mPassword.size()));
        if (auto error = ContainerRefusal(path, contents))
            return unreadable(path, *error);
        take(path, std::move(contents.certificate));
        for (X509Ptr& certificate : contents.chain)
            take(path, std::move(certificate));
    }

    std::vector<Listed> listed;
    std::vector<Unreadable> failed;
    int containersPassedOver = 0;

private:
    void unreadable(const QString& path, const CommandError& error)
    {
        failed.push_back({path, error.sentence});
    }

    // Each certificate once, under the first file that holds it.
    void take(const QString& path, X509Ptr certificate)
    {
        if (!certificate)
            return;
        CertificateFacts facts = ReadCertificateFacts(certificate.get());
        if (!mSeen.insert(facts.sha256Fingerprint).second)
            return;
        Listed entry;
        entry.role = roleOf(certificate.get(), facts);
        entry.path = QFileInfo(path).absoluteFilePath();
        entry.facts = std::move(facts);
        listed.push_back(std::move(entry));
    }

    // One password for every PKCS#12 file, read from --password-file only: a run from cron has
    // nobody to ask.
    Refusal needPassword(const QString& path)
    {
        if (mHavePassword)
            return std::nullopt;
        if (!mInvocation.isSet(Option::PasswordFile))
            return Refuse::optionMissing(OptionText(Option::PasswordFile),
                                         QStringLiteral("the password of the PKCS#12 files"));
        const PasswordSource source{mInvocation.value(Option::PasswordFile), nullptr, Option::PasswordFile,
                                    Note::containerPurpose(path), false};
        if (auto error = ObtainPassword(mInvocation.console(), source, mPassword))
            return error;
        mHavePassword = true;
        return std::nullopt;
    }

    const Invocation& mInvocation;
    const SecretsHeld mSecretsHeld;
    Secret mPassword;
    bool mHavePassword = false;
    std::set<QString> mSeen;
};

QString json(const std::vector<Listed>& listed, const std::vector<Unreadable>& failed, qint64 within,
             const QDateTime& now)
{
    QJsonArray certificates;
    for (const Listed& entry : listed)
        certificates.append(QJsonObject{
            {"path", entry.path},
            {"subject", entry.facts.subjectName},
            {"commonName", entry.facts.commonName},
            {"role", entry.role},
            {"serial", QJsonObject{{"decimal", entry.facts.serialDecimal}, {"hex", entry.facts.serialHex}}},
            {"notAfter", printed(entry.facts.notAfter)},
            {"daysLeft", entry.daysLeft},
            {"ending", entry.ending}});
    QJsonArray unreadable;
    for (const Unreadable& file : failed)
        unreadable.append(
            QJsonObject{{"path", QFileInfo(file.path).absoluteFilePath()}, {"reason", file.why}});
    const QJsonObject document{{"now", printed(now)},
                               {"withinDays", within},
                               {"certificates", certificates},
                               {"unreadable", unreadable}};
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

int run(Invocation& invocation)
{
    Console& console = invocation.console();
    qint64 within = kDefaultWithinDays;
    if (invocation.isSet(Option::Within))
    {
        const auto days = parseDays(invocation.value(Option::Within), 0);
        if (!days || *days > CertificateRules::kMostValidityDays)
            return Report(console,
                          Refuse::notDays(invocation.value(Option::Within), OptionText(Option::Within), 0));
        within = *days;
    }
    const QStringList paths = invocation.operands();
    if (paths.isEmpty())
        return Report(console, Refuse::noFiles(QStringLiteral("expiry")));

    Scan scan(invocation);
    std::set<QString> named;
    for (const QString& file : filesOf(paths, named))
        scan.read(file, named.count(file) > 0);
    if (scan.listed.empty() && scan.failed.empty())
        return Report(console, Refuse::noCertificatesFound());

    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime limit = now.addDays(within);
    int ending = 0;
    for (Listed& entry : scan.listed)
    {
        const qint64 seconds = now.secsTo(entry.facts.notAfter);
        // Whole days, rounded down: a certificate that ended an hour ago has ended, -1 days left.
        entry.daysLeft = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
        entry.ending = !entry.facts.notAfter.isValid() || entry.facts.notAfter <= limit;
        ending += entry.ending ? 1 : 0;
    }
    std::stable_sort(scan.listed.begin(), scan.listed.end(),
                     [](const Listed& a, const Listed& b) { return a.facts.notAfter < b.facts.notAfter; });

    if (invocation.isSet(Option::Json))
        console.out(json(scan.listed, scan.failed, within, now));
    else
    {
        for (const Listed& entry : scan.listed)
            console.outLine(Note::expiryLine(printed(entry.facts.notAfter), entry.daysLeft, entry.role,
                                             entry.facts.serialDecimal, entry.facts.commonName, entry.path));
        for (const Unreadable& file : scan.failed)
            console.outLine(Note::expiryUnreadable(QFileInfo(file.path).absoluteFilePath(), file.why));
        console.errLine(Note::expirySummary(int(scan.listed.size()), ending, within));
    }
    if (scan.containersPassedOver > 0)
        console.errLine(
            Note::containersPassedOver(scan.containersPassedOver, OptionText(Option::PasswordFile)));
    // A file that could not be read may hold what ends first: the run is not clean.
    return ending > 0 || !scan.failed.empty() ? ExitFailure : ExitSuccess;
}

} // namespace

const Command& ExpiryCommand()
{
    static const Command command{
        "expiry",
        "expiry PATH... [--within DAYS] [--json] [--password-file FILE]",
        "which certificates end soon, for scripts",
        "Reads the certificates of files and folders (recursively; PEM, DER, and PKCS#12 with "
        "--password-file) "
        "and lists each once, the soonest end first: its end, the days left, its role, serial number, CN and "
        "file. In a folder, files that hold no certificate at all are passed over, and so are PKCS#12 files "
        "without --password-file; files that cannot be read are listed as such and do not stop the run.\n"
        "Exit status: 0 when nothing ends within DAYS days (default 90), 1 when something does or has ended, "
        "or a file could not be read, 2 when the command line is wrong; so that a cron job can mail on 1.",
        "talvane-chain expiry /srv/certificates || mail -s 'certificates end soon' admin\n"
        "talvane-chain expiry lab --within 30 --json",
        {{Option::Within},
         {Option::Json},
         {Option::PasswordFile,
          "First line of FILE (- for standard input): the password of the PKCS#12 files; "
          "without it they are listed as unreadable."}},
        "PATH...",
        "Certificate files, or folders searched recursively.",
        run};
    return command;
}
