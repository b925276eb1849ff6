#include "noconsole.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

StdinReplacement::StdinReplacement(int fd) : mSaved(::dup(STDIN_FILENO))
{
    ::dup2(fd, STDIN_FILENO);
}

StdinReplacement::~StdinReplacement()
{
    if (mSaved >= 0)
    {
        ::dup2(mSaved, STDIN_FILENO);
        ::close(mSaved);
    }
}

NoConsole::NoConsole() : mNull(::open("/dev/null", O_RDONLY)), mReplacement(mNull) {}

NoConsole::~NoConsole()
{
    // Standard input holds its own copy of the descriptor until mReplacement puts it back.
    if (mNull >= 0)
        ::close(mNull);
}

bool NoConsole::forTheWholeRun()
{
    return std::freopen("/dev/null", "r", stdin) != nullptr;
}
