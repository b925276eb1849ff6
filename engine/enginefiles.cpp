#include "enginefiles.h"

#include <openssl/bio.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

namespace fs = std::filesystem;

// As many links as the kernel follows in one lookup before it calls it a loop.
constexpr int kMostLinks = 40;

// What the write replaces, once the links that name it are followed.
struct Target
{
    std::string path; // empty when the links lead round in a loop
    bool exists = false;
    bool regular = false;
    unsigned mode = 0; // permission bits of the existing file
};

Target Inspect(const char* given)
{
    Target target;
    fs::path current = fs::u8path(given);
    std::error_code error;
    int hops = 0;
    while (fs::is_symlink(current, error))
    {
        const fs::path next = fs::read_symlink(current, error);
        if (error || ++hops > kMostLinks)
            return target;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    target.path = current.u8string();
    const fs::file_status status = fs::status(current, error);
    target.exists = fs::exists(status);
    target.regular = fs::is_regular_file(status);
    target.mode = static_cast<unsigned>(status.permissions() & fs::perms::all);
    return target;
}

// A name beside the target that no other writer uses: process id, a counter and the clock make
// clashes unlikely, and exclusive creation makes them harmless.
std::string TemporaryNameFor(const std::string& path, int attempt)
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, ".~%lx-%x-%llx-%d", process, counter++,
                  static_cast<unsigned long long>(ticks) & 0xffffffffULL, attempt);
    return path + suffix;
}

#ifdef _WIN32

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

// The errno value of a failure, 0 on success.
int CreateExclusive(const std::string& name, unsigned, int& fd)
{
    // Windows has no owner-only mode bits; files in the user's folders inherit its ACL.
    fd = -1;
    return _wsopen_s(&fd, Widen(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
                     _S_IREAD | _S_IWRITE);
}

int OpenExisting(const std::string& name)
{
    int fd = -1;
    if (_wsopen_s(&fd, Widen(name).c_str(), _O_WRONLY | _O_BINARY, _SH_DENYRW, 0) != 0)
        return -1;
    return fd;
}

bool SetMode(int, unsigned)
{
    return true;
}

bool Truncate(int fd)
{
    return _chsize_s(fd, 0) == 0;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0)
    {
        const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
        const int written = _write(fd, data, chunk);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return _commit(fd) == 0;
}

bool CloseFile(int fd)
{
    return _close(fd) == 0;
}

void RemoveFile(const std::string& name)
{
    _wremove(Widen(name).c_str());
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

int CreateExclusive(const std::string& name, unsigned mode, int& fd)
{
    do
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? errno : 0;
}

int OpenExisting(const std::string& name)
{
    int fd;
    do
        fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool SetMode(int fd, unsigned mode)
{
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

bool Truncate(int fd)
{
    return ::ftruncate(fd, 0) == 0;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    // A full disk or a failing device may only report at this point.
    return ::fsync(fd) == 0;
}

bool CloseFile(int fd)
{
    return ::close(fd) == 0;
}

void RemoveFile(const std::string& name)
{
    ::unlink(name.c_str());
}

bool ReplaceFile(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

#endif

// A new file beside the target for the content, or -1; `denied` tells when the folder may not
// be written (rather than being full, read-only or missing).
int CreateTemporaryBeside(const Target& target, FileAccess access, std::string& temporary, bool& denied)
{
    // A key never sits in a file others can read; nor does a replacement before it gets the mode
    // of the file it replaces.
    const unsigned mode = access == FileAccess::OwnerOnly || target.exists ? 0600 : 0666;
    for (int attempt = 0; attempt < 16; ++attempt)
    {
        temporary = TemporaryNameFor(target.path, attempt);
        int fd = -1;
        const int error = CreateExclusive(temporary, mode, fd);
        if (fd >= 0)
            return fd;
        if (error != EEXIST)
        {
            denied = error == EACCES || error == EPERM;
            return -1;
        }
    }
    return -1;
}

// For a writable file in a folder that is not: the one way left, as opening the file for writing
// would. The content is complete in memory, so only a failing device can leave it half-written.
bool WriteInPlace(const Target& target, const unsigned char* data, std::size_t size, FileAccess access)
{
    const int fd = OpenExisting(target.path);
    if (fd < 0)
        return false;
    // The mode goes first, so that the key is never readable by others, not even for a moment.
    const bool written =
        (access == FileAccess::Shared || SetMode(fd, 0600)) && Truncate(fd) && WriteAll(fd, data, size);
    return CloseFile(fd) && written;
}

} // namespace

bool WriteFileAtomically(const char* path, const void* data, std::size_t size, FileAccess access)
{
    if (path == nullptr || *path == '\0' || (data == nullptr && size > 0))
        return false;
    const Target target = Inspect(path);
    // Only a file is replaced: never a folder, a device or a pipe.
    if (target.path.empty() || (target.exists && !target.regular))
        return false;

    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string temporary;
    bool denied = false;
    const int fd = CreateTemporaryBeside(target, access, temporary, denied);
    if (fd < 0)
        return denied && target.exists && WriteInPlace(target, bytes, size, access);

    // A certificate keeps the mode of the file it replaces; a key stays owner-only.
    const bool moded = access == FileAccess::OwnerOnly || !target.exists || SetMode(fd, target.mode);
    const bool written = moded && WriteAll(fd, bytes, size);
    const bool closed = CloseFile(fd);
    if (!written || !closed || !ReplaceFile(temporary, target.path))
    {
        RemoveFile(temporary);
        return false;
    }
    return true;
}

bool WriteMemoryBioAtomically(const char* path, BIO* memory, FileAccess access)
{
    if (memory == nullptr || BIO_flush(memory) != 1)
        return false;
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    if (size < 0)
        return false;
    return WriteFileAtomically(path, data, static_cast<std::size_t>(size), access);
}

BioPtr OpenFileForReading(const char* path)
{
    if (path == nullptr || *path == '\0')
        return nullptr;
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), error))
        return nullptr;
    return BioPtr(BIO_new_file(path, "rb"));
}

ReadOutcome ReadWholeFile(BIO* file, std::string* out)
{
    out->clear();
    char chunk[16384];
    for (;;)
    {
        const int got = BIO_read(file, chunk, sizeof chunk);
        if (got > 0)
        {
            try
            {
                out->append(chunk, static_cast<std::size_t>(got));
            }
            catch (const std::bad_alloc&)
            {
                out->clear();
                return ReadOutcome::NoMemory;
            }
            continue;
        }
        // 0 with end of file set is the normal end; anything else is an error of the stream.
        return BIO_eof(file) ? ReadOutcome::Ok : ReadOutcome::ReadError;
    }
}
