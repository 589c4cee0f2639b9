// The tests' own path between UTF-8 and code page 932 on Windows, independent of
// the program's tables: the system's conversion (which the program never uses).
#include "tests/support.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr UINT code_page_932 = 932;

std::wstring to_wide(UINT code_page, std::string_view text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units == 0) throw std::runtime_error("cannot convert: " + std::string(text));
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), units);
    return wide;
}

std::string from_wide(UINT code_page, const std::wstring& wide)
{
    if (wide.empty()) return {};
    const int units = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    BOOL* lossy_flag = code_page == CP_UTF8 ? nullptr : &lossy;  // UTF-8 takes no default character
    const DWORD flags = code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = ::WideCharToMultiByte(code_page, flags, wide.data(), units, nullptr, 0, nullptr, lossy_flag);
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(code_page, flags, wide.data(), units, text.data(), size, nullptr, lossy_flag);
    if (size == 0 || lossy) throw std::runtime_error("cannot convert to code page " + std::to_string(code_page));
    return text;
}

} // namespace

std::string sjis(std::string_view utf8) { return from_wide(code_page_932, to_wide(CP_UTF8, utf8)); }

std::string utf8(std::string_view cp932) { return from_wide(CP_UTF8, to_wide(code_page_932, cp932)); }

std::optional<bool> system_says_lead_byte(unsigned char b) { return ::IsDBCSLeadByteEx(code_page_932, b) != 0; }

std::string readable(std::string_view cp932)
{
    std::string out;
    for (std::size_t at = 0; at < cp932.size();) {
        const bool pair = ::IsDBCSLeadByteEx(code_page_932, static_cast<BYTE>(cp932[at])) && at + 1 < cp932.size();
        const std::size_t size = pair ? 2 : 1;
        try {
            out += utf8(cp932.substr(at, size));
        } catch (const std::runtime_error&) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(cp932[at]));
            out += escaped;
            at += 1;
            continue;
        }
        at += size;
    }
    return out;
}
