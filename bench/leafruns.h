#pragma once

#include "benchstats.h"

#include <string>

// Leaves in a row under one intermediate, the endurance run of the tests without its checks:
// each leaf is issued from a settings record, as the window's controller issues it (the board
// seeds the generator first), and written as PEM and PKCS#12 files into `folder`. Reports
// each leaf's time and the resident memory of the process after leaf `settled` and after the
// last one, in KiB (0 where the system does not tell). False when a leaf fails.
struct LeafRun
{
    Samples times;
    long settledKiB = 0;
    long finalKiB = 0;
};

bool runLeavesInARow(const std::string& folder, int leaves, int settled, LeafRun& result);
