// Compiled, not run. The file as it is compiles; with -DCHECK_name it must fail to
// compile with the message that tests/CMakeLists.txt gives for that case, so that
// a case broken by a typo fails its test. A print whose conversions and arguments
// disagree or whose format is not a constant, a table row that does not fit its
// text or its place, a name of the wrong size and a character that code page 932
// cannot hold are not programs.
#include "console/console.h"
#include "console/cp932.h"
#include "engine/spoken_line.h"
#include "engine/table_checks.h"
#include "engine/two_character_name.h"

using namespace line_args;

void prints(console& con, const char* player_name, char* typed_line)
{
    console_print(con, "%s＞%d"_sj, player_name, 142);
    console_print(con, "plain"_sj);
    (void)typed_line;
#if defined(CHECK_too_few_arguments)
    console_print(con, "%s＞%s"_sj, player_name);
#elif defined(CHECK_too_many_arguments)
    console_print(con, "%s＞"_sj, player_name, player_name);
#elif defined(CHECK_text_for_number)
    console_print(con, "%d"_sj, player_name);
#elif defined(CHECK_number_for_text)
    console_print(con, "%s"_sj, 142);
#elif defined(CHECK_typed_text_as_format)
    console_print(con, typed_line);
#elif defined(CHECK_unknown_conversion)
    console_print(con, "%x"_sj, 142);
#endif
}

// A table of lines, as the engine's tables hold them.
constexpr spoken_line lines[] = {
    {"%s＞%sじゃ"_sj, {L, P}},
#if defined(CHECK_row_with_too_few_arguments)
    {"%s＞%sじゃ"_sj, {L}},
#endif
};

// Rows of two kinds; the drawn ones read their lines at code - 1 in a table of two.
enum class row_kind { single, drawn };

struct row {
    int code;
    row_kind kind;
};

constexpr row rows[] = {
    {0, row_kind::single},
    {1, row_kind::drawn},
#if defined(CHECK_lines_on_a_row_of_another_kind)
    {2, row_kind::single},
#else
    {2, row_kind::drawn},
#endif
#if defined(CHECK_drawn_row_without_lines)
    {3, row_kind::drawn},
#else
    {3, row_kind::single},
#endif
#if defined(CHECK_row_out_of_order)
    {5, row_kind::single},
#endif
};
static_assert(rows_of_kind_match_their_lines(rows, row_kind::drawn, 1, 2));
static_assert(rows_numbered_in_order(rows, &row::code, 0));

constexpr two_character_name names[] = {
    "鬼瓦"_sj,
#if defined(CHECK_name_of_one_character)
    "鬼"_sj,
#elif defined(CHECK_name_of_four_one_byte_characters)
    "ｵﾆｶﾞ"_sj,
#endif
};

#if defined(CHECK_character_not_in_code_page)
constexpr const char* emoji = "😀"_sj;
#endif
