#pragma once

#include "command.h"

class Console;

// Seeds OpenSSL's generator from the Zel Kavra card `times` times, once for every key about to be
// made, as the window seeds before every certificate; all before the first key is begun. The card
// is named once, on standard error.
//
// RAND_seed mixes the bytes into OpenSSL's primary generator and counts a reseed there. Each thread
// draws from generators of its own that are chained to the primary: one made after the seeds is
// instantiated from the primary, and one that exists already compares the primary's reseed count
// with the one it last saw and reseeds from the primary before its next output. So every key, on
// whichever thread, is drawn from state that holds the board's fresh bytes. The board is used from
// the calling thread only.
Refusal SeedGenerator(Console& console, int times);
