// Code page 932: the build's table against iconv, the compile-time encoder, and
// the conversions used at a UTF-8 terminal.
#include <iconv.h>

#include <cstring>

#include "console/cp932.h"
#include "console/utf8_port.h"
#include "tests/support.h"

namespace {

// What iconv makes of `size` bytes; false when it refuses them.
bool iconv_convert(iconv_t cd, const void* in, std::size_t size, void* out, std::size_t& out_size)
{
    char* in_ptr = static_cast<char*>(const_cast<void*>(in));
    char* out_ptr = static_cast<char*>(out);
    size_t in_left = size;
    size_t out_left = out_size;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) return false;
    out_size -= out_left;
    return in_left == 0;
}

TEST(Cp932Table, EncodesEveryCodePointAsIconvDoes)
{
    iconv_t to_cp932 = iconv_open("CP932", "UTF-32LE");
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), to_cp932);
    for (const cp932_mapping& m : cp932_by_code_point) {
        if (m.code_point == 0) continue;
        unsigned char out[4];
        std::size_t out_size = sizeof out;
        ASSERT_TRUE(iconv_convert(to_cp932, &m.code_point, 4, out, out_size)) << std::hex << unsigned(m.code_point);
        unsigned code = out_size == 1 ? out[0] : (unsigned{out[0]} << 8) | out[1];
        EXPECT_EQ(code, m.code) << std::hex << "U+" << unsigned(m.code_point);
    }
    iconv_close(to_cp932);
    EXPECT_GT(std::size(cp932_by_code_point), 7000u);
}

TEST(Cp932Table, DecodesEveryByteAndPairAsIconvDoes)
{
    iconv_t to_unicode = iconv_open("UTF-32LE", "CP932");
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), to_unicode);
    auto iconv_code_point = [&](const unsigned char* bytes, std::size_t size) -> char32_t {
        char32_t u = 0;
        std::size_t out_size = sizeof u;
        return iconv_convert(to_unicode, bytes, size, &u, out_size) ? u : 0;
    };
    for (unsigned b = 1; b < 0x100; ++b) {
        if (cp932_is_lead_byte(static_cast<unsigned char>(b))) continue;
        unsigned char byte = static_cast<unsigned char>(b);
        EXPECT_EQ(unsigned(iconv_code_point(&byte, 1)), cp932_single_byte[b]) << std::hex << b;
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932_is_lead_byte(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            EXPECT_EQ(unsigned(iconv_code_point(pair, 2)), cp932_double_byte[cp932_pair_index(pair[0], pair[1])])
                << std::hex << lead << ' ' << trail;
        }
    }
    iconv_close(to_unicode);
}

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
