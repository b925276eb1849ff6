#pragma once

// Prints one developer diagnostic line (a printf format, the text given in full including its
// "Class::Operation(): " prefix) on standard output, and drains OpenSSL's error queue so that
// the cause of this failure never shows up as a stale error in a later call.
void Diagnose(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Placed at the top of every engine entry point: whatever the way out, the OpenSSL error queue
// is empty afterwards (OpenSSL leaves errors behind even on success, e.g. after probing a file
// for a second kind of PEM block).
class ErrorQueueScope
{
public:
    ErrorQueueScope() = default;
    ~ErrorQueueScope();
    ErrorQueueScope(const ErrorQueueScope&) = delete;
    ErrorQueueScope& operator=(const ErrorQueueScope&) = delete;
};
