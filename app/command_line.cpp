#include "app/command_line.h"

#include <cstdio>
#include <cstring>

const char command_line_help[] =
    "Usage: onigawara [OPTION]...\n"
    "Chat in Japanese with a short-tempered lord of Japan's warring-states era.\n"
    "\n"
    "  -h, --help             print this help and exit (on Windows, /? too)\n"
    "      --version          print the version and exit\n"
    "      --seed=N           seed the lord's choices with N (0 to 4294967295)\n"
    "                         instead of the clock; the same seed and the same\n"
    "                         input give the same conversation\n"
    "      --charset=CHARSET  how standard input and output carry text:\n"
    "                           auto       UTF-8 at a terminal whose locale is\n"
    "                                      UTF-8, C or POSIX; Shift_JIS bytes\n"
    "                                      otherwise, and in pipes and files\n"
    "                                      (the default)\n"
    "                           utf-8      UTF-8, terminal, pipe or file alike\n"
    "                           shift_jis  Shift_JIS (code page 932) bytes as they\n"
    "                                      are, even at a UTF-8 terminal\n"
    "\n"
    "Exit status: 0, or 2 when the command line is wrong.\n";

const char command_line_version[] = "onigawara 3.0\n";

namespace {

struct option_spec {
    const char* name;
    bool takes_value;
};

enum option_index { help_option, version_option, seed_option, charset_option };

constexpr option_spec options[] = {
    {"help", false},
    {"version", false},
    {"seed", true},
    {"charset", true},
};

command_line bad_usage(command_line result, const char* format, const char* detail)
{
    result.what = command_line::action::bad_usage;
    std::snprintf(result.problem, sizeof result.problem, format, detail);
    return result;
}

// Decimal digits only, from 0 to 4294967295.
bool read_seed(const char* text, std::uint32_t& seed)
{
    if (*text == '\0') return false;
    std::uint64_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFu) return false;
    }
    seed = static_cast<std::uint32_t>(value);
    return true;
}

bool read_charset(const char* text, charset_choice& charset)
{
    struct name_and_choice {
        const char* name;
        charset_choice choice;
    };
    constexpr name_and_choice names[] = {
        {"auto", charset_choice::automatic},
        {"utf-8", charset_choice::utf8},
        {"shift_jis", charset_choice::shift_jis},
    };
    for (const name_and_choice& n : names) {
        if (std::strcmp(text, n.name) == 0) {
            charset = n.choice;
            return true;
        }
    }
    return false;
}

// The option that `name` (up to `length` bytes) names, whole or as an unambiguous
// beginning; -1 when none does, -2 when several do.
int find_option(const char* name, std::size_t length)
{
    int found = -1;
    for (int i = 0; i < static_cast<int>(std::size(options)); ++i) {
        if (std::strncmp(options[i].name, name, length) != 0) continue;
        if (options[i].name[length] == '\0') return i;  // an exact name wins
        found = found == -1 ? i : -2;
    }
    return found;
}

} // namespace

command_line parse_command_line(int argc, const char* const* argv, bool slash_help)
{
    command_line result;
    const char* first_operand = nullptr;
    bool options_ended = false;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (options_ended || arg[0] != '-' || arg[1] == '\0') {  // "-" alone is an operand
            if (slash_help && !options_ended && std::strcmp(arg, "/?") == 0) {
                result.what = command_line::action::help;
                return result;
            }
            if (first_operand == nullptr) first_operand = arg;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            options_ended = true;
            continue;
        }
        if (arg[1] != '-') {  // short options: only -h, which may be repeated (-hh)
            for (const char* p = arg + 1; *p != '\0'; ++p) {
                if (*p != 'h') {
                    const char letter[2] = {*p, '\0'};
                    return bad_usage(result, "invalid option -- '%s'", letter);
                }
            }
            result.what = command_line::action::help;
            return result;
        }
        const char* name = arg + 2;
        const char* equals = std::strchr(name, '=');
        const std::size_t name_length = equals ? static_cast<std::size_t>(equals - name) : std::strlen(name);
        const int found = find_option(name, name_length);
        if (found == -1) return bad_usage(result, "unrecognized option '%s'", arg);
        if (found == -2) return bad_usage(result, "option '%s' is ambiguous", arg);
        const option_spec& option = options[found];
        const char* value = nullptr;
        if (option.takes_value) {
            if (equals) value = equals + 1;
            else if (i + 1 < argc) value = argv[++i];
            else return bad_usage(result, "option '--%s' requires an argument", option.name);
        } else if (equals) {
            return bad_usage(result, "option '--%s' doesn't allow an argument", option.name);
        }
        switch (found) {
        case help_option:
            result.what = command_line::action::help;
            return result;
        case version_option:
            result.what = command_line::action::version;
            return result;
        case seed_option:
            if (!read_seed(value, result.seed))
                return bad_usage(result, "invalid seed '%s': give a whole number from 0 to 4294967295", value);
            result.seed_given = true;
            break;
        case charset_option:
            if (!read_charset(value, result.charset))
                return bad_usage(result, "invalid charset '%s': give auto, utf-8 or shift_jis", value);
            break;
        }
    }
    if (first_operand != nullptr) return bad_usage(result, "extra operand '%s'", first_operand);
    return result;
}
