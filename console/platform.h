// What each platform gives the program: its standard console as a port, the
// clock's seed, and its own conventions. One set of files implements this per
// platform (POSIX terminals, the Windows console, a web page); CMake chooses them.
#pragma once

#include <cstdint>

#include "console/console.h"

// How the standard streams carry text, as the command line asks.
enum class charset_choice {
    automatic,  // as the platform finds them (a UTF-8 terminal converts; pipes are raw)
    utf8,       // UTF-8 both ways, terminal or not
    shift_jis,  // code page 932 bytes unchanged, even at a UTF-8 terminal
};

// Sets the standard streams up for a conversation and gives the port to read and
// write them through, with the kind of streams they are in `mode`.
console_port& platform_open_console(charset_choice charset, console_mode& mode);

// Puts back whatever platform_open_console changed (the terminal's settings).
void platform_close_console();

// The low 32 bits of the current calendar time in seconds since 1970: a run's seed.
std::uint32_t platform_clock_seed();

// True where the platform's own convention also asks for help with "/?" (and "-?").
bool platform_takes_slash_help();

// The lines of --help that differ from platform to platform, each ending in a line
// break: the help option with every way to ask for it there, and what --charset
// does there.
struct platform_help_lines {
    const char* help_option;
    const char* charset_option;
};
platform_help_lines platform_help();
