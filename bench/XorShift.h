// Marsaglia's xorshift32: the benchmarks' inputs, the same on every run.
#pragma once

#include <cstdint>

inline uint32_t XorShift32(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}
