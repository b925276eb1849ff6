#include "stagedfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace
{

// Something at the path, be it a file, a folder or a link that leads nowhere.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The folders between `path` and its nearest existing ancestor, outermost first.
QStringList missingFolders(const QString& path)
{
    QStringList missing;
    QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    while (!present(folder))
    {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return missing;
}

} // namespace

StagedFiles::StagedFiles(const QString& folder, const QStringList& names) : mFolder(folder), mNames(names) {}

StagedFiles::~StagedFiles()
{
    if (!mStaging.isEmpty() && !mKeepStaging)
        QDir(mStaging).removeRecursively();
    if (mCommitted || mKeepStaging)
        return;
    // Only empty folders go: rmdir refuses any other.
    for (auto folder = mMadeFolders.crbegin(); folder != mMadeFolders.crend(); ++folder)
        QDir().rmdir(*folder);
}

bool StagedFiles::open(QString& failure)
{
    mMadeFolders = missingFolders(mFolder);
    if (!QDir().mkpath(mFolder))
    {
        failure = QStringLiteral("The folder %1 cannot be made.").arg(mFolder);
        return false;
    }
    // Private to the owner, like the keys in it, and named so that nobody mistakes it for output.
    QTemporaryDir staging(QDir(mFolder).filePath(QStringLiteral(".talvane-chain-XXXXXX")));
    if (!staging.isValid() || !QDir(staging.path()).mkdir(QStringLiteral("previous")))
    {
        failure = QStringLiteral("Nothing can be written in the folder %1.").arg(mFolder);
        return false;
    }
    staging.setAutoRemove(false);
    mStaging = staging.path();
    return true;
}

QString StagedFiles::stagingPath(const QString& name) const
{
    return QDir(mStaging).filePath(name);
}

QString StagedFiles::targetPath(const QString& name) const
{
    return QDir(mFolder).filePath(name);
}

QString StagedFiles::firstExisting() const
{
    for (const QString& name : mNames)
    {
        const QFileInfo target(targetPath(name));
        if (target.exists() || target.isSymLink())
            return targetPath(name);
    }
    return QString();
}

QString StagedFiles::asidePath(const QString& name) const
{
    return QDir(mStaging).filePath(QStringLiteral("previous/") + name);
}

bool StagedFiles::place(const QString& name, Step& step, QString& failure)
{
    const QString target = targetPath(name);
    const QFileInfo info(target);
    // A folder is never replaced: moving it aside would put a whole tree at stake.
    if (info.isDir())
    {
        failure = QStringLiteral("%1 is a folder, not a file that can be replaced").arg(target);
        return false;
    }
    if (present(target))
    {
        if (!QDir().rename(target, asidePath(name)))
        {
            failure = QStringLiteral("%1 cannot be replaced").arg(target);
            return false;
        }
        step.movedAside = true;
    }
    if (!QDir().rename(stagingPath(name), target))
    {
        failure = QStringLiteral("%1 cannot be put in place").arg(target);
        return false;
    }
    step.placed = true;
    return true;
}

bool StagedFiles::undo(const std::vector<Step>& steps)
{
    bool restored = true;
    for (int i = int(steps.size()) - 1; i >= 0; --i)
    {
        const QString target = targetPath(mNames.at(i));
        if (steps[size_t(i)].placed)
            restored = QFile::remove(target) && restored;
        if (steps[size_t(i)].movedAside)
            restored = QDir().rename(asidePath(mNames.at(i)), target) && restored;
    }
    return restored;
}

bool StagedFiles::commit(QString& failure)
{
    std::vector<Step> steps(size_t(mNames.size()));
    for (int i = 0; i < mNames.size(); ++i)
    {
        QString why;
        if (place(mNames.at(i), steps[size_t(i)], why))
            continue;
        if (undo(steps))
        {
            failure = QStringLiteral("Writing the files failed (%1); the folder %2 is as it was.")
                          .arg(why, mFolder);
            return false;
        }
        mKeepStaging = true;
        failure =
            QStringLiteral("Writing the files failed (%1), and not every file replaced could be put back: "
                           "the old files are kept in %2.")
                .arg(why, QDir(mStaging).filePath(QStringLiteral("previous")));
        return false;
    }
    mCommitted = true;
    return true;
}
