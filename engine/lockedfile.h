#pragma once

#include "filesystemcalls.h"

#include <cstddef>
#include <string>

// A small file that processes read and rewrite in turn (the serial-number trace): each takes the
// file's exclusive lock, reads, writes in place and lets go, so that no two of them act on the
// same content. The file is written in place under the lock, never replaced by a rename, because
// a lock belongs to the file and a replaced file takes no lock with it. Links are followed under
// the same rules as every writer's (writetarget.h), and only a regular file is ever opened.
class LockedFile
{
public:
    enum class Outcome
    {
        Locked,      // open, locked and read: content() holds what it held
        Missing,     // no such file yet: create() can make it
        ReadOnly,    // read (and locked), but this process may not write it
        Unreadable,  // there, but this process may not read it, or reading failed
        LinkRefused, // reached through a link the kernel would not follow, or links in a loop
        NotAFile,    // a folder, a device, a pipe or a socket
        Unreachable  // the name cannot be looked at
    };
    enum class Creation
    {
        Created,      // made with its whole content, locked by nobody
        Taken,        // another process made it first: open() it again
        FolderDenied, // the folder takes no new file
        Failed        // the folder is full, read-only or missing
    };

    LockedFile() = default;
    // Closes the file, which lets go of the lock.
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens `path`, waits for its lock and reads at most `limit` bytes (tooLong() tells when
    // there were more).
    Outcome open(const std::string& path, std::size_t limit);
    const std::string& content() const { return mContent; }
    bool tooLong() const { return mTooLong; }

    // After Locked: the file's whole content replaced in place; on failure it keeps its content.
    bool replace(const std::string& content);
    // After Locked: the file taken away (a process waiting for its lock then opens the name again).
    bool remove();

    // After Missing: makes the file at once with its whole content, so that no process ever reads
    // it empty or half-written.
    Creation create(const std::string& content);

    void close();

private:
    std::string mPath; // after the links
    std::string mFolder;
    FileSystemCalls::Identity mIdentity;
    std::string mContent;
    bool mTooLong = false;
    int mFd = -1;
};
