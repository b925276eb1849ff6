#pragma once

// Where the serial numbers of one run come from: --serial N, --serial random, or the trace file
// serialNumberTrace in the working folder, which the window uses too.

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
    Source source = Trace;
    qint64 first = 0; // the number given, or the trace's next one once taken
};

// --serial, for a run of `count` consecutive certificates.
Refusal readSerial(const Invocation& invocation, int count, SerialChoice& choice);

// The trace's next numbers for `count` certificates, said on standard error.
Refusal takeFromTrace(Console& console, int count, SerialChoice& choice);

// `count` serial numbers, all different: consecutive from choice.first, or drawn from the
// generator (seeded from the board before).
Refusal serialsFor(const SerialChoice& choice, int count, std::vector<qint64>& serials);

// After a successful run: the last serial number used goes into the trace, unless it was drawn at
// random. A trace that cannot be written fails nothing, but is said: the next run would take the
// same number again.
void recordSerial(Console& console, const SerialChoice& choice, qint64 last);
