// Code page 932: the compile-time encoder, and the conversions used at a UTF-8
// terminal (the build's table against iconv is in cp932_table_test.cpp).
#include <cstring>

#include "console/cp932.h"
#include "console/utf8_port.h"
#include "tests/support.h"

namespace {

TEST(Cp932Encoder, GivesTheBytesIconvGives)
{
    // Trail bytes in the ASCII range, the Microsoft tilde and minus, half-width kana.
    EXPECT_EQ(sjis("申し訳"), "申し訳"_sj);
    EXPECT_EQ(std::string("\x90\x5C"), "申"_sj);
    EXPECT_EQ(std::string("\x81\x60\x81\x7C\x81\x45\x81\x5B\x81\x84\x81\x40"), "～－・ー＞　"_sj);
    EXPECT_EQ(std::string("\x82\x92\xC9"), "ｒﾉ"_sj);
    EXPECT_EQ(sjis("%s＞ \n[Alt] + [半角/全角]"), "%s＞ \n[Alt] + [半角/全角]"_sj);
    EXPECT_EQ(std::string(""), ""_sj);
}

// ---- At a UTF-8 terminal ------------------------------------------------------------------

std::string to_utf8(std::string_view cp932)
{
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    std::size_t left = cp932.size();
    while (left > 0) {
        char utf8[4];
        std::size_t utf8_size = 0;
        std::size_t taken = cp932_char_to_utf8(p, left, utf8, utf8_size);
        out.append(utf8, utf8_size);
        p += taken;
        left -= taken;
    }
    return out;
}

std::string to_cp932(std::string utf8, bool input_over = true)
{
    std::size_t unfinished = 0;
    utf8.resize(utf8_to_cp932_in_place(utf8.data(), utf8.size(), input_over, unfinished));
    return utf8;
}

TEST(TerminalText, Cp932ToUtf8)
{
    const std::string replacement = "\xEF\xBF\xBD";
    struct case_ {
        const char* what;
        std::string cp932;
        std::string utf8;
    };
    const case_ cases[] = {
        {"text", sjis("鬼瓦＞申し訳～－ｒﾉ abc\n"), "鬼瓦＞申し訳～－ｒﾉ abc\n"},
        {"lone lead byte at the end", "ab\x82", "ab" + replacement},
        {"a byte code page 932 leaves unused", "\xA0" "a", replacement + "a"},
        {"lead byte before a line break", "\x82\n", replacement + "\n"},
        {"unused single bytes", "\x80\xFD\xFE\xFF", replacement + replacement + replacement + replacement},
    };
    for (const case_& c : cases) EXPECT_EQ(c.utf8, to_utf8(c.cp932)) << c.what;
}

TEST(TerminalText, Utf8ToCp932)
{
    struct case_ {
        const char* what;
        std::string utf8;
        std::string cp932;
    };
    const case_ cases[] = {
        {"text", "こんにちは、ｒﾉ～－\\~", sjis("こんにちは、ｒﾉ～－\\~")},
        {"an emoji is one question mark", "あ\xF0\x9F\x98\x80い", sjis("あ?い")},
        {"a stray continuation byte", "a\x80" "b", "a?b"},
        {"an overlong form", "\xE0\x81\x81", "?"},
        {"a character cut off at the end", "a\xE3\x81", "a?"},
    };
    for (const case_& c : cases) EXPECT_EQ(c.cp932, to_cp932(c.utf8)) << c.what;
}

TEST(TerminalText, Utf8CharacterSplitBetweenReadsIsKept)
{
    std::string bytes = "a\xE3\x81";  // the first two bytes of あ
    std::size_t unfinished = 0;
    std::size_t size = utf8_to_cp932_in_place(bytes.data(), bytes.size(), false, unfinished);
    EXPECT_EQ(3u, size);
    EXPECT_EQ(2u, unfinished);
    EXPECT_EQ("a\xE3\x81", bytes.substr(0, size));
}

} // namespace
