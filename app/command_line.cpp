#include "app/command_line.h"

#include <bitset>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "console/cp932.h"
#include "version.h"

namespace {

const char usage[] =
    "Usage: onigawara [OPTION]...\n"
    "Chat in Japanese with a short-tempered lord of Japan's warring-states era.\n"
    "\n";

const char version_and_seed[] =
    "      --version          print the version and exit\n"
    "      --seed=N           seed the lord's choices with N (0 to 4294967295)\n"
    "                         instead of the clock; the same seed and the same\n"
    "                         input give the same conversation\n";

const char charset_spellings_and_exit_status[] =
    "                         CHARSET may be in any case; utf8 is taken for\n"
    "                         utf-8, and sjis, cp932 or windows-31j for shift_jis\n"
    "\n"
    "Exit status: 0; 1 on a read or write error; 2 when the command line is wrong.\n";

} // namespace

const char command_line_version[] = "onigawara " ONIGAWARA_VERSION "\n";

command_line_help_pieces command_line_help()
{
    const platform_help_lines own = platform_help();
    return {usage, own.help_option, version_and_seed, own.charset_option, charset_spellings_and_exit_status};
}

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

// ---- Values in a message, whatever charset they were typed in --------------------------

// A value from the command line is shown in a message as it was typed, in whatever
// charset that was, and a long one is cut only where a character ends: where one
// ends in each of UTF-8, code page 932 and EUC-JP that the value is well-formed in
// (so the cut is sound whichever of them it was typed in), or, when it is none of
// them, after an ASCII byte, which ends a character in any charset a terminal uses.
//
//     "あ" x 100 in UTF-8            ->  "あ" x 20 and "..."  (60 bytes)
//     "x" and "あ" x 50 in EUC-JP    ->  "x", "あ" x 29 and "..."
constexpr std::size_t shown_value_limit = 60;  // bytes of a value shown in a message
constexpr char shortened_mark[] = "...";

using character_ends = std::bitset<shown_value_limit + 1>;  // ends[i]: a character may end after i bytes

// The size of the character at the start of `text` (`size` > 0) in one charset; 0
// when it is malformed there.
using character_reader = std::size_t (*)(const unsigned char* text, std::size_t size);

std::size_t utf8_character(const unsigned char* text, std::size_t size)
{
    const utf8_char c = utf8_decode(reinterpret_cast<const char*>(text), size);
    return c.status == utf8_char::kind::whole ? c.size : 0;
}

std::size_t cp932_character(const unsigned char* text, std::size_t size)
{
    if (text[0] < 0x80 || (text[0] >= 0xA1 && text[0] <= 0xDF)) return 1;  // ASCII, half-width kana
    if (!cp932_is_lead_byte(text[0])) return 0;
    return size >= 2 && cp932_is_trail_byte(text[1]) ? 2 : 0;
}

std::size_t euc_jp_character(const unsigned char* text, std::size_t size)
{
    const auto is_high = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
    if (text[0] < 0x80) return 1;
    if (text[0] == 0x8E) return size >= 2 && text[1] >= 0xA1 && text[1] <= 0xDF ? 2 : 0;  // half-width kana
    if (text[0] == 0x8F) return size >= 3 && is_high(text[1]) && is_high(text[2]) ? 3 : 0;  // JIS X 0212
    return is_high(text[0]) && size >= 2 && is_high(text[1]) ? 2 : 0;
}

// Where the characters of `text` end, as `read` reads them; false when `text` is
// not well-formed that way.
bool find_character_ends(const unsigned char* text, std::size_t size, character_reader read, character_ends& ends)
{
    ends.reset();
    ends[0] = true;
    for (std::size_t at = 0; at < size;) {
        const std::size_t taken = read(text + at, size - at);
        if (taken == 0) return false;
        at += taken;
        if (at <= shown_value_limit) ends[at] = true;
    }
    return true;
}

character_ends safe_character_ends(const char* value, std::size_t size)
{
    const auto* text = reinterpret_cast<const unsigned char*>(value);
    character_ends common;
    common.set();
    bool well_formed_somewhere = false;
    for (character_reader read : {utf8_character, cp932_character, euc_jp_character}) {
        character_ends ends;
        if (!find_character_ends(text, size, read, ends)) continue;
        common &= ends;
        well_formed_somewhere = true;
    }
    if (well_formed_somewhere) return common;
    common.reset();
    common[0] = true;
    for (std::size_t at = 0; at < size && at < shown_value_limit; ++at) {
        if (text[at] < 0x80) common[at + 1] = true;
    }
    return common;
}

// The size of the first character of `value` (`size` > 0).
std::size_t first_character_size(const char* value, std::size_t size)
{
    const character_ends ends = safe_character_ends(value, size);
    for (std::size_t at = 1; at <= shown_value_limit && at <= size; ++at) {
        if (ends[at]) return at;
    }
    return size;
}

// `value` as a message shows it: whole, or its first characters up to
// shown_value_limit bytes and "...".
struct shown_value {
    char text[shown_value_limit + sizeof shortened_mark];
};

shown_value show(const char* value, std::size_t size)
{
    shown_value shown{};
    if (size <= shown_value_limit) {
        std::memcpy(shown.text, value, size);
        return shown;
    }
    const character_ends ends = safe_character_ends(value, size);
    std::size_t kept = shown_value_limit;
    while (!ends[kept]) --kept;
    std::memcpy(shown.text, value, kept);
    std::memcpy(shown.text + kept, shortened_mark, sizeof shortened_mark);
    return shown;
}

shown_value show(const char* value) { return show(value, std::strlen(value)); }

command_line bad_usage(command_line result, const char* format, const shown_value& detail)
{
    result.what = command_line::action::bad_usage;
    std::snprintf(result.problem, sizeof result.problem, format, detail.text);
    return result;
}

// ---- Option values -------------------------------------------------------------------

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

bool equal_ignoring_ascii_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

// The usual names of each charset, in any case.
bool read_charset(const char* text, charset_choice& charset)
{
    struct name_and_choice {
        const char* name;
        charset_choice choice;
    };
    constexpr name_and_choice names[] = {
        {"auto",        charset_choice::automatic},
        {"utf-8",       charset_choice::utf8},
        {"utf8",        charset_choice::utf8},
        {"shift_jis",   charset_choice::shift_jis},
        {"sjis",        charset_choice::shift_jis},
        {"cp932",       charset_choice::shift_jis},
        {"windows-31j", charset_choice::shift_jis},
    };
    for (const name_and_choice& n : names) {
        if (equal_ignoring_ascii_case(text, n.name)) {
            charset = n.choice;
            return true;
        }
    }
    return false;
}

// ---- Options -------------------------------------------------------------------------

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
        if (arg[1] != '-') {
            // Short options, read in order as getopt reads them. -h is the only one
            // (with -? where /? asks for help too), so the first letter decides: -hx
            // prints the help, -xh is an invalid option.
            if (arg[1] == 'h' || (slash_help && arg[1] == '?')) {
                result.what = command_line::action::help;
                return result;
            }
            return bad_usage(result, "invalid option -- '%s'",
                             show(arg + 1, first_character_size(arg + 1, std::strlen(arg + 1))));
        }
        const char* name = arg + 2;
        const char* equals = std::strchr(name, '=');
        const std::size_t name_length = equals ? static_cast<std::size_t>(equals - name) : std::strlen(name);
        const int found = find_option(name, name_length);
        if (found == -1) return bad_usage(result, "unrecognized option '%s'", show(arg));
        if (found == -2) return bad_usage(result, "option '%s' is ambiguous", show(arg));
        const option_spec& option = options[found];
        const char* value = nullptr;
        if (option.takes_value) {
            if (equals) value = equals + 1;
            else if (i + 1 < argc) value = argv[++i];
            else return bad_usage(result, "option '--%s' requires an argument", show(option.name));
        } else if (equals) {
            return bad_usage(result, "option '--%s' doesn't allow an argument", show(option.name));
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
                return bad_usage(result, "invalid seed '%s': give a whole number from 0 to 4294967295", show(value));
            result.seed_given = true;
            break;
        case charset_option:
            if (!read_charset(value, result.charset))
                return bad_usage(result, "invalid charset '%s': give auto, utf-8 or shift_jis", show(value));
            break;
        }
    }
    if (first_operand != nullptr) return bad_usage(result, "extra operand '%s'", show(first_operand));
    return result;
}
