#include "platform/posix/posix_console.h"

#include <langinfo.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "console/platform.h"
#include "console/utf8_port.h"
#include "platform/posix/edited_terminal.h"
#include "platform/posix/terminal.h"

// ---- Standard input and output --------------------------------------------------------

namespace {

// Waits until `fd` is ready for `events`, for a stream that another program left
// non-blocking. False when it never will be.
bool wait_until_ready(int fd, short events)
{
    pollfd watched{fd, events, 0};
    for (;;) {
        int ready = ::poll(&watched, 1, -1);
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

} // namespace

std::size_t standard_streams::read_some(char* into, std::size_t size)
{
    error_ = 0;
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_until_ready(STDIN_FILENO, POLLIN)) continue;
        error_ = errno;
        return 0;
    }
}

console_port::write_outcome standard_streams::write_all(const char* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t put = ::write(STDOUT_FILENO, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_until_ready(STDOUT_FILENO, POLLOUT)) continue;
        if (put < 0 && errno == EPIPE) return write_outcome::reader_gone;
        if (put <= 0) {
            error_ = put < 0 ? errno : EIO;
            return write_outcome::failed;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return write_outcome::written;
}

// ---- The locale ---------------------------------------------------------------------------

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

bool is_plain_c_locale(const char* name)
{
    return *name == '\0' || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
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
    // language_TERRITORY.charset@modifier, or a charset alone: "UTF-8" is what a Mac
    // sends over ssh, and no locale of that name exists on Linux.
    const char* dot = std::strchr(name, '.');
    const char* charset_start = dot != nullptr ? dot + 1 : name;
    char charset[32];
    std::size_t size = 0;
    for (const char* p = charset_start; *p != '\0' && *p != '@'; ++p) {
        if (size + 1 == sizeof charset) return false;
        charset[size++] = *p;
    }
    charset[size] = '\0';
    return charset_is_utf8(charset);
}

bool terminal_locale_is_utf8()
{
    const char* loaded = std::setlocale(LC_CTYPE, "");
    if (loaded == nullptr) {  // named but not installed: go by its name
        const char* name = ctype_locale_name();
        return is_plain_c_locale(name) || locale_name_is_utf8(name);
    }
    return is_plain_c_locale(loaded) || charset_is_utf8(nl_langinfo(CODESET));
}

// ---- Which streams are converted, and how typing reaches the program ------------------------

namespace {

standard_streams streams;
utf8_port converted_streams{streams};
edited_terminal edited_streams;
utf8_port converted_edited_streams{edited_streams};

// Standard input and standard output are one terminal, where the editor's echo is
// seen beside what the program prints.
bool one_terminal()
{
    struct stat in {};
    struct stat out {};
    return ::fstat(STDIN_FILENO, &in) == 0 && ::fstat(STDOUT_FILENO, &out) == 0 && S_ISCHR(in.st_mode) &&
           in.st_rdev == out.st_rdev;
}

// TERM names a terminal that moves its cursor as a VT100 does: every one but a
// dumb one, or one that nobody named.
bool terminal_moves_its_cursor()
{
    const char* term = std::getenv("TERM");
    return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0 && std::strcmp(term, "unknown") != 0;
}

// The C library knows how many columns a terminal gives each character once
// LC_CTYPE is a UTF-8 locale. Where the environment names none (C, POSIX) or one
// that is not installed, C.UTF-8 is taken.
bool columns_known()
{
    const char* loaded = std::setlocale(LC_CTYPE, "");
    if (loaded == nullptr || !charset_is_utf8(nl_langinfo(CODESET))) loaded = std::setlocale(LC_CTYPE, "C.UTF-8");
    return loaded != nullptr && charset_is_utf8(nl_langinfo(CODESET)) && ::wcwidth(L'あ') == 2 && ::wcwidth(L'a') == 1;
}

int terminal_columns(char32_t code_point) { return ::wcwidth(static_cast<wchar_t>(code_point)); }

} // namespace

// ---- The platform -------------------------------------------------------------------------

console_port& platform_open_console(charset_choice charset, console_mode& mode)
{
    // A reader that leaves shows up as a failed write, which ends the conversation quietly.
    std::signal(SIGPIPE, SIG_IGN);
    mode.input_is_terminal = ::isatty(STDIN_FILENO) == 1;
    mode.output_is_terminal = ::isatty(STDOUT_FILENO) == 1;

    // One terminal, one charset: a pipe beside a UTF-8 terminal (onigawara | tee log)
    // carries what the terminal shows.
    const bool at_a_terminal = mode.input_is_terminal || mode.output_is_terminal;
    const bool utf8 = charset == charset_choice::utf8 ||
                      (charset == charset_choice::automatic && at_a_terminal && terminal_locale_is_utf8());
    if (!utf8) return streams;

    // Lines typed at the terminal are edited by the program; elsewhere (a dumb
    // terminal, output elsewhere) by the terminal.
    if (mode.input_is_terminal && mode.output_is_terminal && one_terminal() && terminal_moves_its_cursor() &&
        columns_known() && terminal_take(terminal_input::keys)) {
        edited_streams.set_up(terminal_setup_now(), terminal_columns);
        converted_edited_streams.convert(false, true);  // the editor hands over code page 932
        return converted_edited_streams;
    }
    if (mode.input_is_terminal) terminal_take(terminal_input::lines);
    converted_streams.convert(true, true);
    return converted_streams;
}

void platform_close_console() { terminal_give_back(); }

bool platform_takes_slash_help() { return false; }

platform_help_lines platform_help()
{
    return {
        "  -h, --help             print this help and exit\n",
        "      --charset=CHARSET  how standard input and output carry text:\n"
        "                           auto       UTF-8 on both streams when either is a\n"
        "                                      terminal whose locale is UTF-8, C or\n"
        "                                      POSIX; Shift_JIS bytes otherwise, and\n"
        "                                      when neither is a terminal (the default)\n"
        "                           utf-8      UTF-8, terminal, pipe or file alike\n"
        "                           shift_jis  Shift_JIS (code page 932) bytes as they\n"
        "                                      are, even at a UTF-8 terminal\n",
    };
}
