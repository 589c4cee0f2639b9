// The program's command line, read the way GNU getopt_long reads one: long
// options may be shortened while they stay unambiguous, take their value as
// "--seed=N" or "--seed N", and may stand anywhere; "--" ends the options.
//
//     onigawara --seed 42 --charset=utf-8
#pragma once

#include <array>
#include <cstdint>

#include "console/platform.h"

struct command_line {
    enum class action { play, help, version, bad_usage };

    action what = action::play;
    bool seed_given = false;
    std::uint32_t seed = 0;  // when seed_given
    charset_choice charset = charset_choice::automatic;
    // For bad usage: what is wrong, as one line without its line end. A value quoted
    // in it is cut, when long, between two characters and marked "...".
    char problem[256] = {};
};

// Reads the arguments after the program's name. `slash_help`: "/?" and "-?" ask for
// the help too. --help and --version act where they stand, as the first problem
// does; an operand is only reported once every option has been read.
command_line parse_command_line(int argc, const char* const* argv, bool slash_help);

// The usage and the options, as --help prints them, in pieces to be printed in
// order: the platform gives the lines of the options that differ there.
using command_line_help_pieces = std::array<const char*, 5>;
command_line_help_pieces command_line_help();

// What --version prints.
extern const char command_line_version[];
