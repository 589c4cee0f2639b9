// Code page 932 (Shift_JIS as Windows has it): the program's one text encoding.
//
// Texts are written in the source as readable Japanese and become code page 932
// bytes at compile time:
//
//     const char* greeting = "%s＞今日も良い天気じゃな。"_sj;   // 0x25 0x73 0x81 0x84 0x8D 0xA1 ...
//
// The encoder looks every character up in a table that the build makes from the
// C library's iconv, so g++ and clang++ give the same bytes, the 0x5C trail byte
// of 申 included. A character with no code page 932 form does not compile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cp932_by_code_point.h"  // generated: cp932_by_code_point[]

static_assert("あ"[0] == '\xE3' && "あ"[2] == '\x82', "source texts must be read and kept as UTF-8");

// ---- Byte classes ------------------------------------------------------------

// The first byte of a double-byte character.
constexpr bool cp932_is_lead_byte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

constexpr bool cp932_is_trail_byte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// One character of a piece of a print, left in code page 932 for a far side that
// converts it (the web page), but kept apart from the next piece: a lead byte that
// ends the piece leaves as 0x80, which the code page leaves undefined, as the
// tables show such a byte (U+FFFD), so that it never takes the first byte of the
// next piece as its second. Returns how many bytes it took; a console_port's
// output_encoder.
//     {0x82, 0xA0} -> 82 A0, takes 2          {0x82} at the end -> 80, takes 1
inline std::size_t cp932_char_kept_apart(const unsigned char* bytes, std::size_t size, char out[4], std::size_t& out_size)
{
    constexpr unsigned char undefined_byte = 0x80;
    const bool whole_pair = cp932_is_lead_byte(bytes[0]) && size >= 2;
    out[0] = static_cast<char>(cp932_is_lead_byte(bytes[0]) && !whole_pair ? undefined_byte : bytes[0]);
    if (whole_pair) out[1] = static_cast<char>(bytes[1]);
    out_size = whole_pair ? 2 : 1;
    return out_size;
}

// ---- UTF-8 and the table lookup, shared by the compile-time encoder and the edges --------

// One UTF-8 character at the start of a byte string. `size` is how many bytes it
// takes, and for a malformed sequence how many bytes make the one piece that is
// given up (the rule is at utf8_to_cp932_in_place): 1 for a byte that begins no
// character; for a lead byte, it and the continuation bytes after it, up to the
// length it announces, when they are too few or make an overlong form, a
// surrogate or a code point beyond U+10FFFF.
struct utf8_char {
    enum class kind : std::uint8_t { whole, malformed, cut_off } status;
    char32_t code_point;  // whole characters only
    std::size_t size;
};

// Decodes the character at the start of `bytes` (`size` > 0). `cut_off`: the bytes
// end after a lead byte and fewer continuation bytes than it announces, so more
// input decides (even ED A0, which can only become a surrogate: it is one piece
// either way).
//     utf8_decode("\xE3\x81\x82", 3)  ->  whole U+3042, 3 bytes
//     utf8_decode("\xE3\x81", 2)      ->  cut_off, 2 bytes
constexpr utf8_char utf8_decode(const char* bytes, std::size_t size)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return {utf8_char::kind::whole, first, 1};
    const std::size_t length = first >= 0xC2 && first <= 0xDF   ? 2
                               : first >= 0xE0 && first <= 0xEF ? 3
                               : first >= 0xF0 && first <= 0xF4 ? 4
                                                                : 0;
    if (length == 0) return {utf8_char::kind::malformed, 0, 1};  // a continuation byte, or one UTF-8 never uses
    char32_t code_point = first & (0x7F >> length);
    std::size_t got = 1;
    for (; got < length && got < size && (byte(got) & 0xC0) == 0x80; ++got)
        code_point = (code_point << 6) | (byte(got) & 0x3F);
    if (got < length) return {got == size ? utf8_char::kind::cut_off : utf8_char::kind::malformed, 0, got};
    const char32_t shortest = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
    if (code_point < shortest || (code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF)
        return {utf8_char::kind::malformed, 0, length};
    return {utf8_char::kind::whole, code_point, length};
}

// Characters that Japanese input methods and fonts give under their JIS forms,
// where code page 932 has the character under another code point. They are read
// as that character (typing 〜 gives the 0x8160 of ～); output keeps the code
// page's own forms.
inline constexpr cp932_mapping cp932_input_extras[] = {
    {0x00A2, 0x8191},  // ¢ CENT SIGN              as ￠
    {0x00A3, 0x8192},  // £ POUND SIGN             as ￡
    {0x00A5, 0x005C},  // ¥ YEN SIGN               as 0x5C, its JIS-Roman meaning
    {0x00AC, 0x81CA},  // ¬ NOT SIGN               as ￢
    {0x2014, 0x815C},  // — EM DASH                as ―
    {0x2016, 0x8161},  // ‖ DOUBLE VERTICAL LINE   as ∥
    {0x203E, 0x007E},  // ‾ OVERLINE               as 0x7E, its JIS-Roman meaning
    {0x2212, 0x817C},  // − MINUS SIGN             as －
    {0x301C, 0x8160},  // 〜 WAVE DASH              as ～
};

// The code page 932 code of a code point (one byte when below 0x100); 0 when the
// code page cannot hold it. Code points below 0x80 are their own codes.
constexpr unsigned cp932_code_for(char32_t code_point)
{
    if (code_point < 0x80) return code_point;
    std::size_t low = 0;
    std::size_t high = std::size(cp932_by_code_point);
    while (low < high) {
        std::size_t mid = (low + high) / 2;
        if (cp932_by_code_point[mid].code_point < code_point) low = mid + 1;
        else high = mid;
    }
    if (low < std::size(cp932_by_code_point) && cp932_by_code_point[low].code_point == code_point)
        return cp932_by_code_point[low].code;
    for (const cp932_mapping& extra : cp932_input_extras)
        if (extra.code_point == code_point) return extra.code;
    return 0;
}

// ---- Compile-time encoder ----------------------------------------------------

namespace cp932_detail {

// A string literal as a template argument.
template <std::size_t N>
struct utf8_literal {
    char bytes[N];
    consteval utf8_literal(const char (&text)[N])
    {
        for (std::size_t i = 0; i < N; ++i) bytes[i] = text[i];
    }
    constexpr std::size_t size() const { return N - 1; }
};

struct source_char {
    unsigned code;     // code page 932
    std::size_t size;  // UTF-8 bytes taken
};

constexpr source_char next_source_char(const char* text, std::size_t size)
{
    utf8_char c = utf8_decode(text, size);
    if (c.status != utf8_char::kind::whole) throw "a source text is not valid UTF-8";
    unsigned code = cp932_code_for(c.code_point);
    if (code == 0 && c.code_point != 0) throw "a source text holds a character that code page 932 cannot hold";
    return {code, c.size};
}

template <utf8_literal Text>
consteval std::size_t encoded_size()
{
    std::size_t size = 0;
    for (std::size_t at = 0; at < Text.size();) {
        source_char c = next_source_char(Text.bytes + at, Text.size() - at);
        size += c.code > 0xFF ? 2 : 1;
        at += c.size;
    }
    return size;
}

template <utf8_literal Text>
consteval auto encode()
{
    std::array<char, encoded_size<Text>() + 1> out{};
    std::size_t size = 0;
    for (std::size_t at = 0; at < Text.size();) {
        source_char c = next_source_char(Text.bytes + at, Text.size() - at);
        if (c.code > 0xFF) out[size++] = static_cast<char>(c.code >> 8);
        out[size++] = static_cast<char>(c.code & 0xFF);
        at += c.size;
    }
    return out;
}

template <utf8_literal Text>
inline constexpr auto encoded = encode<Text>();

} // namespace cp932_detail

// "…"_sj: the code page 932 bytes of a UTF-8 literal, NUL-terminated, in static storage.
template <cp932_detail::utf8_literal Text>
consteval const char* operator""_sj()
{
    return cp932_detail::encoded<Text>.data();
}

// ---- Run-time decoding table (for the UTF-8 terminal) -------------------------

inline constexpr std::size_t cp932_trails_per_lead = 0xFC - 0x40 + 1;
inline constexpr std::size_t cp932_pair_count = 60 * cp932_trails_per_lead;

// Position of a lead and trail byte pair in cp932_double_byte; both must be in range.
constexpr std::size_t cp932_pair_index(unsigned char lead, unsigned char trail)
{
    std::size_t row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
    return row * cp932_trails_per_lead + (trail - 0x40);
}

extern const std::uint16_t cp932_single_byte[256];
extern const std::uint16_t cp932_double_byte[cp932_pair_count];
