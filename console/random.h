// The random source: a 32-bit linear congruential generator, seeded once from the
// clock. Every random choice of the conversation takes one value r and uses
// r % N (plus an offset), so the number and order of draws are behaviour.
//
//     random_source rng;  random_seed(rng, 1);
//     random_next(rng);   // 41, then 18467, 6334, 26500, 19169
#pragma once

#include <cstdint>

struct random_source {
    std::uint32_t state = 1;  // 1 until seeded
};

inline void random_seed(random_source& rng, std::uint32_t seed) { rng.state = seed; }

// Next value, 0..32767: bits 16 to 30 of the advanced state.
inline int random_next(random_source& rng)
{
    rng.state = rng.state * 214013u + 2531011u;
    return static_cast<int>((rng.state >> 16) & 0x7FFF);
}

// One fresh value reduced to 0..n-1, the uneven remainder left as it is.
inline int random_below(random_source& rng, int n) { return random_next(rng) % n; }
