// The tests' own path between UTF-8 and code page 932, independent of the
// program's tables: the C library's iconv.
#include "tests/support.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

std::string convert(const char* to, const char* from, std::string_view text, bool strict)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string out;
    std::string in(text);
    char* in_ptr = in.data();
    size_t in_left = in.size();
    while (in_left > 0) {
        char buffer[256];
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            if (strict) throw std::runtime_error("iconv cannot convert: " + std::string(text));
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(*in_ptr));
            out += escaped;
            ++in_ptr;
            --in_left;
        }
    }
    return out;
}

} // namespace

std::string sjis(std::string_view utf8) { return convert("CP932", "UTF-8", utf8, true); }

std::string utf8(std::string_view cp932) { return convert("UTF-8", "CP932", cp932, true); }

std::optional<bool> system_says_lead_byte(unsigned char) { return std::nullopt; }  // iconv has no such test

std::string readable(std::string_view cp932) { return convert("UTF-8", "CP932", cp932, false); }

