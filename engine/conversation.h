// The conversation driver: start-up, the greeting and the turn loop, with the
// buffers that every other part of the engine reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/console.h"
#include "console/random.h"

inline constexpr std::size_t lord_name_capacity = 5;     // two double-byte characters and the NUL
inline constexpr std::size_t player_name_capacity = 20;  // 19 bytes of text
inline constexpr std::size_t input_line_capacity = 100;  // 99 bytes of text

// What a reply or a spell did with the turn.
enum class reply_result {
    none = 0,      // nothing printed: the next rule of the turn applies
    answered = 1,  // the conversation goes on
    over = 2,      // closing line, end banner and key wait are done: stop
};

// The whole state of a run, owned by the driver and lent to the other parts.
struct conversation {
    char lord_name[lord_name_capacity];
    char player_name[player_name_capacity];
    char input_line[input_line_capacity];
};

// Runs one conversation from the title to its ending, or until input ends (then
// it stops quietly). `seed` is the clock's seconds, the run's only seeding.
void run_conversation(console& con, random_source& rng, std::uint32_t seed);
