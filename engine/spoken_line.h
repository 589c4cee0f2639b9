// A line of the conversation as table data: a constant format text and which of
// the conversation's values fill its conversions, checked against each other at
// compile time.
//
//     {"%s＞%s殿、わしの目は節穴ではないぞ。"_sj, {L, P}}   // lord name, then player name
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "console/console.h"
#include "console/cp932.h"

enum class line_arg : std::uint8_t { lord, player, input, number };

// Short names for the argument columns of the tables.
namespace line_args {
inline constexpr line_arg L = line_arg::lord;    // the lord name at that moment
inline constexpr line_arg P = line_arg::player;  // the player name at that moment
inline constexpr line_arg I = line_arg::input;   // the input line as typed
inline constexpr line_arg N = line_arg::number;  // a number, printed by %d
} // namespace line_args

struct spoken_line {
    consteval spoken_line(const char* format_text, std::initializer_list<line_arg> arg_list = {})
        : format(format_text), arg_count(static_cast<std::uint8_t>(arg_list.size()))
    {
        if (arg_list.size() > args.size()) throw "a line takes at most three arguments";
        char wanted[4] = {};
        std::size_t i = 0;
        for (line_arg arg : arg_list) {
            args[i] = arg;
            wanted[i++] = arg == line_arg::number ? 'd' : 's';
        }
        console_detail::check_conversions(format_text, wanted);
    }

    const char* format;
    std::array<line_arg, 3> args{};
    std::uint8_t arg_count;
};

// What a line's arguments stand for at the moment it is printed.
struct line_values {
    const char* lord_name;
    const char* player_name;
    const char* input_line = "";
    int number = 0;
};

void say(console& con, const spoken_line& line, const line_values& values);
