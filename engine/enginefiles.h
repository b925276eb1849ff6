#pragma once

#include "osslptr.h"

#include <cstddef>
#include <string>

// File access of the engine. Writers never leave a half-written target: the content goes to a
// temporary file beside the target, which replaces the target only once it is complete and
// flushed. A symbolic link is written through, to the file it leads to. Readers accept regular
// files only, so that a directory, a pipe or a device gives a clean failure instead of an error
// deep inside OpenSSL or a hang.

enum class FileAccess
{
    Shared,   // the mode of the file replaced; a new file the usual 0666 less the umask
    OwnerOnly // holds a private key: 0600, whatever the file replaced allowed
};

// True when path now holds exactly size bytes of data. On failure an existing target is untouched,
// except in one case: a writable file in a folder that may not be written is written in place,
// as opening it for writing would, and only a failing device can leave it half-written then.
bool WriteFileAtomically(const char* path, const void* data, std::size_t size, FileAccess access);

// Writes everything that was written into a memory BIO.
bool WriteMemoryBioAtomically(const char* path, BIO* memory, FileAccess access);

// A read BIO on a regular file, or null.
BioPtr OpenFileForReading(const char* path);

// Outcome of reading a whole file into memory.
enum class ReadOutcome
{
    Ok,
    NoMemory,
    ReadError
};
ReadOutcome ReadWholeFile(BIO* file, std::string* out);
