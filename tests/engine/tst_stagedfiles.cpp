// The staged writer of a folder's files: the rules of the single-file writer kept (links written
// through, modes and groups kept, keys owner-only), nothing changed by a full disk, and the
// folder held by one writer at a time.

#include "enginefiles.h"
#include "filecontent.h"
#include "filesystemcalls.h"
#include "foldersnapshot.h"
#include "smallfilesystem.h"
#include "stagedfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const std::vector<StagedFiles::File> kFiles{
    {"cert.pem", FileAccess::Shared}, {"cert.pfx", FileAccess::OwnerOnly}, {"chain.pem", FileAccess::Shared}};

bool put(const QString& path, const QByteArray& content, unsigned mode = 0644)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush() &&
           ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QByteArray newContent(const std::string& name)
{
    return "new " + QByteArray::fromStdString(name) + QByteArray(3000, 'n');
}

// Every file of the writer staged with its new content.
bool stageAll(StagedFiles& files)
{
    for (const StagedFiles::File& file : kFiles)
    {
        const QByteArray content = newContent(file.name);
        if (!WriteFileAtomically(files.stagingPath(file.name).c_str(), content.constData(),
                                 std::size_t(content.size()), file.access))
            return false;
    }
    return true;
}

struct stat statOf(const QString& path, bool followLink = true)
{
    struct stat info = {};
    const QByteArray name = QFile::encodeName(path);
    if (followLink)
        ::stat(name.constData(), &info);
    else
        ::lstat(name.constData(), &info);
    return info;
}

// A rename made to fail: the one of the given source that comes `occurrence`-th (1 the first).
struct FailingRename
{
    std::string source; // a full path; or a name, for the staged file of that name
    int occurrence = 1;
    int seen = 0;
};
std::vector<FailingRename> gFailing;

int failChosenRenames(const char*, const std::string& from)
{
    for (FailingRename& rule : gFailing)
    {
        const bool staged =
            rule.source.find('/') == std::string::npos &&
            from.find("/.talvane-chain-") != std::string::npos &&
            from.find("/previous/") == std::string::npos && from.size() > rule.source.size() &&
            from.compare(from.size() - rule.source.size() - 1, std::string::npos, "/" + rule.source) == 0;
        if ((staged || from == rule.source) && ++rule.seen == rule.occurrence)
            return EIO;
    }
    return 0;
}

} // namespace

class TestStagedFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void replacedFilesKeepTheirRules();
    void fullFileSystemChangesNothing_data();
    void fullFileSystemChangesNothing();
    void oneWriterAtATime();
    void failedStepUndone_data();
    void failedStepUndone();

private:
    QString work(const QString& name) const { return mWork->filePath(name); }
    std::unique_ptr<QTemporaryDir> mWork;
};

void TestStagedFiles::init()
{
    mWork = std::make_unique<QTemporaryDir>();
    QVERIFY(mWork->isValid());
}

void TestStagedFiles::replacedFilesKeepTheirRules()
{
    QVERIFY(QDir(mWork->path()).mkpath("out"));
    QVERIFY(QDir(mWork->path()).mkpath("elsewhere"));
    // A certificate 0640 of another group, a link to a chain kept elsewhere, and no container yet.
    QVERIFY(put(work("out/cert.pem"), "old cert", 0640));
    const struct group* other = ::getgrnam("nogroup");
    const bool regroup = ::geteuid() == 0 && other != nullptr;
    if (regroup)
        QCOMPARE(::chown(QFile::encodeName(work("out/cert.pem")).constData(), uid_t(-1), other->gr_gid), 0);
    const gid_t group = statOf(work("out/cert.pem")).st_gid;
    QVERIFY(put(work("elsewhere/chain.pem"), "old chain", 0604));
    QVERIFY(QFile::link(work("elsewhere/chain.pem"), work("out/chain.pem")));

    {
        StagedFiles files(QFile::encodeName(work("out")).toStdString(), kFiles);
        QCOMPARE(files.open(), StagedFiles::Finding::Done);
        QCOMPARE(files.stage(), StagedFiles::Finding::Done);
        QVERIFY(stageAll(files));
        QCOMPARE(files.commit(), StagedFiles::Finding::Done);
    }

    QCOMPARE(readAll(work("out/cert.pem")), newContent("cert.pem"));
    QCOMPARE(statOf(work("out/cert.pem")).st_mode & 07777, mode_t(0640));
    QCOMPARE(statOf(work("out/cert.pem")).st_gid, group);
    QCOMPARE(statOf(work("out/cert.pfx")).st_mode & 07777, mode_t(0600));
    // Written through the link, which stays a link.
    QVERIFY(S_ISLNK(statOf(work("out/chain.pem"), false).st_mode));
    QCOMPARE(readAll(work("elsewhere/chain.pem")), newContent("chain.pem"));
    QCOMPARE(statOf(work("elsewhere/chain.pem")).st_mode & 07777, mode_t(0604));
    // Nothing of the writer's own is left: no staging folder, journal or lock.
    QCOMPARE(QDir(work("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"cert.pem", "cert.pfx", "chain.pem"}));
    if (!regroup)
        QSKIP("the group part needs root and the group nogroup");
}

void TestStagedFiles::fullFileSystemChangesNothing_data()
{
    QTest::addColumn<bool>("fullBeforeStaging");
    QTest::newRow("full before the files are staged") << true;
    QTest::newRow("full once they are staged, before the commit") << false;
}

void TestStagedFiles::fullFileSystemChangesNothing()
{
    QFETCH(bool, fullBeforeStaging);
    SmallFileSystem fileSystem(work("out"), "64k");
    if (!fileSystem.mounted())
        QSKIP(qPrintable(fileSystem.reason()));
    for (const StagedFiles::File& file : kFiles)
        QVERIFY(put(work("out/" + QString::fromStdString(file.name)),
                    "old " + QByteArray::fromStdString(file.name)));
    if (fullBeforeStaging)
        QVERIFY(fileSystem.fill());
    {
        StagedFiles files(QFile::encodeName(work("out")).toStdString(), kFiles);
        QCOMPARE(files.open(), StagedFiles::Finding::Done);
        QCOMPARE(files.stage(), StagedFiles::Finding::Done);
        if (fullBeforeStaging)
            QVERIFY(!stageAll(files));
        else
        {
            QVERIFY(stageAll(files));
            QVERIFY(fileSystem.fill());
            QCOMPARE(files.commit(), StagedFiles::Finding::JournalNotWritten);
        }
    }
    QMap<QString, QByteArray> after = folderSnapshot(work("out"));
    after.remove("filler");
    QMap<QString, QByteArray> old;
    for (const StagedFiles::File& file : kFiles)
        old.insert(QString::fromStdString(file.name), "old " + QByteArray::fromStdString(file.name));
    QCOMPARE(after, old);
}

void TestStagedFiles::oneWriterAtATime()
{
    const std::string folder = QFile::encodeName(work("new/out")).toStdString();
    {
        StagedFiles first(folder, kFiles);
        QCOMPARE(first.open(), StagedFiles::Finding::Done);
        StagedFiles second(folder, kFiles);
        QCOMPARE(second.open(), StagedFiles::Finding::FolderBusy);
    }
    // The first let go, and took away the folders it made, committing nothing.
    QVERIFY(!QFileInfo::exists(work("new")));
    StagedFiles third(folder, kFiles);
    QCOMPARE(third.open(), StagedFiles::Finding::Done);
}

void TestStagedFiles::failedStepUndone_data()
{
    QTest::addColumn<bool>("putBackFails");
    QTest::newRow("the second file cannot be put in place") << false;
    QTest::newRow("and the first cannot be put back") << true;
}

void TestStagedFiles::failedStepUndone()
{
    QFETCH(bool, putBackFails);
    QVERIFY(QDir(mWork->path()).mkpath("out"));
    for (const StagedFiles::File& file : kFiles)
        QVERIFY(put(work("out/" + QString::fromStdString(file.name)),
                    "old " + QByteArray::fromStdString(file.name)));
    const QMap<QString, QByteArray> before = folderSnapshot(work("out"));
    const std::string folder = QFile::encodeName(work("out")).toStdString();
    {
        StagedFiles files(folder, kFiles);
        QCOMPARE(files.open(), StagedFiles::Finding::Done);
        QCOMPARE(files.stage(), StagedFiles::Finding::Done);
        QVERIFY(stageAll(files));
        gFailing = {{"cert.pfx", 1}};
        if (putBackFails)
            gFailing.push_back({folder + "/cert.pem", 2}); // moved aside, then not back into staging
        FileSystemCalls::WatchCalls(failChosenRenames);
        const StagedFiles::Finding finding = files.commit();
        FileSystemCalls::WatchCalls(nullptr);
        QCOMPARE(finding,
                 putBackFails ? StagedFiles::Finding::PutBackFailed : StagedFiles::Finding::PlaceFailed);
        QCOMPARE(files.failedFile(), std::string("cert.pfx"));
    }
    if (!putBackFails)
    {
        QCOMPARE(folderSnapshot(work("out")), before);
        return;
    }
    // The journal leads the next writer into the folder to finish the commit.
    {
        StagedFiles next(folder, kFiles);
        QCOMPARE(next.open(), StagedFiles::Finding::Done);
        QCOMPARE(next.recovered(), StagedFiles::Recovery::Finished);
    }
    QMap<QString, QByteArray> expected;
    for (const StagedFiles::File& file : kFiles)
        expected.insert(QString::fromStdString(file.name), newContent(file.name));
    QCOMPARE(folderSnapshot(work("out")), expected);
}

QTEST_GUILESS_MAIN(TestStagedFiles)
#include "tst_stagedfiles.moc"
