// Build-time generator: asks the C library's iconv for the code page 932 table and
// writes it out as C++ data, so that texts written as readable Japanese can be
// encoded at compile time and decoded at the terminal without iconv at run time.
//
//   make_cp932_tables OUT_HEADER OUT_SOURCE
//
// OUT_HEADER gets cp932_by_code_point[], sorted by code point (for the compile-time
// encoder and the UTF-8 input side); OUT_SOURCE gets cp932_single_byte[] and
// cp932_double_byte[], the decoding tables used on the way out to UTF-8.
//
// Code points cross iconv as UTF-32BE, assembled byte by byte, so the tables are
// the same whatever the byte order of the machine that builds them.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

bool is_lead_byte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Converts one code page 932 character; 0 when iconv has no mapping for it.
char32_t decode(iconv_t cd, const unsigned char* bytes, size_t size)
{
    char in[2];
    std::memcpy(in, bytes, size);
    unsigned char out[4] = {};
    char* in_ptr = in;
    char* out_ptr = reinterpret_cast<char*>(out);
    size_t in_left = size;
    size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1) || in_left != 0 || out_left != 0)
        return 0;
    return char32_t{out[0]} << 24 | char32_t{out[1]} << 16 | char32_t{out[2]} << 8 | out[3];
}

// The code that iconv chooses for a code point (several codes can decode to the
// same code point; the encoder must produce the canonical one); 0 when none.
unsigned encode(iconv_t cd, char32_t code_point)
{
    char in[4] = {static_cast<char>(code_point >> 24), static_cast<char>(code_point >> 16),
                  static_cast<char>(code_point >> 8), static_cast<char>(code_point)};
    unsigned char out[4] = {};
    char* in_ptr = in;
    char* out_ptr = reinterpret_cast<char*>(out);
    size_t in_left = sizeof in;
    size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1))
        return 0;
    size_t written = sizeof out - out_left;
    if (written == 1) return out[0];
    if (written == 2) return (unsigned{out[0]} << 8) | out[1];
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUT_HEADER OUT_SOURCE\n", argv[0]);
        return 2;
    }
    iconv_t to_unicode = iconv_open("UTF-32BE", "CP932");
    iconv_t from_unicode = iconv_open("CP932", "UTF-32BE");
    if (to_unicode == reinterpret_cast<iconv_t>(-1) || from_unicode == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open CP932");
        return 1;
    }

    std::map<unsigned, char32_t> decoded;  // code -> code point
    for (unsigned b = 0; b < 0x100; ++b) {
        if (is_lead_byte(b)) continue;
        unsigned char byte = static_cast<unsigned char>(b);
        char32_t u = b == 0 ? 0 : decode(to_unicode, &byte, 1);
        if (b == 0 || u != 0) decoded[b] = u;
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!is_lead_byte(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            if (char32_t u = decode(to_unicode, pair, 2)) decoded[(lead << 8) | trail] = u;
        }
    }

    std::map<char32_t, unsigned> encoded;  // code point -> canonical code
    for (auto [code, u] : decoded) {
        if (encoded.count(u)) continue;
        unsigned canonical = u == 0 ? 0 : encode(from_unicode, u);
        if (u != 0 && canonical == 0) continue;
        encoded[u] = canonical;
    }
    iconv_close(to_unicode);
    iconv_close(from_unicode);

    FILE* header = std::fopen(argv[1], "w");
    FILE* source = std::fopen(argv[2], "w");
    if (!header || !source) {
        std::perror("open output");
        return 1;
    }
    std::fprintf(header,
                 "// Generated at build time from the C library's iconv (CP932). Do not edit.\n"
                 "#pragma once\n#include <cstdint>\n\n"
                 "struct cp932_mapping {\n    char32_t code_point;\n    std::uint16_t code;  // one byte when below 0x100\n};\n\n"
                 "// Every code point that code page 932 can hold, with the code iconv gives it; sorted.\n"
                 "inline constexpr cp932_mapping cp932_by_code_point[] = {\n");
    for (auto [u, code] : encoded) std::fprintf(header, "    {0x%04X, 0x%04X},\n", unsigned(u), code);
    std::fprintf(header, "};\n");

    std::fprintf(source,
                 "// Generated at build time from the C library's iconv (CP932). Do not edit.\n"
                 "#include \"console/cp932.h\"\n\n"
                 "// Code point of each single byte; 0 where the byte is a lead byte or unmapped (NUL maps to 0 too).\n"
                 "const std::uint16_t cp932_single_byte[256] = {\n");
    for (unsigned b = 0; b < 0x100; ++b) {
        auto it = decoded.find(b);
        std::fprintf(source, "%s0x%04X,%s", b % 8 == 0 ? "    " : " ", it == decoded.end() ? 0u : unsigned(it->second),
                     b % 8 == 7 ? "\n" : "");
    }
    std::fprintf(source,
                 "};\n\n// Code point of each double-byte character, indexed by cp932_pair_index(); 0 where unmapped.\n"
                 "const std::uint16_t cp932_double_byte[cp932_pair_count] = {\n");
    int column = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!is_lead_byte(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            auto it = decoded.find((lead << 8) | trail);
            std::fprintf(source, "%s0x%04X,%s", column == 0 ? "    " : " ", it == decoded.end() ? 0u : unsigned(it->second),
                         column == 7 ? "\n" : "");
            column = (column + 1) % 8;
        }
    }
    std::fprintf(source, "\n};\n");
    return (std::fclose(header) == 0 && std::fclose(source) == 0) ? 0 : 1;
}
