// Idle chatter: what the lord says when nothing in the line calls for an answer.
#pragma once

#include "console/console.h"
#include "console/random.h"

// One idle-chatter turn: prints one of 160 entries chosen at random.
void idle_chatter(console& con, random_source& rng, const char* lord_name, const char* player_name,
                  const char* input_line);
