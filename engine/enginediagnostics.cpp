#include "enginediagnostics.h"

#include "diagnosticsink.h"

#include <openssl/err.h>

#include <cstdarg>
#include <cstdio>

void Diagnose(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    PrintDiagnosticList(format, arguments);
    va_end(arguments);
    ERR_clear_error();
}

ErrorQueueScope::~ErrorQueueScope()
{
    ERR_clear_error();
}
