#pragma once

#include "benchstats.h"

#include <string>

// talvane-chain chain: the three-level chain of chainruns.h (root, one intermediate, leaf; same
// names and validity) made by one process into `folder`, its keys generated concurrently.
bool issueWholeChainWithTool(const std::string& tool, const std::string& folder);

// The time three keys from `keys` take on `threads` threads, each thread taking the next key
// when it is done (the way talvane-chain chain hands them out), as the median over every
// ordered triple of the samples: what ratio 4 cannot go below with this machine's keys.
double medianThreeKeysOnThreads(const Samples& keys, int threads);
