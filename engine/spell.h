// The hidden spell: its word, its twenty effects and the nickname tables.
#pragma once

#include "console/console.h"
#include "console/random.h"
#include "engine/conversation.h"

// True when the keyword matcher finds the spell word パルプンテ in the line.
bool spell_in_line(const char* line);

// Casts the spell: the cast line, the key wait, one of twenty effects. May rename
// the player or the lord; gives reply_result::over when the effect ends the
// conversation, else reply_result::answered.
reply_result cast_spell(console& con, random_source& rng, char (&lord_name)[lord_name_capacity],
                        char (&player_name)[player_name_capacity]);
