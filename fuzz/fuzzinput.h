#pragma once

// What every fuzz target shares: the engine's readers take a path, so each input is written to a
// file of this process's own first and then read from there, as the program would.

#include <openssl/err.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "engineinit.h"

namespace FuzzInput
{

// The file the inputs go to, in a folder made for this process (several fuzzing jobs may share
// a machine), removed at exit.
class InputFile
{
public:
    InputFile()
    {
        const char* base = std::getenv("TMPDIR");
        mFolder = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/talvane-fuzz-XXXXXX";
        if (mkdtemp(mFolder.data()) == nullptr)
            std::abort();
        mPath = mFolder + "/input";
    }
    ~InputFile()
    {
        std::remove(mPath.c_str());
        rmdir(mFolder.c_str());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const char* path() const { return mPath.c_str(); }

private:
    std::string mFolder;
    std::string mPath;
};

inline const char* Path()
{
    static const InputFile file;
    return file.path();
}

// Replaces the file's content with the input.
inline void Write(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(Path(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    if (std::fclose(file) != 0)
        std::abort();
}

// An engine call must never leave anything in OpenSSL's error queue, whatever it was fed.
inline void RequireEmptyErrorQueue()
{
    if (ERR_peek_error() != 0)
        __builtin_trap();
}

// A failed read must leave its outputs empty; a broken promise is a finding like a crash.
inline void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace FuzzInput

// Once per process, before the first input: the engine's one-time set-up (providers, string
// mask) is not counted against the first input by the leak check. The readers print a
// diagnostic for nearly every input; libFuzzer reports on standard error, so standard output
// goes to /dev/null.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    EnsureEngineInitialised();
    FuzzInput::Path();
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
    return 0;
}
