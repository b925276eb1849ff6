#include "fakedazavo.h"

#include "dazavo.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

struct sv_handle
{
    int index;
    bool fromEnumeration;
};

namespace
{

struct State
{
    std::vector<FakeDazavo::Board> boards{FakeDazavo::Board{}};
    bool openFails = false;
    bool randomFails = false;
    int openHandles = 0;
    int lastRandomCount = 0;
    std::vector<std::string> calls;
};

State& state()
{
    static State s;
    return s;
}

int indexOf(const char* setup)
{
    int index = -1;
    if (setup == nullptr || std::sscanf(setup, "PCI,card:%d", &index) != 1)
        return -1;
    return index;
}

std::string format(const char* pattern, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, args);
    va_end(args);
    return buffer;
}

} // namespace

namespace FakeDazavo
{

void reset(std::vector<Board> boards)
{
    state() = State{};
    state().boards = std::move(boards);
}

void setOpenFails(bool fails) { state().openFails = fails; }
void setRandomFails(bool fails) { state().randomFails = fails; }
int openHandles() { return state().openHandles; }
int lastRandomCount() { return state().lastRandomCount; }
const std::vector<std::string>& calls() { return state().calls; }

} // namespace FakeDazavo

extern "C" int sv_openex(sv_handle** handle, const char* setup, int mode, int flags, int reserved1, int reserved2)
{
    state().calls.push_back(format("sv_openex %s %d %d %d %d", setup, mode, flags, reserved1, reserved2));
    const int index = indexOf(setup);
    if (handle == nullptr || index < 0 || static_cast<size_t>(index) >= state().boards.size())
        return 1;
    *handle = new sv_handle{index, true};
    ++state().openHandles;
    return 0;
}

extern "C" int sv_query(sv_handle* handle, int code, int parameter, int* value)
{
    state().calls.push_back(format("sv_query %d %d %d", handle ? handle->index : -1, code, parameter));
    if (handle == nullptr || value == nullptr || code != SV_QUERY_SERIALNUMBER)
        return 1;
    const FakeDazavo::Board& board = state().boards[static_cast<size_t>(handle->index)];
    if (board.queryFails)
        return 1;
    *value = board.serial;
    return 0;
}

extern "C" int sv_close(sv_handle* handle)
{
    state().calls.push_back(format("sv_close %d", handle ? handle->index : -1));
    if (handle == nullptr)
        return 1;
    const bool fails = handle->fromEnumeration && state().boards[static_cast<size_t>(handle->index)].closeFails;
    delete handle;
    --state().openHandles;
    return fails ? 1 : 0;
}

extern "C" sv_handle* sv_open(const char* setup)
{
    state().calls.push_back(format("sv_open %s", setup));
    const int index = indexOf(setup);
    if (state().openFails || index < 0 || static_cast<size_t>(index) >= state().boards.size())
        return nullptr;
    ++state().openHandles;
    return new sv_handle{index, false};
}

extern "C" int sv_random(sv_handle* handle, unsigned char* buffer, int count)
{
    state().calls.push_back(format("sv_random %d %d", handle ? handle->index : -1, count));
    if (handle == nullptr || buffer == nullptr || state().randomFails)
        return 1;
    for (int i = 0; i < count; ++i)
        buffer[i] = static_cast<unsigned char>(i * 37 + 11);
    state().lastRandomCount = count;
    return 0;
}
