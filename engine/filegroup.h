#pragma once

#include "enginefiles.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Files written together: all of them or none. While a group is open on a thread, every writer
// of the engine on that thread (WriteFileAtomically and the OpenSSLUtil and ZIDCertificate
// writers built on it) only prepares its file: the whole content goes into a temporary file
// beside the target and reaches the disk, and the writer reports whether that worked. Nothing a
// user sees changes until commit(), which puts the files in place in the order they were
// written and, when one cannot be put in place, gives the ones before it their old content back.
// A group that is not committed leaves nothing behind.
//
// Used where one result is several files (a certificate and its key container): a full disk or a
// refused file then never leaves half a result beside an old one.
class FileGroup
{
public:
    FileGroup();
    // Removes the temporary files of a group not committed.
    ~FileGroup();
    FileGroup(const FileGroup&) = delete;
    FileGroup& operator=(const FileGroup&) = delete;

    // The group open on this thread, or null.
    static FileGroup* current();

    // Puts every prepared file in place. False when one could not be: then every target holds
    // what it held before the group (failedFile() says which one stopped it). The group is
    // closed afterwards either way: later writes on this thread are written at once again.
    bool commit();
    // The position, in the order of writing, of the file that stopped commit(); -1 when none did.
    int failedFile() const { return mFailed; }

    // One file's preparation, for the writers (WriteFileAtomically). The content is copied.
    bool prepare(const char* path, const void* data, std::size_t size, FileAccess access);

    // One file written at once, outside any group: prepared and put in place.
    static bool writeOne(const char* path, const void* data, std::size_t size, FileAccess access);

private:
    struct Pending;
    explicit FileGroup(bool open);
    void close();
    void discard();
    bool place(Pending& file);
    static void undo(Pending& file);

    std::vector<std::unique_ptr<Pending>> mFiles;
    FileGroup* mOuter = nullptr;
    bool mOpen = false;
    int mFailed = -1;
};

// While one is alive on a thread, the engine's writes on that thread into `folder` leave out their
// syncs (the file's and the folder's), so that the one who opened it can bring every file of the
// folder to the disk at once instead of one after the other. Whoever opens it syncs those files
// before relying on them: until then they may be lost to a crash. For private folders only (the
// staging folder of StagedFiles), whose files nobody takes for finished before that.
class UnsyncedWrites
{
public:
    explicit UnsyncedWrites(std::string folder);
    // On the thread that made it.
    ~UnsyncedWrites();
    UnsyncedWrites(const UnsyncedWrites&) = delete;
    UnsyncedWrites& operator=(const UnsyncedWrites&) = delete;

    // Whether writes into `folder` leave out their syncs on this thread now.
    static bool covers(const std::string& folder);

private:
    std::string mFolder;
    UnsyncedWrites* mOuter = nullptr;
};
