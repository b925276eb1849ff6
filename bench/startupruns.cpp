#include "startupruns.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
bool runStartupProbe(const std::string&, const std::string&, const std::string&, StartupRun&)
{
    // The probes rely on fork/wait4 for the child's peak memory; measured on Linux only.
    return false;
}
#else
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

struct SpawnedProbe
{
    pid_t child = 0;
    int output = -1; // the reading end of the probe's standard output
    std::chrono::steady_clock::time_point at;
};

// Starts `program` in `folder` with its standard output into a pipe, and comes back to the
// current folder.
bool spawnProbe(const std::string& program, const std::string& stage, const std::string& folder,
                SpawnedProbe& spawned)
{
    int output[2];
    if (pipe(output) != 0)
        return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);

    // The probe runs where the program would: its trace file lives in the working directory.
    const std::string previous = [] {
        char buffer[4096];
        return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string(".");
    }();
    int status = -1;
    if (chdir(folder.c_str()) == 0)
    {
        char* const argv[] = {const_cast<char*>(program.c_str()),
                              stage.empty() ? nullptr : const_cast<char*>(stage.c_str()), nullptr};
        spawned.at = std::chrono::steady_clock::now();
        status = posix_spawn(&spawned.child, program.c_str(), &actions, nullptr, argv, environ);
        if (chdir(previous.c_str()) != 0)
            status = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (status != 0)
    {
        close(output[0]);
        return false;
    }
    spawned.output = output[0];
    return true;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

// The board layer prints its own lines first; the probe's report is the last line.
long long lastLineNumber(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const size_t newline = text.rfind('\n');
    return std::atoll(text.c_str() + (newline == std::string::npos ? 0 : newline + 1));
}

} // namespace

bool runStartupProbe(const std::string& program, const std::string& stage, const std::string& folder,
                     StartupRun& result)
{
    SpawnedProbe spawned;
    if (!spawnProbe(program, stage, folder, spawned))
        return false;
    const std::string text = readAll(spawned.output);
    close(spawned.output);

    int exitStatus = 0;
    struct rusage usage = {};
    if (wait4(spawned.child, &exitStatus, 0, &usage) != spawned.child || !WIFEXITED(exitStatus) ||
        WEXITSTATUS(exitStatus) != 0)
        return false;

    const long long paintedAt = lastLineNumber(text);
    if (paintedAt <= 0)
        return false;
    const long long spawnedAt =
        std::chrono::duration_cast<std::chrono::nanoseconds>(spawned.at.time_since_epoch()).count();
    result.secondsToFirstPaint = static_cast<double>(paintedAt - spawnedAt) / 1e9;
    result.peakResidentKiB = usage.ru_maxrss;
    return true;
}
#endif
