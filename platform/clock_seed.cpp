// The clock's seed, the same on every platform whose C library keeps calendar time
// (POSIX, Windows, the page's WASI clock): CMake adds this file to each port's
// library. A port whose clock differs leaves it out and defines its own.
#include <ctime>

#include "console/platform.h"

std::uint32_t platform_clock_seed() { return static_cast<std::uint32_t>(std::time(nullptr)); }
