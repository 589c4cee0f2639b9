// Compiled, not run: each CHECK_n below must fail to compile (see tests/CMakeLists.txt),
// while the file without any of them compiles. A print whose conversions and
// arguments disagree, or whose format is not a constant, is not a program.
#include "console/console.h"
#include "console/cp932.h"
#include "engine/spoken_line.h"

using namespace line_args;

void prints(console& con, const char* player_name, char* typed_line)
{
    console_print(con, "%s＞%d"_sj, player_name, 142);
    console_print(con, "plain"_sj);
    (void)typed_line;
#if defined(CHECK_1)
    console_print(con, "%s＞%s"_sj, player_name);  // too few arguments
#elif defined(CHECK_2)
    console_print(con, "%s＞"_sj, player_name, player_name);  // too many
#elif defined(CHECK_3)
    console_print(con, "%d"_sj, player_name);  // a text for %d
#elif defined(CHECK_4)
    console_print(con, "%s"_sj, 142);  // a number for %s
#elif defined(CHECK_5)
    console_print(con, typed_line);  // the player's text as a format
#elif defined(CHECK_6)
    console_print(con, "%x"_sj, 142);  // a conversion it does not know
#elif defined(CHECK_7)
    static constexpr spoken_line line{"%s＞%sじゃ"_sj, {L}};  // a table row with too few arguments
    (void)line;
#elif defined(CHECK_8)
    (void)"😀"_sj;  // a character code page 932 cannot hold
#endif
}
