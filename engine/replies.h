// The lord's answers to the keywords: one reply per reply code.
#pragma once

#include "console/console.h"
#include "console/random.h"
#include "engine/conversation.h"

// Prints the reply for `reply_code` (0..160). Codes outside that range, no_keyword
// among them, print nothing, draw nothing and give reply_result::none.
reply_result reply_to_keyword(console& con, random_source& rng, int reply_code, const char* lord_name,
                              const char* player_name);
