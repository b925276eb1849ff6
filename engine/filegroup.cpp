#include "filegroup.h"

#include "writetarget.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace
{

namespace Fs = FileSystemCalls;

// The old content kept to undo a group is at most this large; a larger file is put in place
// without a way back (no certificate file comes near it).
constexpr std::size_t kLargestKeptContent = Fs::kLargestRestoredContent;

thread_local FileGroup* tCurrent = nullptr;
thread_local UnsyncedWrites* tUnsynced = nullptr;

// Bytes that may be a key: wiped when dropped.
struct WipedBytes
{
    std::string bytes;
    WipedBytes() = default;
    WipedBytes(const WipedBytes&) = delete;
    WipedBytes& operator=(const WipedBytes&) = delete;
    ~WipedBytes() { wipe(); }
    void wipe()
    {
        if (!bytes.empty())
            OPENSSL_cleanse(&bytes[0], bytes.size());
        bytes.clear();
    }
    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes.data()); }
};

enum class TemporaryOutcome
{
    Written,
    FolderDenied, // the folder takes no new file
    Failed
};

} // namespace

struct FileGroup::Pending
{
    WriteTarget target;
    FileAccess access = FileAccess::Shared;
    WipedBytes content;
    std::string temporary; // empty once placed, or when the file is written in place
    Fs::Identity written;  // the file that holds the new content
    bool placed = false;
    bool hasPrevious = false;
    WipedBytes previous; // the target's content before commit(), to undo it
};

namespace
{

TemporaryOutcome WriteTemporary(WriteTarget& target, FileAccess access, const WipedBytes& content,
                                std::string& temporary, Fs::Identity& written)
{
    // A key never sits in a file others can read; nor does a replacement before it gets the mode
    // of the file it replaces.
    const unsigned mode = access == FileAccess::OwnerOnly || target.exists ? 0600 : 0666;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt)
    {
        temporary = TemporaryNameIn(target.folder, attempt);
        const int error = Fs::CreateExclusive(temporary, mode, fd);
        if (error != 0 && !Fs::Exists(error))
        {
            temporary.clear();
            return Fs::Denied(error) ? TemporaryOutcome::FolderDenied : TemporaryOutcome::Failed;
        }
    }
    if (fd < 0)
    {
        temporary.clear();
        return TemporaryOutcome::Failed;
    }
    written = Fs::IdentityOf(fd);
    // A certificate keeps the mode of the file it replaces; a key stays owner-only.
    const bool moded = access == FileAccess::OwnerOnly || !target.exists || Fs::SetMode(fd, target.mode);
    // And its group, where this process may give it (as the file's owner, a member of the group).
    if (target.exists)
        Fs::SetGroup(fd, target.group);
    const bool complete = moded && Fs::WriteAt(fd, content.data(), content.bytes.size()) &&
                          (UnsyncedWrites::covers(target.folder) || Fs::Sync(fd));
    if (Fs::Close(fd) && complete)
        return TemporaryOutcome::Written;
    Fs::Remove(temporary);
    temporary.clear();
    return TemporaryOutcome::Failed;
}

// For a writable file where no temporary can take its place: the one way left, as opening the
// file for writing would.
bool WriteInPlace(const std::string& path, const Fs::Identity& identity, FileAccess access,
                  const WipedBytes& content)
{
    int fd = -1;
    if (Fs::OpenExisting(path, true, identity, fd) != 0)
        return false;
    // The mode goes first, so that the key is never readable by others, not even for a moment.
    const bool written = (access == FileAccess::Shared || Fs::SetMode(fd, 0600)) &&
                         Fs::ReplaceContent(fd, content.data(), content.bytes.size());
    return Fs::Close(fd) && written;
}

// Whether the file could be written in place at commit: open for writing, and room for the content.
bool CanWriteInPlace(const WriteTarget& target, std::size_t size)
{
    int fd = -1;
    if (Fs::OpenExisting(target.path, true, target.identity, fd) != 0)
        return false;
    const bool room = Fs::Reserve(fd, size);
    return Fs::Close(fd) && room;
}

} // namespace

FileGroup::FileGroup() : FileGroup(true) {}

FileGroup::FileGroup(bool open)
{
    if (!open)
        return;
    mOuter = tCurrent;
    tCurrent = this;
    mOpen = true;
}

FileGroup::~FileGroup()
{
    discard();
    close();
}

FileGroup* FileGroup::current()
{
    return tCurrent;
}

void FileGroup::close()
{
    if (!mOpen)
        return;
    tCurrent = mOuter;
    mOpen = false;
}

void FileGroup::discard()
{
    for (const std::unique_ptr<Pending>& file : mFiles)
        if (!file->temporary.empty())
        {
            Fs::Remove(file->temporary);
            file->temporary.clear();
        }
    mFiles.clear();
}

bool FileGroup::prepare(const char* path, const void* data, std::size_t size, FileAccess access)
{
    if (path == nullptr || *path == '\0' || (data == nullptr && size > 0))
        return false;
    auto file = std::make_unique<Pending>();
    file->target = ResolveWriteTarget(path);
    if (!file->target.writable())
        return false;
    file->access = access;
    if (size > 0)
        file->content.bytes.assign(static_cast<const char*>(data), size);

    switch (WriteTemporary(file->target, access, file->content, file->temporary, file->written))
    {
    case TemporaryOutcome::Written:
        break;
    case TemporaryOutcome::FolderDenied:
        // A folder that takes no new file: an existing writable file is written in place.
        if (!file->target.exists || !CanWriteInPlace(file->target, size))
            return false;
        file->written = file->target.identity;
        break;
    case TemporaryOutcome::Failed:
        return false;
    }
    mFiles.push_back(std::move(file));
    return true;
}

bool FileGroup::commit()
{
    mFailed = -1;
    // Whatever is replaced before the last file is kept, to be given back when a later one fails.
    for (std::size_t i = 0; i + 1 < mFiles.size(); ++i)
    {
        Pending& file = *mFiles[i];
        int fd = -1;
        if (file.target.exists && Fs::OpenExisting(file.target.path, false, file.target.identity, fd) == 0)
        {
            file.hasPrevious = Fs::ReadAll(fd, file.previous.bytes, kLargestKeptContent);
            Fs::Close(fd);
        }
    }

    for (std::size_t i = 0; i < mFiles.size(); ++i)
    {
        Pending& file = *mFiles[i];
        if (!place(file))
        {
            mFailed = static_cast<int>(i);
            for (std::size_t j = 0; j < i; ++j)
                undo(*mFiles[j]);
            discard();
            close();
            return false;
        }
    }
    // Each folder's new entries reach the disk once all are in place: one sync a folder, not one a
    // file, which a run of hundreds of files would wait on hundreds of times.
    std::vector<std::string> folders;
    for (const std::unique_ptr<Pending>& file : mFiles)
        if (std::find(folders.begin(), folders.end(), file->target.folder) == folders.end())
            folders.push_back(file->target.folder);
    // A staging folder's writes are synced by its owner, all at once, before its journal.
    for (const std::string& folder : folders)
        if (!UnsyncedWrites::covers(folder))
            Fs::SyncFolder(folder);
    mFiles.clear();
    close();
    return true;
}

bool FileGroup::place(Pending& file)
{
    const WriteTarget& target = file.target;
    if (!file.temporary.empty())
    {
        const int error = Fs::Rename(file.temporary, target.path);
        if (error == 0)
        {
            file.temporary.clear();
            file.placed = true;
            return true;
        }
        Fs::Remove(file.temporary);
        file.temporary.clear();
        // A sticky folder refuses to replace a file of another user that this process may write.
        if (!Fs::Denied(error) || !target.exists)
            return false;
        file.written = target.identity;
    }
    file.placed = WriteInPlace(target.path, file.written, file.access, file.content);
    return file.placed;
}

void FileGroup::undo(Pending& file)
{
    if (!file.placed)
        return;
    if (file.hasPrevious)
        WriteInPlace(file.target.path, file.written, file.access, file.previous);
    else if (!file.target.exists)
        Fs::Remove(file.target.path);
    file.placed = false;
}

bool FileGroup::writeOne(const char* path, const void* data, std::size_t size, FileAccess access)
{
    FileGroup one(false);
    return one.prepare(path, data, size, access) && one.commit();
}

UnsyncedWrites::UnsyncedWrites(std::string folder) : mFolder(std::move(folder)), mOuter(tUnsynced)
{
    tUnsynced = this;
}

UnsyncedWrites::~UnsyncedWrites()
{
    // Taken out wherever it is: writers that opened theirs in turn may end in any order.
    for (UnsyncedWrites** link = &tUnsynced; *link != nullptr; link = &(*link)->mOuter)
        if (*link == this)
        {
            *link = mOuter;
            break;
        }
}

bool UnsyncedWrites::covers(const std::string& folder)
{
    for (const UnsyncedWrites* scope = tUnsynced; scope != nullptr; scope = scope->mOuter)
        if (scope->mFolder == folder)
            return true;
    return false;
}
