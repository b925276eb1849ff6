#include "terminationwatch.h"

#include <csignal>

namespace
{

volatile std::sig_atomic_t gRequested = 0;

#ifndef _WIN32
constexpr int kWatched[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction gPrevious[sizeof kWatched / sizeof kWatched[0]];

extern "C" void NoteSignal(int signal)
{
    // The one thing a handler may safely do here.
    gRequested = signal;
}
#endif

} // namespace

void TerminationWatch::start()
{
#ifndef _WIN32
    if (mWatching)
        return;
    gRequested = 0;
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the run stops where it looks at requested(), not in the
    // middle of a write.
    action.sa_flags = SA_RESTART;
    for (unsigned i = 0; i < sizeof kWatched / sizeof kWatched[0]; ++i)
        sigaction(kWatched[i], &action, &gPrevious[i]);
    mWatching = true;
#endif
}

TerminationWatch::~TerminationWatch()
{
    restore();
}

void TerminationWatch::restore()
{
#ifndef _WIN32
    if (mWatching)
        for (unsigned i = 0; i < sizeof kWatched / sizeof kWatched[0]; ++i)
            sigaction(kWatched[i], &gPrevious[i], nullptr);
    mWatching = false;
#endif
}

bool TerminationWatch::requested()
{
    return gRequested != 0;
}

void TerminationWatch::finish()
{
#ifndef _WIN32
    const int signal = gRequested;
    restore();
    gRequested = 0;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
#endif
}
