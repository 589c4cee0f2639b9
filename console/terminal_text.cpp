#include "console/terminal_text.h"

#include <algorithm>
#include <cstdint>

#include "console/cp932.h"

namespace {

constexpr char32_t replacement_character = 0xFFFD;

std::size_t put_utf8(char32_t code_point, char out[4])
{
    if (code_point < 0x80) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code_point >> 6));
        out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;  // code page 932 holds nothing beyond the basic plane
}

// Code page 932 form of a code point; 0 when it has none.
unsigned cp932_code_for(char32_t code_point)
{
    const cp932_mapping* end = std::end(cp932_by_code_point);
    const cp932_mapping* found = std::lower_bound(std::begin(cp932_by_code_point), end, code_point,
                                                  [](const cp932_mapping& m, char32_t u) { return m.code_point < u; });
    return found != end && found->code_point == code_point ? found->code : 0;
}

// Length of a UTF-8 sequence by its first byte; 0 when it cannot begin one.
std::size_t utf8_sequence_size(unsigned char first)
{
    if (first < 0x80) return 1;
    if (first >= 0xC2 && first <= 0xDF) return 2;
    if (first >= 0xE0 && first <= 0xEF) return 3;
    if (first >= 0xF0 && first <= 0xF4) return 4;
    return 0;
}

} // namespace

std::size_t cp932_char_to_utf8(const unsigned char* bytes, std::size_t size, char out[4], std::size_t& out_size)
{
    unsigned char first = bytes[0];
    if (!cp932_is_lead_byte(first)) {
        char32_t code_point = cp932_single_byte[first];
        if (code_point == 0 && first != 0) code_point = replacement_character;
        out_size = put_utf8(code_point, out);
        return 1;
    }
    if (size < 2 || !cp932_is_trail_byte(bytes[1])) {
        out_size = put_utf8(replacement_character, out);
        return 1;
    }
    char32_t code_point = cp932_double_byte[cp932_pair_index(first, bytes[1])];
    out_size = put_utf8(code_point != 0 ? code_point : replacement_character, out);
    // An undefined pair whose second byte is ASCII gives that byte back, so that
    // a lone lead byte never swallows a letter or a line break.
    return code_point == 0 && bytes[1] < 0x80 ? 1 : 2;
}

std::size_t utf8_to_cp932_in_place(char* bytes, std::size_t size, bool input_over, std::size_t& unfinished)
{
    auto* data = reinterpret_cast<unsigned char*>(bytes);
    std::size_t read = 0;
    std::size_t written = 0;
    unfinished = 0;
    while (read < size) {
        unsigned char first = data[read];
        std::size_t sequence = utf8_sequence_size(first);
        if (sequence == 1) {
            data[written++] = first;
            ++read;
            continue;
        }
        if (sequence == 0) {  // a stray continuation byte or a byte UTF-8 never uses
            data[written++] = '?';
            ++read;
            continue;
        }
        char32_t code_point = first & (0x7F >> sequence);
        std::size_t got = 1;
        while (got < sequence && read + got < size && (data[read + got] & 0xC0) == 0x80) {
            code_point = (code_point << 6) | (data[read + got] & 0x3F);
            ++got;
        }
        if (got < sequence && read + got == size && !input_over) {  // the rest is in the next read
            unfinished = got;
            std::copy(data + read, data + size, data + written);
            return written + got;
        }
        bool shortest_form = sequence < 3 || code_point >= (sequence == 3 ? 0x800u : 0x10000u);
        unsigned code = got == sequence && shortest_form ? cp932_code_for(code_point) : 0;
        if (code > 0xFF) {
            data[written++] = static_cast<unsigned char>(code >> 8);
            data[written++] = static_cast<unsigned char>(code & 0xFF);
        } else if (code != 0) {
            data[written++] = static_cast<unsigned char>(code);
        } else {
            data[written++] = '?';
        }
        read += got;
    }
    return written;
}
