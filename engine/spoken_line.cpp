#include "engine/spoken_line.h"

namespace {

print_value value_of(line_arg arg, const line_values& values)
{
    switch (arg) {
    case line_arg::lord: return {values.lord_name, 0};
    case line_arg::player: return {values.player_name, 0};
    case line_arg::input: return {values.input_line, 0};
    case line_arg::number: return {nullptr, values.number};
    }
    return {"", 0};
}

} // namespace

void say(console& con, const spoken_line& line, const line_values& values)
{
    std::array<print_value, 3> printed{};
    for (std::size_t i = 0; i < line.arg_count; ++i) printed[i] = value_of(line.args[i], values);
    console_print_values(con, line.format, printed.data(), line.arg_count);
}
