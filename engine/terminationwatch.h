#pragma once

// A request to stop (SIGTERM, SIGINT, SIGHUP) held back while a run has files of its own to take
// away: the handler only notes the signal, the run looks at requested() where it can stop, cleans
// up on its way out, and then finish() ends the process by the same signal, so that whoever sent
// it sees the process stop the way it asked. Where the platform has no such signals, nothing is
// watched.
class TerminationWatch
{
public:
    TerminationWatch() = default;
    // Puts the handlers found back (without ending the process).
    ~TerminationWatch();
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

    // From here on the signals are only noted.
    void start();
    static bool requested();
    // Puts the handlers back and, when a signal came, raises it again with its default action.
    void finish();

private:
    void restore();
    bool mWatching = false;
};
