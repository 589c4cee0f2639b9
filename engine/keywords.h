// The lord's vocabulary: 161 keywords in a fixed order, and the byte-wise matcher
// that looks for them in a line.
#pragma once

inline constexpr int no_keyword = 500;  // the reply code of a line holding no keyword

// True when the scan finds `keyword` in `line`. One pass, left to right, never
// backing up: after a mismatch the keyword starts again at the next byte, and the
// byte that broke the partial match is not tried as its first byte. So
// keyword_in_line("ばばいばい", "ばいば") is false, while "ばいばい" holds it.
bool keyword_in_line(const char* line, const char* keyword);

// The keyword of reply code `code` (0..160), as code page 932 bytes.
const char* keyword_text(int code);

// The reply code of a line: the number of the first keyword in table order that
// the matcher finds in it (not the first in the line), or no_keyword.
int classify_line(const char* line);
