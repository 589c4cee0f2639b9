// The program's edge: standard input and output as a console_port, and the one
// decision made at start-up about how to treat them.
#pragma once

#include "console/console.h"

// Reads file descriptor 0 and writes file descriptor 1.
class standard_streams : public console_port {
public:
    std::size_t read_some(char* into, std::size_t size) override;
    write_outcome write_all(const char* bytes, std::size_t size) override;
};

// Decides, once per stream, whether it is a terminal and whether that terminal
// speaks UTF-8 (then text is converted at the edge); pipes and files, and a
// terminal whose locale is already Shift_JIS (or any other non-UTF-8 locale),
// carry raw bytes. The locale is the one the environment names for LC_CTYPE.
console_mode detect_console_mode();

// True for the names a C library gives UTF-8: "UTF-8", "utf8", "UTF8", ...
bool charset_is_utf8(const char* charset);

// True when a locale name such as "ja_JP.UTF-8" or "ja_JP.utf8@euro" says UTF-8.
// Used when the named locale is not installed: the terminal behind it still
// speaks what its name says.
bool locale_name_is_utf8(const char* name);

// The low 32 bits of the current calendar time in seconds: the seed of a run.
unsigned clock_seed();
