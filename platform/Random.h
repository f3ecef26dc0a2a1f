#ifndef TALLYARD_PLATFORM_RANDOM_H
#define TALLYARD_PLATFORM_RANDOM_H

#include <cstdint>

namespace Random
{
/// A pseudo-random 32-bit value, never 0, from a generator seeded from the
/// system's entropy once per thread.
uint32_t Next32();
}

#endif
