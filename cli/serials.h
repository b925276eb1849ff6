#pragma once

// Where the serial numbers of one run come from: drawn at random (the default, and --serial
// random), --serial N, or --serial trace: the trace file serialNumberTrace in the working folder,
// which the window uses too.

#include "command.h"

#include <QtGlobal>

#include <vector>

class Console;

struct SerialChoice
{
    enum Source
    {
        Trace,
        Given,
        Random
    };
    // Random by default: serials drawn from 63 bits are unique per issuer without a shared counter,
    // where a trace in each folder starts again at 1 under the same issuer.
    Source source = Random;
    qint64 first = 0; // the number given, or the trace's next one once taken
};

// --serial, for a run of `count` consecutive certificates.
Refusal readSerial(const Invocation& invocation, int count, SerialChoice& choice);

// Before the first key is made (after seeding): the run's `count` serial numbers, all different,
// into `serials`. From the trace: taken under its lock (into choice.first) and said on standard
// error, consecutive from there; given numbers are recorded there, never lowering it; random ones
// are drawn from the generator (seeded from the board before), 1 .. 2^63-1, and never touch it.
// A trace that cannot be read or written stops a run that takes its numbers from it; given
// numbers go on without it (said on standard error). A run that fails afterwards leaves a gap,
// never a repeat. Issuing from a settings record writes the numbers whole.
Refusal takeSerials(Console& console, SerialChoice& choice, int count, std::vector<qint64>& serials);
