// The engine's writers on a hostile or crowded machine: links planted by another user, files the
// user may not write, sticky folders that refuse a rename, a full disk under an in-place write,
// names as long as the file system allows, and files that must be written together.

#include "enginefiles.h"
#include "filecontent.h"
#include "filegroup.h"
#include "permissionoverride.h"
#include "smallfilesystem.h"
#include "testinchild.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QByteArray kOld = "old content";
const QByteArray kNew = "new content, longer than the old one";

bool write(const QString& path, const QByteArray& content, FileAccess access = FileAccess::Shared)
{
    return WriteFileAtomically(QFile::encodeName(path).constData(), content.constData(),
                               std::size_t(content.size()), access);
}

bool put(const QString& path, const QByteArray& content, unsigned mode = 0644)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush() &&
           ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

struct stat statOf(const QString& path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

bool ownedByOtherUser(const QString& path)
{
    const unsigned id = PermissionOverride::kOtherUser;
    return ::lchown(QFile::encodeName(path).constData(), id, id) == 0;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

Q_DECLARE_METATYPE(FileAccess)

class TestEngineFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void linksInASharedFolder_data();
    void linksInASharedFolder();
    void readOnlyTargetIsRefused_data();
    void readOnlyTargetIsRefused();
    void refusedRenameWritesInPlace_data();
    void refusedRenameWritesInPlace();
    void fullDiskKeepsTheOldContentInPlace();
    void longestNameIsWritten();
    void groupWritesAllOrNothing_data();
    void groupWritesAllOrNothing();

private:
    // A folder of its own for each case, reachable by every user (children may be another user).
    QString caseFolder(const QString& name) const;

    QTemporaryDir mDir;
};

void TestEngineFiles::initTestCase()
{
    QVERIFY(mDir.isValid());
    QVERIFY(QFile::setPermissions(mDir.path(), QFile::permissions(mDir.path()) | QFile::ReadOther |
                                                   QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
}

QString TestEngineFiles::caseFolder(const QString& name) const
{
    const QString folder = mDir.filePath(name);
    QDir(folder).removeRecursively();
    return QDir().mkpath(folder) ? folder : QString();
}

void TestEngineFiles::linksInASharedFolder_data()
{
    QTest::addColumn<bool>("otherUsersLink");
    QTest::addColumn<bool>("folderShared");
    QTest::addColumn<bool>("folderOfOtherUser");
    QTest::addColumn<bool>("toPipe");
    QTest::addColumn<bool>("followed");

    QTest::newRow("another user's link to a file is not followed") << true << true << false << false << false;
    QTest::newRow("another user's link to a pipe is not followed") << true << true << false << true << false;
    QTest::newRow("own link is followed") << false << true << false << false << true;
    QTest::newRow("the folder owner's link is followed") << true << true << true << false << true;
    QTest::newRow("another user's link outside a shared folder is followed")
        << true << false << false << false << true;
    QTest::newRow("own link to a pipe replaces no pipe") << false << true << false << true << false;
}

void TestEngineFiles::linksInASharedFolder()
{
    QFETCH(bool, otherUsersLink);
    QFETCH(bool, folderShared);
    QFETCH(bool, folderOfOtherUser);
    QFETCH(bool, toPipe);
    QFETCH(bool, followed);
    if (::geteuid() != 0 && (otherUsersLink || folderOfOtherUser))
        QSKIP("only root can give a link or a folder to another user");

    const QString base = caseFolder("links");
    const QString shared = base + "/shared";
    QVERIFY(QDir().mkpath(shared));
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), folderShared ? 01777 : 0755), 0);
    if (folderOfOtherUser)
        QVERIFY(ownedByOtherUser(shared));
    const QString victim = base + "/victim";
    if (toPipe)
        QCOMPARE(::mkfifo(QFile::encodeName(victim).constData(), 0666), 0);
    else
        QVERIFY(put(victim, kOld));
    const QString link = shared + "/cert.pem";
    QVERIFY(QFile::link(victim, link));
    if (otherUsersLink)
        QVERIFY(ownedByOtherUser(link));

    QCOMPARE(write(link, kNew), followed);
    QVERIFY(S_ISLNK(statOf(link).st_mode));
    if (toPipe)
        QVERIFY(S_ISFIFO(statOf(victim).st_mode));
    else
        QCOMPARE(readAll(victim), followed ? kNew : kOld);
    QCOMPARE(entries(shared), QStringList{"cert.pem"});
}

void TestEngineFiles::readOnlyTargetIsRefused_data()
{
    QTest::addColumn<FileAccess>("access");
    QTest::addColumn<bool>("folderTakesNewFiles");
    QTest::newRow("certificate 0444 in a writable folder") << FileAccess::Shared << true;
    QTest::newRow("key container 0444 in a writable folder") << FileAccess::OwnerOnly << true;
    QTest::newRow("certificate 0444 in a folder that takes no new file") << FileAccess::Shared << false;
}

void TestEngineFiles::readOnlyTargetIsRefused()
{
    QFETCH(FileAccess, access);
    QFETCH(bool, folderTakesNewFiles);
    if (TestInChild::inChild())
    {
        QVERIFY(!write(TestInChild::sharedFolder() + "/target", kNew, access));
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::WithoutOverride);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));

    const QString folder = caseFolder("read-only");
    QVERIFY(put(folder + "/target", kOld, 0444));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), folderTakesNewFiles ? 0755 : 0555), 0);
    QByteArray log;
    const bool passed = TestInChild::runCurrentTest(TestInChild::As::WithoutOverride, folder, log);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QVERIFY2(passed, log.constData());
    QCOMPARE(readAll(folder + "/target"), kOld);
    QCOMPARE(statOf(folder + "/target").st_mode & 07777, 0444u);
    QCOMPARE(entries(folder), QStringList{"target"});
}

void TestEngineFiles::refusedRenameWritesInPlace_data()
{
    QTest::addColumn<FileAccess>("access");
    QTest::addColumn<bool>("written");
    QTest::newRow("certificate of another user: written in place") << FileAccess::Shared << true;
    // A key in a file that stays another user's could be read by that user.
    QTest::newRow("key container of another user: refused, it cannot be made owner-only")
        << FileAccess::OwnerOnly << false;
}

void TestEngineFiles::refusedRenameWritesInPlace()
{
    QFETCH(FileAccess, access);
    QFETCH(bool, written);
    if (TestInChild::inChild())
    {
        QCOMPARE(write(TestInChild::sharedFolder() + "/target", kNew, access), written);
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::OtherUser);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));

    // A sticky folder lets nobody but a file's owner replace it, however writable the file is.
    const QString folder = caseFolder("sticky");
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
    QVERIFY(put(folder + "/target", kOld, 0666));
    const ino_t inode = statOf(folder + "/target").st_ino;
    QByteArray log;
    QVERIFY2(TestInChild::runCurrentTest(TestInChild::As::OtherUser, folder, log), log.constData());
    QCOMPARE(readAll(folder + "/target"), written ? kNew : kOld);
    QCOMPARE(statOf(folder + "/target").st_ino, inode);
    QCOMPARE(statOf(folder + "/target").st_uid, ::geteuid());
    QCOMPARE(entries(folder), QStringList{"target"});
}

void TestEngineFiles::fullDiskKeepsTheOldContentInPlace()
{
    const QByteArray content(3 * 4096, 'n'); // more pages than the old content holds
    if (TestInChild::inChild())
    {
        QVERIFY(!write(TestInChild::sharedFolder() + "/locked/target", content));
        return;
    }
    const QString reason = TestInChild::unavailableReason(TestInChild::As::WithoutOverride);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    SmallFileSystem small(caseFolder("full"));
    if (!small.mounted())
        QSKIP(qPrintable(small.reason()));

    // A folder that takes no new file holds a writable file: the write goes in place.
    const QString locked = small.folder() + "/locked";
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(put(locked + "/target", kOld, 0666));
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    QVERIFY(small.fill());
    QByteArray log;
    QVERIFY2(TestInChild::runCurrentTest(TestInChild::As::WithoutOverride, small.folder(), log),
             log.constData());
    QCOMPARE(readAll(locked + "/target"), kOld);
}

void TestEngineFiles::longestNameIsWritten()
{
    // 255 bytes: the longest name Linux file systems take.
    const QString name = QString(251, 'n') + ".pem";
    const QString folder = caseFolder("long");
    QVERIFY(write(folder + "/" + name, kNew));
    QCOMPARE(readAll(folder + "/" + name), kNew);
    QVERIFY(write(folder + "/" + name, kOld, FileAccess::OwnerOnly));
    QCOMPARE(readAll(folder + "/" + name), kOld);
    QCOMPARE(entries(folder), QStringList{name});
}

void TestEngineFiles::groupWritesAllOrNothing_data()
{
    QTest::addColumn<bool>("firstExists");
    QTest::addColumn<QString>("secondFails");
    QTest::newRow("both replaced") << true << "never";
    QTest::newRow("both made") << false << "never";
    QTest::newRow("second not prepared: first untouched") << true << "prepared";
    QTest::newRow("second not put in place: first given its old content back") << true << "placed";
    QTest::newRow("second not put in place: first made is taken away again") << false << "placed";
}

void TestEngineFiles::groupWritesAllOrNothing()
{
    QFETCH(bool, firstExists);
    QFETCH(QString, secondFails);
    const QString folder = caseFolder("group");
    const QString first = folder + "/cert.pem";
    const QString second = folder + (secondFails == "prepared" ? "/missing/cert.pfx" : "/cert.pfx");
    if (firstExists)
        QVERIFY(put(first, kOld));
    QStringList before = entries(folder);

    auto group = std::make_unique<FileGroup>();
    QVERIFY(FileGroup::current() == group.get());
    QVERIFY(write(first, kNew));
    QCOMPARE(write(second, kNew, FileAccess::OwnerOnly), secondFails != "prepared");
    // Nothing a user sees changes before the group is put in place.
    QCOMPARE(readAll(first), firstExists ? kOld : QByteArray());
    QCOMPARE(QFile::exists(first), firstExists);
    if (secondFails == "placed")
    {
        QVERIFY(QDir().mkpath(second + "/inside")); // a folder takes the name meanwhile
        before.append("cert.pfx");
        before.sort();
    }
    const bool committed = secondFails != "prepared" && group->commit();
    QCOMPARE(committed, secondFails == "never");
    QCOMPARE(group->failedFile(), secondFails == "placed" ? 1 : -1);
    group.reset();
    QVERIFY(FileGroup::current() == nullptr);
    if (committed)
    {
        QCOMPARE(readAll(first), kNew);
        QCOMPARE(readAll(second), kNew);
        QCOMPARE(statOf(second).st_mode & 0777, 0600u);
        return;
    }
    QCOMPARE(readAll(first), firstExists ? kOld : QByteArray());
    QCOMPARE(QFile::exists(first), firstExists);
    QCOMPARE(entries(folder), before);
}

QTEST_GUILESS_MAIN(TestEngineFiles)
#include "tst_enginefiles.moc"
