#include "platform/posix/posix_console.h"

#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "console/platform.h"
#include "console/utf8_port.h"

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
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_until_ready(STDIN_FILENO, POLLIN)) continue;
        return 0;  // a read error counts as end of input
    }
}

console_port::write_outcome standard_streams::write_all(const char* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t put = ::write(STDOUT_FILENO, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_until_ready(STDOUT_FILENO, POLLOUT)) continue;
        if (put < 0 && errno == EPIPE) return write_outcome::reader_gone;
        if (put <= 0) return write_outcome::failed;
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

bool terminal_locale_is_utf8()
{
    const char* loaded = std::setlocale(LC_CTYPE, "");
    if (loaded == nullptr) {  // named but not installed: go by its name
        const char* name = ctype_locale_name();
        return is_plain_c_locale(name) || locale_name_is_utf8(name);
    }
    return is_plain_c_locale(loaded) || charset_is_utf8(nl_langinfo(CODESET));
}

// ---- The terminal's settings, put back on every way out -------------------------------------

namespace {

termios terminal_before;
bool terminal_changed = false;

void put_terminal_back()
{
    if (terminal_changed) ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal_before);
}

// Puts the terminal back, then ends the program by the same signal, so that the
// shell sees how it ended.
extern "C" void end_by_signal(int signal_number)
{
    put_terminal_back();
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);  // delivered when the handler returns
}

void put_terminal_back_on_signals()
{
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        ::sigaction(signal_number, nullptr, &before);
        if (before.sa_handler == SIG_IGN) continue;  // left ignored, as by nohup
        struct sigaction handler {};
        handler.sa_handler = end_by_signal;
        sigemptyset(&handler.sa_mask);
        ::sigaction(signal_number, &handler, nullptr);
    }
}

// Backspace over a typed Japanese character erases the whole character only when
// the line discipline knows the input is UTF-8.
void let_the_terminal_edit_utf8()
{
#ifdef IUTF8
    termios settings;
    if (::tcgetattr(STDIN_FILENO, &settings) != 0 || (settings.c_iflag & IUTF8) != 0) return;
    terminal_before = settings;
    put_terminal_back_on_signals();
    settings.c_iflag |= IUTF8;
    terminal_changed = ::tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
#endif
}

standard_streams streams;
utf8_port converted_streams{streams};

} // namespace

// ---- The platform -------------------------------------------------------------------------

console_port& platform_open_console(charset_choice charset, console_mode& mode)
{
    // A reader that leaves shows up as a failed write, which ends the conversation quietly.
    std::signal(SIGPIPE, SIG_IGN);
    mode.input_is_terminal = ::isatty(STDIN_FILENO) == 1;
    mode.output_is_terminal = ::isatty(STDOUT_FILENO) == 1;

    bool convert_input = charset == charset_choice::utf8;
    bool convert_output = charset == charset_choice::utf8;
    if (charset == charset_choice::automatic && (mode.input_is_terminal || mode.output_is_terminal) &&
        terminal_locale_is_utf8()) {
        convert_input = mode.input_is_terminal;
        convert_output = mode.output_is_terminal;
    }
    if (!convert_input && !convert_output) return streams;
    if (convert_input && mode.input_is_terminal) let_the_terminal_edit_utf8();
    converted_streams.convert(convert_input, convert_output);
    return converted_streams;
}

void platform_close_console() { put_terminal_back(); }

std::uint32_t platform_clock_seed() { return static_cast<std::uint32_t>(std::time(nullptr)); }

bool platform_takes_slash_help() { return false; }
