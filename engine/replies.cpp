#include "engine/replies.h"

reply_result reply_to_keyword(console& con, random_source& rng, int reply_code, const char* lord_name,
                              const char* player_name)
{
    (void)con;
    (void)rng;
    (void)reply_code;
    (void)lord_name;
    (void)player_name;
    return reply_result::none;
}
