#include "stagedfiles.h"

#include "filegroup.h"
#include "filesystemcalls.h"
#include "writetarget.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <system_error>
#include <thread>

namespace
{

namespace Fs = FileSystemCalls;
namespace Paths = std::filesystem;

const char kJournalHeading[] = "talvane staged files 1";
const char kPrevious[] = "previous";
// A journal lists a few names; anything longer is not one of ours.
constexpr std::size_t kLargestJournal = 64u << 10;

// A lock taken on a lock file that its holder removed as it finished is a lock on nothing anyone
// else looks at: open the name again. Each round means another run finished meanwhile.
constexpr int kMostLockRounds = 64;

Paths::path PathOf(const std::string& name)
{
#ifdef _WIN32
    return Paths::u8path(name);
#else
    return Paths::path(name);
#endif
}

std::string TextOf(const Paths::path& path)
{
#ifdef _WIN32
    return path.u8string();
#else
    return path.string();
#endif
}

// Bytes that may be a key: wiped when dropped.
struct Content
{
    std::string bytes;
    Content() = default;
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    ~Content()
    {
        if (!bytes.empty())
            OPENSSL_cleanse(&bytes[0], bytes.size());
    }
};

// The whole content of a regular file, never through a link.
bool ReadFile(const std::string& name, Content& content)
{
    Fs::Entry entry;
    if (Fs::Inspect(name, entry) != 0 || !entry.exists || !entry.regular)
        return false;
    int fd = -1;
    if (Fs::OpenExisting(name, false, entry.identity, fd) != 0)
        return false;
    const bool read = Fs::ReadAll(fd, content.bytes, Fs::kLargestRestoredContent);
    return Fs::Close(fd) && read;
}

bool Present(const std::string& name)
{
    Fs::Entry entry;
    return Fs::Inspect(name, entry) != 0 || entry.exists;
}

void RemoveTree(const std::string& folder)
{
    std::error_code ignored;
    Paths::remove_all(PathOf(folder), ignored);
}

bool HoldsFilesAside(const std::string& staging)
{
    std::error_code error;
    const Paths::directory_iterator aside(PathOf(staging + "/" + kPrevious), error);
    return !error && aside != Paths::directory_iterator();
}

int TakeLock(const std::string& path, int& fd)
{
    for (int round = 0; round < kMostLockRounds; ++round)
    {
        fd = -1;
        int error = Fs::CreateExclusive(path, 0600, fd);
        if (error != 0)
        {
            if (!Fs::Exists(error))
                return error;
            Fs::Entry entry;
            if (Fs::Inspect(path, entry) != 0)
                return EIO;
            if (!entry.exists)
                continue;
            // Something planted in the lock's place is not opened, let alone followed.
            if (entry.link || !entry.regular)
                return EACCES;
            error = Fs::OpenExisting(path, false, entry.identity, fd);
            if (error != 0)
            {
                fd = -1;
                if (Fs::Missing(error) || error == EINVAL)
                    continue;
                return error;
            }
        }
        error = Fs::TryLock(fd);
        if (error != 0)
        {
            Fs::Close(fd);
            fd = -1;
            return error;
        }
        Fs::Entry now;
        if (Fs::Inspect(path, now) == 0 && now.exists && !now.link && now.identity == Fs::IdentityOf(fd))
            return 0;
        Fs::Close(fd);
    }
    fd = -1;
    return EIO;
}

// One line of a journal: how a file is put in place, and where.
struct JournalEntry
{
    bool through = false;
    FileAccess access = FileAccess::Shared;
    std::string name;
    std::string target; // the file written through to
};

bool ParseJournal(const std::string& text, std::string& staging, std::vector<JournalEntry>& entries)
{
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kJournalHeading)
        return false;
    if (!std::getline(lines, line) || line.rfind("staging ", 0) != 0)
        return false;
    staging = line.substr(8);
    if (staging.empty() || staging.find('/') != std::string::npos || staging.find('\\') != std::string::npos)
        return false;
    while (std::getline(lines, line))
    {
        if (line == "end")
            return true;
        std::istringstream words(line);
        std::string how, access;
        JournalEntry entry;
        if (!(words >> how >> access >> entry.name) || (how != "in" && how != "through") ||
            (access != "key" && access != "shared") || entry.name.find('/') != std::string::npos)
            return false;
        entry.through = how == "through";
        entry.access = access == "key" ? FileAccess::OwnerOnly : FileAccess::Shared;
        if (entry.through)
        {
            words.get();
            std::getline(words, entry.target);
            if (entry.target.empty())
                return false;
        }
        entries.push_back(entry);
    }
    return false; // cut short
}

} // namespace

const char StagedFiles::kJournalName[] = ".talvane-chain-journal";
const char StagedFiles::kLockName[] = ".talvane-chain-lock";
const char StagedFiles::kStagingPrefix[] = ".talvane-chain-";

struct StagedFiles::Step
{
    File file;
    std::string staged;
    std::string aside;
    std::string target; // the file written: the name in the folder, or what its link leads to
    bool through = false;
    bool existed = false;
    bool movedAside = false;
    bool placed = false;
    bool hasPrevious = false;
    std::shared_ptr<Content> previous; // a through target's old content, to undo it
};

StagedFiles::StagedFiles(const std::string& folder, std::vector<File> files) : mFiles(std::move(files))
{
    std::error_code error;
    Paths::path path = Paths::absolute(PathOf(folder), error).lexically_normal();
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    mFolder = TextOf(path);
}

StagedFiles::~StagedFiles()
{
    mUnsynced.reset();
    if (!mStaging.empty() && !mJournalKept)
        RemoveTree(mStaging);
    if (mLockFd >= 0)
    {
        // Taken away while still held: a run that opened it meanwhile sees it gone and opens anew.
        Fs::Remove(inFolder(kLockName));
        Fs::Close(mLockFd);
    }
    if (mCommitted || mJournalKept)
        return;
    // Only empty folders go.
    for (auto folder = mMadeFolders.crbegin(); folder != mMadeFolders.crend(); ++folder)
    {
        std::error_code ignored;
        Paths::remove(PathOf(*folder), ignored);
    }
}

std::string StagedFiles::inFolder(const std::string& name) const
{
    return mFolder + "/" + name;
}

std::string StagedFiles::stagingPath(const std::string& name) const
{
    return mStaging + "/" + name;
}

StagedFiles::Finding StagedFiles::open()
{
    if (mFolder.empty())
        return Finding::FolderNotMade;
    std::vector<std::string> missing;
    for (Paths::path folder = PathOf(mFolder); !Present(TextOf(folder)); folder = folder.parent_path())
    {
        missing.insert(missing.begin(), TextOf(folder));
        if (folder == folder.parent_path())
            break;
    }
    for (const std::string& folder : missing)
    {
        const int error = Fs::MakeFolder(folder, 0777);
        if (error != 0 && !Fs::Exists(error))
            return Finding::FolderNotMade;
        mMadeFolders.push_back(folder);
    }

    const int error = TakeLock(inFolder(kLockName), mLockFd);
    if (error != 0)
    {
        mLockFd = -1;
        return Fs::Busy(error) ? Finding::FolderBusy : Finding::FolderNotWritable;
    }
    return recover();
}

std::string StagedFiles::firstPresent() const
{
    for (const File& file : mFiles)
        if (Present(inFolder(file.name)))
            return file.name;
    return std::string();
}

StagedFiles::Finding StagedFiles::stage()
{
    for (int attempt = 0; attempt < 16 && mStaging.empty(); ++attempt)
    {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%x-%d", static_cast<unsigned>(Fs::ProcessId()), attempt);
        // Private to the owner, like the keys in it.
        const std::string staging = inFolder(std::string(kStagingPrefix) + suffix);
        const int error = Fs::MakeFolder(staging, 0700);
        if (error == 0)
            mStaging = staging;
        else if (!Fs::Exists(error))
            return Finding::FolderNotWritable;
    }
    if (mStaging.empty() || Fs::MakeFolder(stagingPath(kPrevious), 0700) != 0)
        return Finding::FolderNotWritable;
    mUnsynced = std::make_unique<UnsyncedWrites>(mStaging);
    return Finding::Done;
}

StagedFiles::Finding StagedFiles::recover()
{
    const std::string journal = inFolder(kJournalName);
    Fs::Entry entry;
    if (Fs::Inspect(journal, entry) != 0)
        return Finding::RecoveryFailed;
    if (entry.exists)
    {
        Content text;
        std::string staging;
        std::vector<JournalEntry> entries;
        if (entry.link || !ReadFile(journal, text) || text.bytes.size() > kLargestJournal ||
            !ParseJournal(text.bytes, staging, entries))
            return Finding::RecoveryFailed;
        // A staged file still there is one not yet put in place, or written through to a file that
        // may or may not hold it yet: either way putting it in place again finishes the commit.
        for (const JournalEntry& step : entries)
        {
            const std::string staged = inFolder(staging) + "/" + step.name;
            if (!Present(staged))
                continue;
            const std::string target = step.through ? step.target : inFolder(step.name);
            if (!step.through && Fs::Rename(staged, target) == 0)
                continue;
            Content content;
            if (!ReadFile(staged, content) ||
                !FileGroup::writeOne(target.c_str(), content.bytes.data(), content.bytes.size(), step.access))
                return Finding::RecoveryFailed;
        }
        Fs::SyncFolder(mFolder);
        RemoveTree(inFolder(staging));
        Fs::Remove(journal);
        Fs::SyncFolder(mFolder);
        mRecovered = Recovery::Finished;
    }

    // What is left is staging folders of runs that were stopped before their commit: nothing in
    // them was ever put in place, and the folder's lock says that no run is writing them now. One
    // that holds files moved aside without a journal is not of this writer's making (an older
    // one's): it may hold the only copy of a key, and stays.
    std::error_code error;
    bool removed = false;
    for (Paths::directory_iterator it(PathOf(mFolder), error), end; !error && it != end; it.increment(error))
    {
        const std::string name = TextOf(it->path().filename());
        std::error_code ignored;
        if (name.rfind(kStagingPrefix, 0) == 0 && it->is_directory(ignored) && !it->is_symlink(ignored) &&
            !HoldsFilesAside(TextOf(it->path())))
        {
            RemoveTree(TextOf(it->path()));
            removed = true;
        }
    }
    if (removed && mRecovered == Recovery::None)
        mRecovered = Recovery::Discarded;
    return Finding::Done;
}

StagedFiles::Finding StagedFiles::prepare(std::vector<Step>& steps)
{
    for (const File& file : mFiles)
    {
        Step step;
        step.file = file;
        step.staged = stagingPath(file.name);
        step.aside = stagingPath(std::string(kPrevious) + "/" + file.name);
        mFailedFile = file.name;
        Fs::Entry staged;
        if (Fs::Inspect(step.staged, staged) != 0 || !staged.exists || !staged.regular)
            return Finding::PlaceFailed;
        Fs::Entry name;
        if (Fs::Inspect(inFolder(file.name), name) != 0)
            return Finding::PlaceFailed;
        const WriteTarget target = ResolveWriteTarget(inFolder(file.name));
        switch (target.finding)
        {
        case WriteTarget::Finding::Writable:
            break;
        case WriteTarget::Finding::NotAFile:
        {
            std::error_code ignored;
            return Paths::is_directory(PathOf(target.path), ignored) ? Finding::TargetIsFolder
                                                                     : Finding::TargetRefused;
        }
        case WriteTarget::Finding::LinkRefused:
        case WriteTarget::Finding::LinkLoop:
        case WriteTarget::Finding::ReadOnly:
            return Finding::TargetRefused;
        case WriteTarget::Finding::Unreachable:
            return Finding::PlaceFailed;
        }
        step.through = name.link;
        step.target = target.path;
        step.existed = target.exists;
        if (!step.through && step.existed)
        {
            // The new file takes the old one's place with its mode (a key stays owner-only) and group.
            int fd = -1;
            if (Fs::OpenExisting(step.staged, true, staged.identity, fd) != 0)
                return Finding::PlaceFailed;
            const bool moded = file.access == FileAccess::OwnerOnly || Fs::SetMode(fd, target.mode);
            Fs::SetGroup(fd, target.group);
            // Synced with the content, before the journal.
            if (!Fs::Close(fd) || !moded)
                return Finding::PlaceFailed;
        }
        steps.push_back(std::move(step));
    }
    mFailedFile.clear();
    return Finding::Done;
}

bool StagedFiles::syncStaged(const std::vector<Step>& steps)
{
    // Every staged file reaches the disk before the journal says the commit may be finished from
    // them. One after the other, each sync waits for the device on its own; together, the file
    // system takes them in one go.
    std::vector<char> synced(steps.size(), 0);
    std::vector<std::thread> threads;
    const auto sync = [&](std::size_t i)
    {
        Fs::Entry entry;
        int fd = -1;
        if (Fs::Inspect(steps[i].staged, entry) != 0 || !entry.exists ||
            Fs::OpenExisting(steps[i].staged, true, entry.identity, fd) != 0)
            return;
        const bool done = Fs::Sync(fd);
        synced[i] = Fs::Close(fd) && done;
    };
    try
    {
        for (std::size_t i = 1; i < steps.size(); ++i)
            threads.emplace_back(sync, i);
    }
    catch (const std::system_error&)
    {
        // No thread to be had: the rest one after the other.
        for (std::size_t i = threads.size() + 1; i < steps.size(); ++i)
            sync(i);
    }
    if (!steps.empty())
        sync(0);
    for (std::thread& thread : threads)
        thread.join();
    for (char done : synced)
        if (!done)
            return false;
    return true;
}

bool StagedFiles::writeJournal(const std::vector<Step>& steps)
{
    std::string text =
        std::string(kJournalHeading) + "\nstaging " + TextOf(PathOf(mStaging).filename()) + "\n";
    for (const Step& step : steps)
    {
        text += step.through ? "through " : "in ";
        text += step.file.access == FileAccess::OwnerOnly ? "key " : "shared ";
        text += step.file.name;
        if (step.through)
            text += " " + step.target;
        text += "\n";
    }
    text += "end\n";

    // Made complete in the staging folder, then given its name in one step: a journal is whole
    // or absent, and a run killed while writing it leaves nothing outside the staging folder.
    const std::string draft = stagingPath("journal");
    int fd = -1;
    if (Fs::CreateExclusive(draft, 0600, fd) != 0)
        return false;
    const bool written =
        Fs::WriteAt(fd, reinterpret_cast<const unsigned char*>(text.data()), text.size()) && Fs::Sync(fd);
    if (!Fs::Close(fd) || !written)
    {
        Fs::Remove(draft);
        return false;
    }
    // The staged files' names reach the disk before the journal that leads to them.
    Fs::SyncFolder(mStaging);
    if (Fs::Rename(draft, inFolder(kJournalName)) != 0)
    {
        Fs::Remove(draft);
        return false;
    }
    Fs::SyncFolder(mFolder);
    return true;
}

bool StagedFiles::place(Step& step)
{
    if (!step.through)
    {
        if (step.existed)
        {
            const int error = Fs::Rename(step.target, step.aside);
            // A sticky folder refuses to move a file of another user that this process may write:
            // written through in place then, as the single-file writer does.
            if (error != 0 && !Fs::Denied(error))
                return false;
            step.movedAside = error == 0;
            step.through = error != 0;
        }
        if (!step.through)
        {
            step.placed = Fs::Rename(step.staged, step.target) == 0;
            return step.placed;
        }
    }
    if (step.existed)
    {
        step.previous = std::make_shared<Content>();
        step.hasPrevious = ReadFile(step.target, *step.previous);
    }
    Content content;
    if (!ReadFile(step.staged, content))
        return false;
    step.placed = FileGroup::writeOne(step.target.c_str(), content.bytes.data(), content.bytes.size(),
                                      step.file.access);
    return step.placed;
}

bool StagedFiles::undo(std::vector<Step>& steps, std::size_t count)
{
    bool undone = true;
    for (std::size_t i = count; i-- > 0;)
    {
        Step& step = steps[i];
        if (step.through)
        {
            if (step.placed && step.hasPrevious)
                undone = FileGroup::writeOne(step.target.c_str(), step.previous->bytes.data(),
                                             step.previous->bytes.size(), step.file.access) &&
                         undone;
            else if (step.placed && !step.existed)
                Fs::Remove(step.target);
            else if (step.placed)
                undone = false; // an old content too large to keep
            continue;
        }
        // The new file goes back into the staging folder: should this process die now, the next
        // run still finds every file of the commit staged or in place.
        // Where it cannot go back, the old file must not come back over it either: the new one would
        // be lost, and the journal could no longer finish the commit.
        if (step.placed && Fs::Rename(step.target, step.staged) != 0)
        {
            undone = false;
            continue;
        }
        step.placed = false;
        if (step.movedAside)
            undone = Fs::Rename(step.aside, step.target) == 0 && undone;
    }
    return undone;
}

StagedFiles::Finding StagedFiles::commit()
{
    std::vector<Step> steps;
    if (mStaging.empty())
        return Finding::FolderNotWritable;
    mUnsynced.reset();
    const Finding prepared = prepare(steps);
    if (prepared != Finding::Done)
        return prepared;
    if (!syncStaged(steps) || !writeJournal(steps))
        return Finding::JournalNotWritten;
    for (std::size_t i = 0; i < steps.size(); ++i)
    {
        if (place(steps[i]))
            continue;
        mFailedFile = steps[i].file.name;
        if (!undo(steps, i + 1))
        {
            mJournalKept = true;
            return Finding::PutBackFailed;
        }
        Fs::SyncFolder(mFolder);
        Fs::Remove(inFolder(kJournalName));
        Fs::SyncFolder(mFolder);
        return Finding::PlaceFailed;
    }
    mCommitted = true;
    finishCleanly();
    return Finding::Done;
}

void StagedFiles::finishCleanly()
{
    // Every rename on the disk before the journal goes; the old files aside go with the staging
    // folder before it, so that they are never left where no journal leads.
    Fs::SyncFolder(mFolder);
    RemoveTree(mStaging);
    mStaging.clear();
    Fs::Remove(inFolder(kJournalName));
    Fs::SyncFolder(mFolder);
}
