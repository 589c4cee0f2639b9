// The command line read in-process: what asks for the help on which platform, and
// how a long bad value is cut in the message, whatever charset it was typed in.
#include "app/command_line.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

command_line read(const std::vector<const char*>& args, bool slash_help)
{
    return parse_command_line(static_cast<int>(args.size()), args.data(), slash_help);
}

TEST(CommandLine, HelpAsEachPlatformAsksForIt)
{
    using action = command_line::action;
    struct case_ {
        std::vector<const char*> args;
        bool slash_help;  // as on Windows
        action what;
        const char* problem;
    };
    const case_ cases[] = {
        {{"/?"},       true,  action::help,      ""},
        {{"-?"},       true,  action::help,      ""},
        {{"/?"},       false, action::bad_usage, "extra operand '/?'"},
        {{"-?"},       false, action::bad_usage, "invalid option -- '?'"},
        {{"--", "/?"}, true,  action::bad_usage, "extra operand '/?'"},
        {{"-hx"},      false, action::help,      ""},
        {{"-xh"},      false, action::bad_usage, "invalid option -- 'x'"},
    };
    for (const case_& c : cases) {
        const command_line read_line = read(c.args, c.slash_help);
        const std::string shown = std::string(c.args.back()) + (c.slash_help ? " (slash help)" : "");
        EXPECT_EQ(c.what, read_line.what) << shown;
        EXPECT_STREQ(c.problem, read_line.problem) << shown;
    }
}

// A value over 60 bytes is cut where a character ends in each of UTF-8, code page
// 932 and EUC-JP that it is well-formed in; in none of them, after an ASCII byte.
TEST(CommandLine, ALongValueIsCutWhereACharacterEnds)
{
    const auto times = [](const std::string& piece, int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += piece;
        return text;
    };
    struct case_ {
        const char* what;
        std::string value;
        std::string shown;  // before "..."
    };
    const case_ cases[] = {
        {"UTF-8 only",                              times("あ", 100),                              times("あ", 20)},
        {"code page 932 only: half-width kana",     times("\xA1", 99),                             times("\xA1", 60)},
        {"EUC-JP only: half-width kana",            "\xA1\xFE" + times("\x8E\xDF", 40),            "\xA1\xFE" + times("\x8E\xDF", 29)},
        {"EUC-JP only: JIS X 0212 at the very end", "\xA1\xFE" + times("\x8F\xA1\xA1", 20),        "\xA1\xFE" + times("\x8F\xA1\xA1", 19)},
        {"none: a byte 0x80, no ASCII",             "\x80" + times("\xA4\xA2", 50),                ""},
        {"none: cut after the last ASCII byte",     times("A", 59) + "\x8F" + times(" ", 10),      times("A", 59)},
    };
    for (const case_& c : cases) {
        const std::string option = "--seed=" + c.value;
        const command_line read_line = read({option.c_str()}, false);
        EXPECT_EQ(command_line::action::bad_usage, read_line.what) << c.what;
        EXPECT_EQ("invalid seed '" + c.shown + "...': give a whole number from 0 to 4294967295", read_line.problem)
            << c.what;
    }
}

}  // namespace
