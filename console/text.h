// Exact comparison of two NUL-terminated byte strings: no case, width or kana
// folding. The empty string equals only the empty string.
#pragma once

#include <cstring>

inline bool text_equals(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
