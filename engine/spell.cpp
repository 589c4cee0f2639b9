#include "engine/spell.h"

bool spell_in_line(const char* line)
{
    (void)line;
    return false;
}

reply_result cast_spell(console& con, random_source& rng, char (&lord_name)[lord_name_capacity],
                        char (&player_name)[player_name_capacity])
{
    (void)con;
    (void)rng;
    (void)lord_name;
    (void)player_name;
    return reply_result::answered;
}
