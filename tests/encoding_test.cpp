// Code page 932: known characters written out by hand, the compile-time encoder,
// and the conversions used at a UTF-8 terminal (the build's table against iconv
// is in cp932_table_test.cpp).
#include <cstring>

#include "console/cp932.h"
#include "console/utf8_port.h"
#include "tests/support.h"

namespace {

// ---- Known characters of the code page, written out by hand ------------------------------
// The table is made from iconv, so its comparison with iconv cannot see a fault that iconv
// shares with it; these pairs come from the code page itself.

// A code point, the code the encoder must give it, and the other codes that decode
// to it (0: none). Where a character has several codes, the encoder gives the one
// of row 2 before the NEC row 13 (0x87xx), the NEC row 13 before the IBM
// extensions (0xFA-0xFC), and the IBM extensions before their NEC-selected copies
// (0xED-0xEE).
struct known_character {
    char32_t code_point;
    unsigned code;
    unsigned also_from[2];
};

constexpr known_character known_characters[] = {
    // One byte: ASCII as it is (0x5C and 0x7E included), half-width katakana.
    {U'A',      0x41,   {}},
    {U'\\',     0x5C,   {}},
    {U'~',      0x7E,   {}},
    {U'｡',      0xA1,   {}},
    {U'ｱ',      0xB1,   {}},
    {U'ﾟ',      0xDF,   {}},
    // Kana, some with a trail byte in the ASCII range.
    {U'あ',     0x82A0, {}},
    {U'ん',     0x82F1, {}},
    {U'ア',     0x8341, {}},
    {U'ソ',     0x835C, {}},
    {U'ヴ',     0x8394, {}},
    {U'ー',     0x815B, {}},
    // Kanji: the first and last of each level, and the trail byte 0x5C.
    {U'亜',     0x889F, {}},
    {U'腕',     0x9872, {}},
    {U'弌',     0x989F, {}},
    {U'熙',     0xEAA4, {}},
    {U'鬼',     0x8B53, {}},
    {U'瓦',     0x8AA2, {}},
    {U'申',     0x905C, {}},
    {U'能',     0x945C, {}},
    // Symbols, the full-width forms the program prints among them.
    {U'　',     0x8140, {}},
    {U'・',     0x8145, {}},
    {U'＼',     0x815F, {}},
    {U'～',     0x8160, {}},
    {U'∥',     0x8161, {}},
    {U'－',     0x817C, {}},
    {U'＞',     0x8184, {}},
    {U'￠',     0x8191, {}},
    {U'￡',     0x8192, {}},
    {U'〒',     0x81A7, {}},
    {U'①',     0x8740, {}},
    // NEC row 13 only.
    {U'∮',     0x8793, {}},
    {U'∑',     0x8794, {}},
    {U'∟',     0x8798, {}},
    {U'⊿',     0x8799, {}},
    // Row 2, and again in the NEC row 13 (and the IBM extensions).
    {U'￢',     0x81CA, {0xEEF9, 0xFA54}},
    {U'∵',     0x81E6, {0x879A, 0xFA5B}},
    {U'≒',     0x81E0, {0x8790}},
    {U'≡',     0x81DF, {0x8791}},
    {U'∫',     0x81E7, {0x8792}},
    {U'√',     0x81E3, {0x8795}},
    {U'⊥',     0x81DB, {0x8796}},
    {U'∠',     0x81DA, {0x8797}},
    {U'∩',     0x81BF, {0x879B}},
    {U'∪',     0x81BE, {0x879C}},
    // NEC row 13, and again in the IBM extensions.
    {U'Ⅰ',     0x8754, {0xFA4A}},
    {U'Ⅹ',     0x875D, {0xFA53}},
    {U'№',     0x8782, {0xFA59}},
    {U'℡',     0x8784, {0xFA5A}},
    {U'㈱',     0x878A, {0xFA58}},
    // IBM extensions, and again among the NEC-selected ones.
    {U'ⅰ',     0xFA40, {0xEEEF}},
    {U'ⅹ',     0xFA49, {0xEEF8}},
    {U'￤',     0xFA55, {0xEEFA}},
    {U'＇',     0xFA56, {0xEEFB}},
    {U'＂',     0xFA57, {0xEEFC}},
    {U'纊',     0xFA5C, {0xED40}},
    {U'﨑',     0xFAB1, {0xED95}},
    {U'髙',     0xFBFC, {0xEEE0}},
    {U'\uFA2D', 0xFC49, {0xEEEA}},  // 鶴, its compatibility form
};

// The code point that the decoding tables give a code of one or two bytes.
char32_t decoded(unsigned code)
{
    if (code <= 0xFF) return cp932_single_byte[code];
    return cp932_double_byte[cp932_pair_index(static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code))];
}

TEST(Cp932Table, KnownCharacters)
{
    for (const known_character& c : known_characters) {
        SCOPED_TRACE(testing::Message() << std::hex << "U+" << unsigned(c.code_point));
        EXPECT_EQ(c.code, cp932_code_for(c.code_point));
        EXPECT_EQ(c.code_point, decoded(c.code));
        for (unsigned also : c.also_from) {
            if (also == 0) continue;
            EXPECT_EQ(c.code_point, decoded(also)) << std::hex << also;
        }
    }
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
