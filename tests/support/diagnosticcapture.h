#pragma once

#include "diagnosticsink.h"

#include <QByteArray>

#include <mutex>

// Captures the diagnostic lines (and the engine's console prompt) that the code under test prints,
// by pointing the diagnostic sink at a buffer until destruction. What was not taken is passed on
// to standard output then.
class DiagnosticCapture
{
public:
    DiagnosticCapture();
    ~DiagnosticCapture();
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    // Everything printed since construction (or the previous take); capturing goes on.
    QByteArray take();

private:
    static void collect(void* context, const char* text, std::size_t size);

    std::mutex mMutex; // lines may come from the key generation threads
    QByteArray mCaptured;
    DiagnosticRedirect mRedirect; // made last, undone first
};
