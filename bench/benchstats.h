#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// Samples of one measurement, in seconds, and their summary.
struct Samples
{
    std::string name;
    std::vector<double> seconds;

    double median() const;
    double minimum() const;
    double maximum() const;
};

// Wall-clock seconds of one call of f.
template <typename F> double timeOnce(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The table goes to its own stream: the board layer prints its lines on standard output.
void setTableStream(std::FILE* stream);
void printHeader();
// One table row: name, runs, median, minimum, maximum, each value times `scale` (seconds to
// milliseconds by default).
void printRow(const Samples& samples, double scale = 1e3);
void printLine(const char* format, ...);
