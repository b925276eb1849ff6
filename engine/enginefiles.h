#pragma once

#include "osslptr.h"

#include <cstddef>
#include <string>

// File access of the engine. Writers never leave a half-written target: the content goes to a
// temporary file beside the target and reaches the disk (every write, the sync and the close are
// checked), and replaces the target only then. A symbolic link is written through, to the file it
// leads to, where the kernel would follow it for this process (writetarget.h); a folder, a device,
// a pipe or a socket is never replaced, nor a file this process may not write. Inside a FileGroup
// (filegroup.h) a write is only prepared, and put in place with the group's other files. Readers
// accept regular files only, so that a directory, a pipe or a device gives a clean failure instead
// of an error deep inside OpenSSL or a hang.

enum class FileAccess
{
    Shared,   // the mode of the file replaced; a new file the usual 0666 less the umask
    OwnerOnly // holds a private key: 0600, whatever the file replaced allowed
};

// True when path now holds exactly size bytes of data (inside a FileGroup: when they are ready to
// be put in place). On failure an existing target is untouched. Where the target cannot be
// replaced (a folder that takes no new file, or a sticky folder that refuses to replace a file of
// another user) but may be written, it is written in place, as opening it for writing would: with
// room for the whole content made sure of first and the old content put back if writing fails.
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
