#pragma once

#include "filesystemcalls.h"

#include <string>

// The file a write to a name reaches, found the way the kernel would find it for this process:
// symbolic links are followed (a link is written through, to the file it leads to) except where
// the kernel's protected-symlinks rule forbids it, in a world-writable sticky folder where the
// link belongs neither to this process nor to the folder's owner. A link planted there by
// another user thus never turns a write into a write of whatever file the link names.
struct WriteTarget
{
    enum class Finding
    {
        Writable,    // a regular file this process may write, or a name not taken yet
        LinkRefused, // a link the kernel would not follow for this process
        LinkLoop,    // links that lead round in a loop, or too many of them
        NotAFile,    // a folder, a device, a pipe or a socket: never replaced
        ReadOnly,    // an existing file this process may not write, whatever the folder allows
        Unreachable  // the name cannot be looked at (a folder on the way is missing or closed)
    };

    Finding finding = Finding::Unreachable;
    std::string path;   // after the links, when Writable
    std::string folder; // the folder that holds `path`
    bool exists = false;
    unsigned mode = 0;       // permission bits of the existing file
    unsigned long group = 0; // and its group
    FileSystemCalls::Identity identity;

    bool writable() const { return finding == Finding::Writable; }
};

WriteTarget ResolveWriteTarget(const std::string& given);

// A short name in `folder` for a new file of this process: short whatever the target's name, so
// that a target whose name is as long as the file system allows still gets a temporary beside it.
std::string TemporaryNameIn(const std::string& folder, int attempt);
