// Conversion between code page 932 and UTF-8 at a UTF-8 terminal. The engine only
// ever sees code page 932; these run at the console's edge, in fixed buffers.
#pragma once

#include <cstddef>

// Converts the code page 932 character at the start of `bytes` (`size` > 0) to
// UTF-8 in `out`; returns how many input bytes it took and sets `out_size`. A byte
// or pair that code page 932 does not define becomes U+FFFD:
//     {0x82, 0xA0}  ->  "あ", takes 2        {0x82}  ->  U+FFFD, takes 1
std::size_t cp932_char_to_utf8(const unsigned char* bytes, std::size_t size, char out[4], std::size_t& out_size);

// Converts UTF-8 in place to code page 932 (the result is never longer). A
// character that code page 932 cannot hold, and each malformed byte, becomes one
// '?'. A character cut off at the end is left unconverted at the end of the
// result, and `unfinished` says how many bytes it has, unless `input_over` says no
// more will come, in which case it becomes '?' too. Returns the new size, the
// unfinished bytes included.
std::size_t utf8_to_cp932_in_place(char* bytes, std::size_t size, bool input_over, std::size_t& unfinished);
