#include "writetarget.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace
{

namespace Fs = FileSystemCalls;

// As many links as the kernel follows in one lookup before it calls it a loop.
constexpr int kMostLinks = 40;

bool IsSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

bool IsAbsolute(const std::string& path)
{
#ifdef _WIN32
    return (path.size() > 1 && path[1] == ':') || (!path.empty() && IsSeparator(path[0]));
#else
    return !path.empty() && path[0] == '/';
#endif
}

// The folder part of a name, "." for a bare name; the root stays the root.
std::string FolderOf(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1]))
        --end;
    if (end == 0)
        return ".";
    while (end > 1 && IsSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

} // namespace

WriteTarget ResolveWriteTarget(const std::string& given)
{
    WriteTarget target;
    std::string current = given;
    for (int hops = 0;; ++hops)
    {
        Fs::Entry entry;
        if (Fs::Inspect(current, entry) != 0)
            return target;
        const std::string folder = FolderOf(current);
        if (!entry.link)
        {
            target.path = current;
            target.folder = folder;
            target.exists = entry.exists;
            target.mode = entry.mode;
            target.group = entry.group;
            target.identity = entry.identity;
            if (entry.exists && !entry.regular)
                target.finding = WriteTarget::Finding::NotAFile;
            else if (entry.exists && !Fs::MayWrite(current))
                target.finding = WriteTarget::Finding::ReadOnly;
            else
                target.finding = WriteTarget::Finding::Writable;
            return target;
        }
        if (hops >= kMostLinks)
        {
            target.finding = WriteTarget::Finding::LinkLoop;
            return target;
        }
        if (!Fs::MayFollowLinkIn(folder, entry.owner))
        {
            target.finding = WriteTarget::Finding::LinkRefused;
            return target;
        }
        std::string next;
        if (!Fs::ReadLink(current, next) || next.empty())
            return target;
        current = IsAbsolute(next) || folder == "." ? next : folder + "/" + next;
    }
}

std::string TemporaryNameIn(const std::string& folder, int attempt)
{
    // Process id, a counter and the clock make clashes unlikely; exclusive creation makes them
    // harmless. At most 40 characters, far below any file system's limit.
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char name[64];
    std::snprintf(name, sizeof name, ".tv%x-%x-%x-%d", static_cast<unsigned>(Fs::ProcessId()), counter++,
                  static_cast<unsigned>(static_cast<unsigned long long>(ticks) & 0xffffffu), attempt);
    return folder == "." ? std::string(name) : folder + "/" + name;
}
