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
#include <string_view>

#include "cp932_by_code_point.h"  // generated: cp932_by_code_point[]

static_assert("あ"[0] == '\xE3' && "あ"[2] == '\x82', "source texts must be read and kept as UTF-8");

// ---- Byte classes ------------------------------------------------------------

// The first byte of a double-byte character.
constexpr bool cp932_is_lead_byte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

constexpr bool cp932_is_trail_byte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

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
    constexpr std::string_view view() const { return {bytes, N - 1}; }
};

struct decoded_char {
    char32_t code_point;
    std::size_t size;  // UTF-8 bytes taken
};

constexpr decoded_char decode_utf8(std::string_view text, std::size_t at)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    unsigned char first = byte(0);
    if (first < 0x80) return {first, 1};
    std::size_t size = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
    if (at + size > text.size()) throw "truncated UTF-8 in a source text";
    char32_t code_point = first & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) code_point = (code_point << 6) | (byte(i) & 0x3F);
    return {code_point, size};
}

constexpr unsigned code_for(char32_t code_point)
{
    std::size_t low = 0;
    std::size_t high = std::size(cp932_by_code_point);
    while (low < high) {
        std::size_t mid = (low + high) / 2;
        if (cp932_by_code_point[mid].code_point < code_point) low = mid + 1;
        else high = mid;
    }
    if (low == std::size(cp932_by_code_point) || cp932_by_code_point[low].code_point != code_point)
        throw "a source text holds a character that code page 932 cannot hold";
    return cp932_by_code_point[low].code;
}

constexpr std::size_t encoded_size(std::string_view text)
{
    std::size_t size = 0;
    for (std::size_t at = 0; at < text.size();) {
        decoded_char c = decode_utf8(text, at);
        size += code_for(c.code_point) > 0xFF ? 2 : 1;
        at += c.size;
    }
    return size;
}

template <utf8_literal Text>
constexpr auto encode()
{
    std::array<char, encoded_size(Text.view()) + 1> out{};
    std::size_t size = 0;
    for (std::size_t at = 0; at < Text.view().size();) {
        decoded_char c = decode_utf8(Text.view(), at);
        unsigned code = code_for(c.code_point);
        if (code > 0xFF) out[size++] = static_cast<char>(code >> 8);
        out[size++] = static_cast<char>(code & 0xFF);
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
