#include "lockedfile.h"

#include "writetarget.h"

#include <cerrno>

namespace
{

namespace Fs = FileSystemCalls;

// A lock taken on a file that another process removed or replaced meanwhile is a lock on nothing
// anyone else looks at: open the name again. Each round means another process changed the file,
// so a few are plenty.
constexpr int kMostRounds = 64;

bool WriteNew(const std::string& name, const std::string& content, int& error)
{
    int fd = -1;
    error = Fs::CreateExclusive(name, 0666, fd);
    if (error != 0)
        return false;
    const bool written =
        Fs::WriteAt(fd, reinterpret_cast<const unsigned char*>(content.data()), content.size()) &&
        Fs::Sync(fd);
    if (Fs::Close(fd) && written)
        return true;
    Fs::Remove(name);
    return false;
}

} // namespace

LockedFile::~LockedFile()
{
    close();
}

void LockedFile::close()
{
    if (mFd >= 0)
        Fs::Close(mFd);
    mFd = -1;
}

LockedFile::Outcome LockedFile::open(const std::string& path, std::size_t limit)
{
    close();
    for (int round = 0; round < kMostRounds; ++round)
    {
        const WriteTarget target = ResolveWriteTarget(path);
        switch (target.finding)
        {
        case WriteTarget::Finding::LinkRefused:
        case WriteTarget::Finding::LinkLoop:
            return Outcome::LinkRefused;
        case WriteTarget::Finding::NotAFile:
            return Outcome::NotAFile;
        case WriteTarget::Finding::Unreachable:
            return Outcome::Unreachable;
        case WriteTarget::Finding::Writable:
        case WriteTarget::Finding::ReadOnly:
            break;
        }
        mPath = target.path;
        mFolder = target.folder;
        if (!target.exists)
            return Outcome::Missing;

        const bool writable = target.finding == WriteTarget::Finding::Writable;
        const int error = Fs::OpenExisting(mPath, writable, target.identity, mFd);
        if (error != 0)
        {
            mFd = -1;
            if (Fs::Missing(error) || error == EINVAL)
                continue; // gone or replaced since it was looked at
            return Outcome::Unreadable;
        }
        if (!Fs::Lock(mFd))
        {
            close();
            return Outcome::Unreadable;
        }
        Fs::Entry now;
        if (Fs::Inspect(mPath, now) != 0 || !now.exists || now.link || now.identity != target.identity)
        {
            close();
            continue;
        }
        mIdentity = target.identity;
        if (!Fs::ReadAll(mFd, mContent, limit))
        {
            mTooLong = mContent.size() > limit;
            if (!mTooLong)
            {
                close();
                return Outcome::Unreadable;
            }
            mContent.resize(limit);
        }
        return writable ? Outcome::Locked : Outcome::ReadOnly;
    }
    return Outcome::Unreachable;
}

bool LockedFile::replace(const std::string& content)
{
    if (mFd < 0)
        return false;
    if (!Fs::ReplaceContent(mFd, reinterpret_cast<const unsigned char*>(content.data()), content.size()))
        return false;
    mContent = content;
    mTooLong = false;
    return true;
}

bool LockedFile::remove()
{
    if (mFd < 0)
        return false;
    Fs::Entry now;
    if (Fs::Inspect(mPath, now) != 0 || !now.exists || now.identity != mIdentity)
        return false;
    Fs::Remove(mPath);
    Fs::SyncFolder(mFolder);
    return true;
}

LockedFile::Creation LockedFile::create(const std::string& content)
{
    if (mPath.empty())
        return Creation::Failed;
    // Complete under a name of its own first, then given the file's name in one step that fails
    // when another process made the file meanwhile.
    int error = 0;
    std::string temporary;
    for (int attempt = 0; attempt < 16; ++attempt)
    {
        temporary = TemporaryNameIn(mFolder, attempt);
        if (WriteNew(temporary, content, error))
            break;
        temporary.clear();
        if (!Fs::Exists(error))
            break;
    }
    if (temporary.empty())
        return Fs::Denied(error) ? Creation::FolderDenied : Creation::Failed;

    error = Fs::LinkExclusive(temporary, mPath);
    Fs::Remove(temporary);
    if (error == 0)
    {
        Fs::SyncFolder(mFolder);
        return Creation::Created;
    }
    if (Fs::Exists(error))
        return Creation::Taken;
    if (!Fs::NoLinks(error))
        return Creation::Failed;
    // A file system without a second name for a file: made under its own name, which another
    // process could read in the moment before its content is there.
    if (WriteNew(mPath, content, error))
    {
        Fs::SyncFolder(mFolder);
        return Creation::Created;
    }
    return Fs::Exists(error) ? Creation::Taken : Creation::Failed;
}
