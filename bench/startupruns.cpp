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

bool runStartupProbe(const std::string& program, const std::string& stage, const std::string& folder,
                     StartupRun& result)
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
    if (chdir(folder.c_str()) != 0)
        return false;

    char* const argv[] = {const_cast<char*>(program.c_str()), stage.empty() ? nullptr : const_cast<char*>(stage.c_str()),
                          nullptr};
    pid_t child = 0;
    const auto spawned = std::chrono::steady_clock::now();
    const int status = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (chdir(previous.c_str()) != 0 || status != 0)
    {
        close(output[0]);
        return false;
    }

    std::string text;
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(output[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    close(output[0]);

    int exitStatus = 0;
    struct rusage usage = {};
    if (wait4(child, &exitStatus, 0, &usage) != child || !WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0)
        return false;

    // The board layer prints its own lines first; the probe's report is the last line.
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const long long paintedAt = std::atoll(text.c_str() + (text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1));
    if (paintedAt <= 0)
        return false;
    const long long spawnedAt =
        std::chrono::duration_cast<std::chrono::nanoseconds>(spawned.time_since_epoch()).count();
    result.secondsToFirstPaint = static_cast<double>(paintedAt - spawnedAt) / 1e9;
    result.peakResidentKiB = usage.ru_maxrss;
    return true;
}
#endif
