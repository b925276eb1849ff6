#include "seeding.h"

#include "console.h"
#include "notes.h"
#include "prngseed.h"
#include "refusals.h"

Refusal SeedGenerator(Console& console, int times)
{
    for (int i = 0; i < times; ++i)
        if (seed_prng_kavra(MAX_BYTES) == 0)
            return Refuse::noBoard();
    console.errLine(Note::seeded());
    return std::nullopt;
}
