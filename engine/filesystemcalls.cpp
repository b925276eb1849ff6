#include "filesystemcalls.h"

#include <openssl/crypto.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileSystemCalls
{

namespace
{

std::atomic<CallWatcher> gWatcher{nullptr};

int Watched(const char* call, const std::string& name)
{
    const CallWatcher watcher = gWatcher.load();
    return watcher == nullptr ? 0 : watcher(call, name);
}

} // namespace

void WatchCalls(CallWatcher watcher)
{
    gWatcher.store(watcher);
}

#ifdef _WIN32

namespace
{

std::wstring Widen(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

} // namespace

int Inspect(const std::string& name, Entry& entry)
{
    namespace fs = std::filesystem;
    entry = Entry();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(fs::u8path(name), error);
    if (status.type() == fs::file_type::not_found)
        return 0;
    if (error)
        return EIO;
    entry.exists = true;
    entry.link = fs::is_symlink(status);
    entry.regular = fs::is_regular_file(status);
    entry.mode = static_cast<unsigned>(status.permissions() & fs::perms::all);
    // The file's own identity, never the one a link leads to.
    const HANDLE handle =
        CreateFileW(Widen(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
    {
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(handle, &info))
            entry.identity = {info.dwVolumeSerialNumber,
                              (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) |
                                  info.nFileIndexLow};
        CloseHandle(handle);
    }
    return 0;
}

bool ReadLink(const std::string& name, std::string& text)
{
    std::error_code error;
    text = std::filesystem::read_symlink(std::filesystem::u8path(name), error).u8string();
    return !error;
}

bool MayFollowLinkIn(const std::string&, unsigned long)
{
    // No sticky folders shared between users: every link may be followed.
    return true;
}

bool MayWrite(const std::string& name)
{
    return _waccess(Widen(name).c_str(), 2) == 0;
}

int CreateExclusive(const std::string& name, unsigned, int& fd)
{
    // Windows has no owner-only mode bits; files in the user's folders inherit its ACL.
    fd = -1;
    return _wsopen_s(&fd, Widen(name).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO,
                     _S_IREAD | _S_IWRITE);
}

int OpenExisting(const std::string& name, bool write, const Identity& expected, int& fd)
{
    fd = -1;
    const int error =
        _wsopen_s(&fd, Widen(name).c_str(), (write ? _O_RDWR : _O_RDONLY) | _O_BINARY, _SH_DENYNO, 0);
    if (error != 0)
        return error;
    if (IdentityOf(fd) != expected)
    {
        _close(fd);
        fd = -1;
        return EINVAL;
    }
    return 0;
}

Identity IdentityOf(int fd)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(HandleOf(fd), &info))
        return Identity();
    Identity identity;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return identity;
}

bool ReadAll(int fd, std::string& out, std::size_t limit)
{
    out.clear();
    if (_lseeki64(fd, 0, SEEK_SET) != 0)
        return false;
    char chunk[4096];
    for (;;)
    {
        const int got = _read(fd, chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(chunk, static_cast<std::size_t>(got));
        if (out.size() > limit)
            return false;
    }
}

bool WriteAt(int fd, const unsigned char* data, std::size_t size)
{
    if (_lseeki64(fd, 0, SEEK_SET) != 0)
        return false;
    while (size > 0)
    {
        const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
        const int written = _write(fd, data, chunk);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool Reserve(int, std::size_t)
{
    return true;
}

bool Truncate(int fd, std::size_t size)
{
    return _chsize_s(fd, static_cast<long long>(size)) == 0;
}

bool Sync(int fd)
{
    return _commit(fd) == 0;
}

bool Close(int fd)
{
    return _close(fd) == 0;
}

bool SetMode(int, unsigned)
{
    return true;
}

bool SetGroup(int, unsigned long)
{
    return true;
}

bool Lock(int fd)
{
    OVERLAPPED whole = {};
    return LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

int TryLock(int fd)
{
    OVERLAPPED whole = {};
    if (LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole))
        return 0;
    return GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : EIO;
}

int MakeFolder(const std::string& name, unsigned)
{
    return _wmkdir(Widen(name).c_str()) == 0 ? 0 : errno;
}

int Rename(const std::string& from, const std::string& to)
{
    if (const int injected = Watched("rename", from))
        return injected;
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : EACCES;
}

int LinkExclusive(const std::string& from, const std::string& to)
{
    return CreateHardLinkW(Widen(to).c_str(), Widen(from).c_str(), nullptr) ? 0
           : GetLastError() == ERROR_ALREADY_EXISTS                         ? EEXIST
                                                                            : ENOTSUP;
}

void Remove(const std::string& name)
{
    _wremove(Widen(name).c_str());
}

void SyncFolder(const std::string&) {}

int ProcessId()
{
    return static_cast<int>(GetCurrentProcessId());
}

#else

int Inspect(const std::string& name, Entry& entry)
{
    entry = Entry();
    struct stat info;
    if (::lstat(name.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    entry.exists = true;
    entry.link = S_ISLNK(info.st_mode);
    entry.regular = S_ISREG(info.st_mode);
    entry.mode = static_cast<unsigned>(info.st_mode & 07777);
    entry.owner = info.st_uid;
    entry.group = info.st_gid;
    entry.identity = {static_cast<unsigned long long>(info.st_dev),
                      static_cast<unsigned long long>(info.st_ino)};
    return 0;
}

bool ReadLink(const std::string& name, std::string& text)
{
    std::string buffer(256, '\0');
    for (;;)
    {
        const ssize_t length = ::readlink(name.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size())
        {
            text.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        if (buffer.size() > 65536)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool MayFollowLinkIn(const std::string& folder, unsigned long linkOwner)
{
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    const bool shared = (info.st_mode & S_ISVTX) != 0 && (info.st_mode & S_IWOTH) != 0;
    return !shared || linkOwner == ::geteuid() || linkOwner == info.st_uid;
}

bool MayWrite(const std::string& name)
{
    return ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0;
}

int CreateExclusive(const std::string& name, unsigned mode, int& fd)
{
    do
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                    static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? errno : 0;
}

int OpenExisting(const std::string& name, bool write, const Identity& expected, int& fd)
{
    // Not blocking: a pipe put in the file's place must not hang the open.
    const int flags = (write ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    do
        fd = ::open(name.c_str(), flags);
    while (fd < 0 && errno == EINTR);
    // A file that may be written but not read is still written.
    if (fd < 0 && errno == EACCES && write)
        do
            fd = ::open(name.c_str(), (flags & ~O_RDWR) | O_WRONLY);
        while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || IdentityOf(fd) != expected)
    {
        ::close(fd);
        fd = -1;
        return EINVAL;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return 0;
}

Identity IdentityOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return Identity();
    return {static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

bool ReadAll(int fd, std::string& out, std::size_t limit)
{
    out.clear();
    char chunk[4096];
    for (;;)
    {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(out.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(chunk, static_cast<std::size_t>(got));
        if (out.size() > limit)
            return false;
    }
}

bool WriteAt(int fd, const unsigned char* data, std::size_t size)
{
    off_t offset = 0;
    while (size > 0)
    {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        offset += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool Reserve(int fd, std::size_t size)
{
#ifdef __linux__
    if (size == 0)
        return true;
    int result;
    do
        result = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
    while (result != 0 && errno == EINTR);
    return result == 0 || errno == EOPNOTSUPP || errno == ENOSYS;
#else
    (void)fd;
    (void)size;
    return true;
#endif
}

bool Truncate(int fd, std::size_t size)
{
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool Sync(int fd)
{
    return ::fsync(fd) == 0;
}

bool Close(int fd)
{
    // Linux releases the descriptor even when close reports an error: never close it twice.
    return ::close(fd) == 0 || errno == EINTR;
}

bool SetMode(int fd, unsigned mode)
{
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

bool SetGroup(int fd, unsigned long group)
{
    return ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) == 0;
}

bool Lock(int fd)
{
    int result;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

int TryLock(int fd)
{
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

int MakeFolder(const std::string& name, unsigned mode)
{
    return ::mkdir(name.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int Rename(const std::string& from, const std::string& to)
{
    if (const int injected = Watched("rename", from))
        return injected;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int LinkExclusive(const std::string& from, const std::string& to)
{
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void Remove(const std::string& name)
{
    ::unlink(name.c_str());
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

int ProcessId()
{
    return static_cast<int>(::getpid());
}

#endif

bool ReplaceContent(int fd, const unsigned char* data, std::size_t size)
{
    std::string old;
    const bool haveOld = ReadAll(fd, old, kLargestRestoredContent);
    const auto wipe = [&old]
    {
        if (!old.empty())
            OPENSSL_cleanse(&old[0], old.size());
    };
    if (!Reserve(fd, size))
    {
        wipe();
        return false;
    }
    if (WriteAt(fd, data, size) && Truncate(fd, size) && Sync(fd))
    {
        wipe();
        return true;
    }
    if (haveOld && WriteAt(fd, reinterpret_cast<const unsigned char*>(old.data()), old.size()))
    {
        Truncate(fd, old.size());
        Sync(fd);
    }
    wipe();
    return false;
}

bool Denied(int error)
{
    return error == EACCES || error == EPERM;
}

bool Exists(int error)
{
    return error == EEXIST;
}

bool NoLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EXDEV || error == EMLINK;
}

bool Missing(int error)
{
    return error == ENOENT;
}

bool Busy(int error)
{
    return error == EWOULDBLOCK || error == EAGAIN;
}

} // namespace FileSystemCalls
