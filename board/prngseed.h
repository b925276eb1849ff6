#pragma once

// Largest number of random bytes drawn from the cryptographic board per call.
constexpr int MAX_BYTES = 128;

// Finds the cryptographic board among the installed boards, draws min(bytes, MAX_BYTES)
// hardware random bytes from it and seeds OpenSSL's generator with them.
// Returns the number of bytes seeded, 0 when anything failed (the generator was then not
// seeded by this call). Progress and failures go to standard output.
int seed_prng_kavra(int bytes);
