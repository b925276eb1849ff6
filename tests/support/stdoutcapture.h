#pragma once

#include <QByteArray>

// Captures what the code under test prints on standard output (printf diagnostics) by
// pointing file descriptor 1 at a temporary file until destruction. What was not taken is
// passed on to the real standard output then.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything printed since construction (or the previous take); capturing goes on.
    QByteArray take();

private:
    void restore();

    int mSavedFd = -1;
    int mFileFd = -1;
    long long mConsumed = 0;
};
