#pragma once

#include <string>

// One start of a probe program (offscreen) in `folder`: seconds from spawning it to its first
// paint, and its peak resident memory in KiB. False when the probe did not report.
struct StartupRun
{
    double secondsToFirstPaint = 0.0;
    long peakResidentKiB = 0;
};

// `stage` (may be empty) is passed as the probe's one argument.
bool runStartupProbe(const std::string& program, const std::string& stage, const std::string& folder,
                     StartupRun& result);
