#include "platform/Random.h"

#include <array>
#include <random>

namespace Random
{
namespace
{
std::mt19937& Engine()
{
    thread_local std::mt19937 engine = [] {
        std::random_device device;
        std::array<uint32_t, 8> seed;
        for (uint32_t& s : seed)
            s = device();
        std::seed_seq seq(seed.begin(), seed.end());
        return std::mt19937(seq);
    }();
    return engine;
}
}

uint32_t Next32()
{
    uint32_t value;
    do
        value = Engine()();
    while (value == 0);
    return value;
}
}
