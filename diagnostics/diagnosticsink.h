#pragma once

#include <cstdarg>
#include <cstddef>

// Where the developer diagnostic lines of the engine, the board layer, the core and the form go,
// and the engine's console prompt with them. By default standard output, where the window's lines
// have always been; a front end or a test points them elsewhere for as long as a
// DiagnosticRedirect lives, instead of moving file descriptors around. Safe on any thread: key
// generation runs on several.

// Writes `size` bytes at `text` (borrowed) for `context` (borrowed).
using DiagnosticWriter = void (*)(void* context, const char* text, std::size_t size);

// The text as given; nothing is added (the callers end their lines with a line feed).
void PrintDiagnostic(const char* text);
void PrintDiagnosticFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void PrintDiagnosticList(const char* format, std::va_list arguments);

// Points the sink at `writer` until destruction, then back at what it pointed at before; a null
// writer drops every line. Redirects nest and end in the reverse order of their making.
class DiagnosticRedirect
{
public:
    DiagnosticRedirect(DiagnosticWriter writer, void* context);
    ~DiagnosticRedirect();
    DiagnosticRedirect(const DiagnosticRedirect&) = delete;
    DiagnosticRedirect& operator=(const DiagnosticRedirect&) = delete;

    // The standard writers: `context` is the FILE* to write to (stdout, stderr).
    static void toStream(void* context, const char* text, std::size_t size);

private:
    DiagnosticWriter mPreviousWriter;
    void* mPreviousContext;
};
