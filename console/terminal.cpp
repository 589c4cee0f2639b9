#include "console/terminal.h"

#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <ctime>

std::size_t standard_streams::read_some(char* into, std::size_t size)
{
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;  // a read error counts as end of input
    }
}

console_port::write_outcome standard_streams::write_all(const char* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t put = ::write(STDOUT_FILENO, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno == EPIPE) return write_outcome::reader_gone;
        if (put <= 0) return write_outcome::failed;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return write_outcome::written;
}

namespace {

// The locale that the environment names for LC_CTYPE, by the usual precedence.
const char* ctype_locale_name()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "";
}

} // namespace

bool charset_is_utf8(const char* charset)
{
    // Compare letters and digits only, ignoring case: "UTF-8", "utf8" and "Utf_8" are one name.
    const char* wanted = "utf8";
    for (const char* p = charset; *p != '\0'; ++p) {
        char c = *p;
        if (c == '-' || c == '_') continue;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (*wanted == '\0' || c != *wanted) return false;
        ++wanted;
    }
    return *wanted == '\0';
}

bool locale_name_is_utf8(const char* name)
{
    // language_TERRITORY.charset@modifier
    const char* dot = std::strchr(name, '.');
    if (dot == nullptr) return false;
    char charset[32];
    std::size_t size = 0;
    for (const char* p = dot + 1; *p != '\0' && *p != '@'; ++p) {
        if (size + 1 == sizeof charset) return false;
        charset[size++] = *p;
    }
    charset[size] = '\0';
    return charset_is_utf8(charset);
}

console_mode detect_console_mode()
{
    bool input_terminal = ::isatty(STDIN_FILENO) == 1;
    bool output_terminal = ::isatty(STDOUT_FILENO) == 1;
    bool utf8 = false;
    if (input_terminal || output_terminal) {
        if (std::setlocale(LC_CTYPE, "") != nullptr) utf8 = charset_is_utf8(nl_langinfo(CODESET));
        else utf8 = locale_name_is_utf8(ctype_locale_name());  // named but not installed
    }
    return {input_terminal, input_terminal && utf8, output_terminal && utf8};
}

unsigned clock_seed() { return static_cast<unsigned>(std::time(nullptr)); }
