#pragma once

#include <cstddef>
#include <string>

// The few system calls the engine's writers are built of, one set per platform. Every call
// retries an interrupted system call and answers with the errno value of a failure (0 on
// success) or a plain bool, so that the writers read alike on every platform.
namespace FileSystemCalls
{

// Which file a descriptor or a name reaches: compared, never interpreted.
struct Identity
{
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const Identity& other) const { return device == other.device && inode == other.inode; }
    bool operator!=(const Identity& other) const { return !(*this == other); }
};

// What one name is, without following a link in its last component.
struct Entry
{
    bool exists = false;
    bool link = false;
    bool regular = false;
    unsigned mode = 0;       // permission bits
    unsigned long owner = 0; // user id (0 where the platform has none)
    unsigned long group = 0; // group id (0 where the platform has none)
    Identity identity;
};
// 0 with `entry.exists` false for a name that is not there; errno otherwise.
int Inspect(const std::string& name, Entry& entry);

// The link's text.
bool ReadLink(const std::string& name, std::string& text);

// Whether a link lying in `folder` and owned by `linkOwner` may be followed by this process:
// the kernel's fs.protected_symlinks rule, applied whatever the system's setting, because the
// writers follow links themselves and so would bypass the kernel's check.
bool MayFollowLinkIn(const std::string& folder, unsigned long linkOwner);

// Whether this process may write the existing file `name` (its effective ids, as opening would
// decide; a read-only file system counts as not).
bool MayWrite(const std::string& name);

// A new file, created exclusively (never through a link) with `mode` less the umask.
int CreateExclusive(const std::string& name, unsigned mode, int& fd);
// An existing regular file, never through a link in its last component; `write` for reading and
// writing (writing only where the file may not be read), else for reading. A pipe or a device is never
// opened: `expected` must match.
int OpenExisting(const std::string& name, bool write, const Identity& expected, int& fd);
Identity IdentityOf(int fd);

// Reads the whole file from its start; false on an error or beyond `limit` bytes.
bool ReadAll(int fd, std::string& out, std::size_t limit);
// Writes `size` bytes from the file's start.
bool WriteAt(int fd, const unsigned char* data, std::size_t size);
// Makes sure `size` bytes can be written without the device running out of room, without
// changing the content; true where the file system cannot tell in advance.
bool Reserve(int fd, std::size_t size);
bool Truncate(int fd, std::size_t size);
// The data on the device: a full disk or a failing device may only report here.
bool Sync(int fd);
bool Close(int fd);
bool SetMode(int fd, unsigned mode);
// Gives the file the group `group` (owner unchanged); false where that is not allowed.
bool SetGroup(int fd, unsigned long group);
// Replaces the whole content of the file `fd` (open for reading and writing) in place: room for
// the new content is made sure of first, so that a full disk leaves the old content as it was,
// and the old content (up to kLargestRestoredContent) is put back when writing fails half-way.
constexpr std::size_t kLargestRestoredContent = 16u << 20;
bool ReplaceContent(int fd, const unsigned char* data, std::size_t size);

// Exclusive lock of the whole file, waited for; released by Close.
bool Lock(int fd);
// The same lock, not waited for: 0 when taken, an error that Busy() names when another holds it.
int TryLock(int fd);

// A new folder with `mode` less the umask; errno.
int MakeFolder(const std::string& name, unsigned mode);

int Rename(const std::string& from, const std::string& to);
// A second name for `from`, failing when `to` exists; errno (ENOTSUP-like values where the file
// system has no links).
int LinkExclusive(const std::string& from, const std::string& to);
void Remove(const std::string& name);
// Makes a rename in `folder` durable; a file system that cannot is no failure.
void SyncFolder(const std::string& folder);

bool Denied(int error);  // the folder or file may not be written by this process
bool Exists(int error);  // the name is taken
bool NoLinks(int error); // the file system takes no second name
bool Missing(int error); // the name is not there
bool Busy(int error);    // another process holds the lock

// A seam for tests: `watcher` (null for none) is called before every rename with its source, so
// that a test can stop or kill the process at a chosen step of a commit, or make the step fail
// (the watcher's answer: 0 to go on, an errno value to fail with it).
using CallWatcher = int (*)(const char* call, const std::string& name);
void WatchCalls(CallWatcher watcher);

int ProcessId();

} // namespace FileSystemCalls
