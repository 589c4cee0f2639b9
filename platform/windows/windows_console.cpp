// The program's console on Windows: standard input and output, each a console or
// a file or pipe.
//
// At a console the text goes through the console's wide-character interface, so
// Japanese shows whatever the console's code page is (932, 65001 or 437), and the
// code page is never touched: nothing is left changed when the program is closed
// or killed. The wide characters are turned into UTF-8 here and the UTF-8 into
// code page 932 by utf8_port, with the program's own tables: a character reaches
// the engine as the same bytes as at a UTF-8 terminal.
//
// Files and pipes carry code page 932 bytes in text mode as the C runtime defines
// it: every line feed written leaves as CR LF (the console core already reads CR LF
// as a line feed and stops a redirected input at 0x1A).
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "console/cp932.h"
#include "console/platform.h"
#include "console/utf8_port.h"

namespace {

// ---- UTF-16 and UTF-8 --------------------------------------------------------------------------

bool is_high_surrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-16 to UTF-8. Code page 932 holds nothing beyond the basic plane: a pair of
// surrogates, or half of one, becomes U+FFFD, which is read as one '?'.
std::size_t units_to_utf8(const wchar_t* units, std::size_t count, char* out)
{
    std::size_t size = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char32_t code_point = units[i];
        if (is_high_surrogate(units[i]) || is_low_surrogate(units[i])) {
            code_point = 0xFFFD;
            if (is_high_surrogate(units[i]) && i + 1 < count && is_low_surrogate(units[i + 1])) ++i;
        }
        size += utf8_encode(code_point, out + size);
    }
    return size;
}

// ---- Standard input and output -----------------------------------------------------------------

// The errno value that the C library gives a Windows error, for the program's
// "write error: ..." and "read error: ...".
int errno_of(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_ACCESS_DENIED: return EACCES;
    default: return EIO;
    }
}

constexpr std::size_t wide_capacity = 4096;  // UTF-16 units of one console read or write
// A console read as UTF-8: at most 3 bytes a unit. Outside the port, so that it
// takes no room in the program file.
char typed_text[wide_capacity * 3];

// Reads standard input and writes standard output. A direction that is `wide`
// goes through the console's wide-character interface and carries UTF-8 on this
// side; the others carry bytes as they are.
class standard_handles : public console_port {
public:
    void open(bool wide_input, bool wide_output)
    {
        input_ = ::GetStdHandle(STD_INPUT_HANDLE);
        output_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        wide_input_ = wide_input;
        wide_output_ = wide_output;
    }

    std::size_t read_some(char* into, std::size_t size) override
    {
        error_ = 0;
        if (!wide_input_) return read_bytes(into, size);
        if (typed_start_ == typed_end_ && !read_typed_text()) return 0;
        const std::size_t taken = size < typed_end_ - typed_start_ ? size : typed_end_ - typed_start_;
        std::memcpy(into, typed_text + typed_start_, taken);
        typed_start_ += taken;
        return taken;
    }

    write_outcome write_all(const char* bytes, std::size_t size) override
    {
        return wide_output_ ? write_wide(bytes, size) : write_text_mode(bytes, size);
    }

    int last_error() const override { return error_; }

private:
    std::size_t read_bytes(char* into, std::size_t size)
    {
        DWORD got = 0;
        const DWORD wanted = size < 0x10000000 ? static_cast<DWORD>(size) : 0x10000000;
        if (!::ReadFile(input_, into, wanted, &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) error_ = errno_of(error);  // else the end of input
            return 0;
        }
        return got;
    }

    // One read of the console, as UTF-8 in typed_text. False at the end of input.
    bool read_typed_text()
    {
        typed_start_ = 0;
        typed_end_ = 0;
        while (typed_end_ == 0) {
            wchar_t units[wide_capacity];
            std::size_t count = 0;
            if (carried_unit_ != 0) units[count++] = carried_unit_;
            carried_unit_ = 0;
            const DWORD got = read_console(units + count, wide_capacity - count);
            if (got == 0) return false;
            count += got;
            // The first half of a pair at the end waits for its second half.
            if (is_high_surrogate(units[count - 1])) carried_unit_ = units[--count];
            typed_end_ = units_to_utf8(units, count, typed_text);
        }
        return true;
    }

    // Up to `capacity` units typed at the console; 0 at the end of input. Ctrl-C ends
    // the program from a thread of its own while the read comes back empty: such a
    // read is tried again, a few times, rather than taken for the end.
    DWORD read_console(wchar_t* units, std::size_t capacity)
    {
        DWORD got = 0;
        for (int tries = 0; got == 0 && tries < 20; ++tries) {
            if (!::ReadConsoleW(input_, units, static_cast<DWORD>(capacity), &got, nullptr)) return 0;
            if (got == 0) ::Sleep(50);
        }
        return got;
    }

    // UTF-8 of whole characters (of the basic plane, as code page 932 decodes), to
    // the console in wide characters.
    write_outcome write_wide(const char* bytes, std::size_t size)
    {
        wchar_t units[wide_capacity];
        while (size > 0) {
            std::size_t count = 0;
            for (; size > 0 && count < wide_capacity; ++count) {
                const utf8_char c = utf8_decode(bytes, size);
                const bool basic = c.status == utf8_char::kind::whole && c.code_point < 0x10000;
                units[count] = static_cast<wchar_t>(basic ? c.code_point : 0xFFFD);
                bytes += c.size;
                size -= c.size;
            }
            for (const wchar_t* at = units; count > 0;) {
                DWORD put = 0;
                if (!::WriteConsoleW(output_, at, static_cast<DWORD>(count), &put, nullptr) || put == 0) {
                    error_ = errno_of(::GetLastError());
                    return write_outcome::failed;
                }
                at += put;
                count -= put;
            }
        }
        return write_outcome::written;
    }

    // Bytes to a file or pipe, each line feed as CR LF.
    write_outcome write_text_mode(const char* bytes, std::size_t size)
    {
        char text[wide_capacity];
        while (size > 0) {
            std::size_t count = 0;
            for (; size > 0 && count + 2 <= sizeof text; ++bytes, --size) {
                if (*bytes == '\n') text[count++] = '\r';
                text[count++] = *bytes;
            }
            write_outcome outcome = write_bytes(text, count);
            if (outcome != write_outcome::written) return outcome;
        }
        return write_outcome::written;
    }

    write_outcome write_bytes(const char* bytes, std::size_t size)
    {
        while (size > 0) {
            DWORD put = 0;
            if (!::WriteFile(output_, bytes, static_cast<DWORD>(size), &put, nullptr)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) return write_outcome::reader_gone;
                error_ = errno_of(error);
                return write_outcome::failed;
            }
            if (put == 0) {
                error_ = EIO;
                return write_outcome::failed;
            }
            bytes += put;
            size -= put;
        }
        return write_outcome::written;
    }

    HANDLE input_ = nullptr;
    HANDLE output_ = nullptr;
    bool wide_input_ = false;
    bool wide_output_ = false;
    std::size_t typed_start_ = 0;
    std::size_t typed_end_ = 0;
    wchar_t carried_unit_ = 0;
    int error_ = 0;  // an errno value, for last_error()
};

bool is_console(DWORD which)
{
    DWORD console_mode_bits = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &console_mode_bits) != 0;
}

standard_handles handles;
utf8_port converted_handles{handles};

} // namespace

// ---- The platform --------------------------------------------------------------------------------

console_port& platform_open_console(charset_choice charset, console_mode& mode)
{
    mode.input_is_terminal = is_console(STD_INPUT_HANDLE);
    mode.output_is_terminal = is_console(STD_OUTPUT_HANDLE);
    // A console always takes wide characters, whatever its code page: --charset
    // chooses only how redirected streams are written.
    handles.open(mode.input_is_terminal, mode.output_is_terminal);
    const bool convert_input = mode.input_is_terminal || charset == charset_choice::utf8;
    const bool convert_output = mode.output_is_terminal || charset == charset_choice::utf8;
    if (!convert_input && !convert_output) return handles;
    converted_handles.convert(convert_input, convert_output);
    return converted_handles;
}

void platform_close_console() {}  // the console's modes and code pages were never changed

bool platform_takes_slash_help() { return true; }

platform_help_lines platform_help()
{
    return {
        "  -h, -?, /?, --help     print this help and exit\n",
        "      --charset=CHARSET  how text is written to and read from a file or pipe;\n"
        "                         a console needs none (Japanese shows there whatever\n"
        "                         its code page):\n"
        "                           auto       Shift_JIS (code page 932) bytes\n"
        "                                      (the default)\n"
        "                           utf-8      UTF-8\n"
        "                           shift_jis  Shift_JIS bytes, as auto\n",
    };
}
