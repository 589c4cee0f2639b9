// Code page 932: the build's table against the C library's iconv, from which the
// build made it. The table is made on the build machine, so this runs where iconv is.
#include <iconv.h>

#include "console/cp932.h"
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

} // namespace
