// A row of a constant table chosen at random. The draw takes its size from the
// table itself, so it always covers every row and never reads past the last.
//
//     const spoken_line& greeting = random_row(rng, greetings);  // row r % 6 of 6
#pragma once

#include <cstddef>

#include "console/random.h"

// Row r % N of the N rows, for one fresh value r.
template <class Row, std::size_t N>
const Row& random_row(random_source& rng, const Row (&table)[N])
{
    static_assert(N <= 32768, "a value of the random source reaches rows 0..32767 only");
    return table[random_below(rng, static_cast<int>(N))];
}
