#include "engine/chatter.h"

void idle_chatter(console& con, random_source& rng, const char* lord_name, const char* player_name,
                  const char* input_line)
{
    (void)con;
    (void)rng;
    (void)lord_name;
    (void)player_name;
    (void)input_line;
}
