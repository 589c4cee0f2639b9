// Prints, as JSON, what the program's own code page 932 tables make of every input
// the web page converts itself, so that the page's conversion (the browser's
// decoder and the map built from it) can be held to them in each browser:
//
//   "shown": the text shown for each byte string printed as one piece: the 256
//            single bytes (index B), then the 65,536 pairs (index 256 + 256 * FIRST
//            + SECOND), each as a string of UTF-16 code units;
//   "typed": [code point, code] for every code point that typed reaches the program
//            as something other than '?' (code: one byte below 0x100, else two).
//
//   code_page_reference > reference.json
#include <cstdio>
#include <cstring>
#include <string>

#include "console/utf8_port.h"

namespace {

// The code points of a UTF-8 string of whole characters of the basic plane.
std::u32string code_points_of(const char* utf8, std::size_t size)
{
    std::u32string out;
    for (std::size_t at = 0; at < size;) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[at + i]); };
        if (byte(0) < 0x80) {
            out += byte(0);
            at += 1;
        } else if (byte(0) < 0xE0) {
            out += static_cast<char32_t>(((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F));
            at += 2;
        } else {
            out += static_cast<char32_t>(((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F));
            at += 3;
        }
    }
    return out;
}

// A piece of a print as the console shows it at a UTF-8 edge: one character at a time.
std::u32string shown(const unsigned char* bytes, std::size_t size)
{
    std::u32string text;
    while (size > 0) {
        char out[4];
        std::size_t out_size = 0;
        const std::size_t taken = cp932_char_to_utf8(bytes, size, out, out_size);
        text += code_points_of(out, out_size);
        bytes += taken;
        size -= taken;
    }
    return text;
}

void print_string(const std::u32string& text)
{
    std::putchar('"');
    for (char32_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') std::putchar(static_cast<int>(c));
        else std::printf("\\u%04X", static_cast<unsigned>(c));
    }
    std::putchar('"');
}

} // namespace

int main()
{
    std::printf("{\"shown\":[");
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char single[1] = {static_cast<unsigned char>(b)};
        print_string(shown(single, 1));
        std::putchar(',');
    }
    for (unsigned p = 0; p < 0x10000; ++p) {
        const unsigned char pair[2] = {static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(p & 0xFF)};
        if (p > 0) std::putchar(',');
        std::putchar('\n');
        print_string(shown(pair, 2));
    }
    std::printf("],\n\"typed\":[");
    bool first = true;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;  // no string of the page holds one whole
        char bytes[4];
        std::size_t size = 0;
        if (c < 0x10000) size = utf8_encode(c, bytes);
        else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
            size = 4;
        }
        std::size_t unfinished = 0;
        size = utf8_to_cp932_in_place(bytes, size, true, unfinished);
        if (size == 1 && bytes[0] == '?' && c != '?') continue;
        const unsigned code = size == 1 ? static_cast<unsigned char>(bytes[0])
                                        : (static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1]);
        std::printf("%s\n[%u,%u]", first ? "" : ",", static_cast<unsigned>(c), code);
        first = false;
    }
    std::printf("]}\n");
    return std::ferror(stdout) ? 1 : 0;
}
