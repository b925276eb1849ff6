// Emulation of the board-access library for machines without the boards.
//
// By default the machine carries one cryptographic board (serial number 2800001). The
// environment variable DAZAVO_SIMULATED_BOARDS replaces that set with a comma-separated list
// of serial numbers, one board per entry in index order; set but empty means no board at all.
// Random bytes come from the operating system's CSPRNG, which is what a hardware source is
// to the program: unpredictable bytes on request.

#include "dazavo.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#pragma comment(lib, "bcrypt.lib")
#else
#include <sys/random.h>
#endif

struct sv_handle
{
    int index;
    int serial;
};

namespace
{

constexpr int kDefaultSerial = 2800001;

std::vector<int> simulatedBoards()
{
    const char* list = std::getenv("DAZAVO_SIMULATED_BOARDS");
    if (list == nullptr)
        return {kDefaultSerial};

    std::vector<int> boards;
    const char* p = list;
    while (*p != '\0')
    {
        char* end = nullptr;
        errno = 0;
        const long serial = std::strtol(p, &end, 10);
        if (end != p && errno == 0)
            boards.push_back(static_cast<int>(serial));
        p = (end != p) ? end : p + 1;
        while (*p == ',' || *p == ' ')
            ++p;
    }
    return boards;
}

// "PCI,card:N" -> N; -1 for anything else.
int boardIndex(const char* setup)
{
    if (setup == nullptr)
        return -1;
    static const char kPrefix[] = "PCI,card:";
    if (std::strncmp(setup, kPrefix, sizeof kPrefix - 1) != 0)
        return -1;
    const char* digits = setup + sizeof kPrefix - 1;
    char* end = nullptr;
    const long index = std::strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || index < 0)
        return -1;
    return static_cast<int>(index);
}

sv_handle* openBoard(const char* setup)
{
    const int index = boardIndex(setup);
    const std::vector<int> boards = simulatedBoards();
    if (index < 0 || static_cast<size_t>(index) >= boards.size())
        return nullptr;
    return new sv_handle{index, boards[static_cast<size_t>(index)]};
}

bool systemRandom(unsigned char* buffer, size_t count)
{
#ifdef _WIN32
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, buffer, static_cast<ULONG>(count),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
#else
    while (count > 0)
    {
        const ssize_t got = getrandom(buffer, count, 0);
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        buffer += got;
        count -= static_cast<size_t>(got);
    }
    return true;
#endif
}

} // namespace

extern "C" int sv_openex(sv_handle** handle, const char* setup, int, int, int, int)
{
    if (handle == nullptr)
        return -1;
    *handle = openBoard(setup);
    return *handle != nullptr ? 0 : -1;
}

extern "C" int sv_query(sv_handle* handle, int code, int, int* value)
{
    if (handle == nullptr || value == nullptr || code != SV_QUERY_SERIALNUMBER)
        return -1;
    *value = handle->serial;
    return 0;
}

extern "C" int sv_close(sv_handle* handle)
{
    if (handle == nullptr)
        return -1;
    delete handle;
    return 0;
}

extern "C" sv_handle* sv_open(const char* setup)
{
    return openBoard(setup);
}

extern "C" int sv_random(sv_handle* handle, unsigned char* buffer, int count)
{
    if (handle == nullptr || buffer == nullptr || count < 0)
        return -1;
    return systemRandom(buffer, static_cast<size_t>(count)) ? 0 : -1;
}
