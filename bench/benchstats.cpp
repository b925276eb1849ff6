#include "benchstats.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace
{
std::FILE* gTable = stdout;
}

void setTableStream(std::FILE* stream)
{
    gTable = stream;
}

void printLine(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(gTable, format, arguments);
    va_end(arguments);
    std::fflush(gTable);
}

double Samples::median() const
{
    if (seconds.empty())
        return 0.0;
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 != 0 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2.0;
}

double Samples::minimum() const
{
    return seconds.empty() ? 0.0 : *std::min_element(seconds.begin(), seconds.end());
}

double Samples::maximum() const
{
    return seconds.empty() ? 0.0 : *std::max_element(seconds.begin(), seconds.end());
}

void printHeader()
{
    printLine("%-56s %5s %10s %10s %10s\n", "measurement", "runs", "median", "min", "max");
}

void printRow(const Samples& samples, double scale)
{
    printLine("%-56s %5zu %10.2f %10.2f %10.2f\n", samples.name.c_str(), samples.seconds.size(),
              samples.median() * scale, samples.minimum() * scale, samples.maximum() * scale);
}
