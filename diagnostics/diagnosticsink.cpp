#include "diagnosticsink.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace
{

struct Sink
{
    std::mutex mutex;
    DiagnosticWriter writer = &DiagnosticRedirect::toStream;
    void* context = stdout;
};

Sink& sink()
{
    static Sink instance;
    return instance;
}

void write(const char* text, std::size_t size)
{
    Sink& target = sink();
    const std::lock_guard<std::mutex> lock(target.mutex);
    if (target.writer != nullptr)
        target.writer(target.context, text, size);
}

} // namespace

void PrintDiagnostic(const char* text)
{
    if (text != nullptr)
        write(text, std::char_traits<char>::length(text));
}

void PrintDiagnosticFormat(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    PrintDiagnosticList(format, arguments);
    va_end(arguments);
}

void PrintDiagnosticList(const char* format, std::va_list arguments)
{
    std::va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0)
        return;
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    write(text.data(), static_cast<std::size_t>(length));
}

DiagnosticRedirect::DiagnosticRedirect(DiagnosticWriter writer, void* context)
{
    Sink& target = sink();
    const std::lock_guard<std::mutex> lock(target.mutex);
    mPreviousWriter = target.writer;
    mPreviousContext = target.context;
    target.writer = writer;
    target.context = context;
}

DiagnosticRedirect::~DiagnosticRedirect()
{
    Sink& target = sink();
    const std::lock_guard<std::mutex> lock(target.mutex);
    target.writer = mPreviousWriter;
    target.context = mPreviousContext;
}

void DiagnosticRedirect::toStream(void* context, const char* text, std::size_t size)
{
    auto* stream = static_cast<std::FILE*>(context);
    std::fwrite(text, 1, size, stream);
    // Flushed line by line, so that the lines keep their place among what is written to the
    // other stream.
    std::fflush(stream);
}
