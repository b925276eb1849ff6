#include "enginefiles.h"

#include <openssl/bio.h>

#include <atomic>
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
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

// A name beside the target that no other writer uses: process id, a counter and the clock make
// clashes unlikely, and exclusive creation makes them harmless.
std::string TemporaryNameFor(const char* path, int attempt)
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
    return std::string(path) + suffix;
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

int CreateExclusive(const std::string& name, FileAccess)
{
    // Windows has no owner-only mode bits; files in the user's folders inherit its ACL.
    int fd = -1;
    if (_wsopen_s(&fd, Widen(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
                  _S_IREAD | _S_IWRITE) != 0)
        return -1;
    return fd;
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

bool ReplaceFile(const std::string& from, const char* to)
{
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

int CreateExclusive(const std::string& name, FileAccess access)
{
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
    int fd;
    do
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
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

bool ReplaceFile(const std::string& from, const char* to)
{
    return ::rename(from.c_str(), to) == 0;
}

#endif

} // namespace

bool WriteFileAtomically(const char* path, const void* data, std::size_t size, FileAccess access)
{
    if (path == nullptr || *path == '\0' || (data == nullptr && size > 0))
        return false;

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt)
    {
        temporary = TemporaryNameFor(path, attempt);
        fd = CreateExclusive(temporary, access);
#ifndef _WIN32
        if (fd < 0 && errno != EEXIST)
            break;
#endif
    }
    if (fd < 0)
        return false;

    const bool written = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    const bool closed = CloseFile(fd);
    if (!written || !closed || !ReplaceFile(temporary, path))
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
