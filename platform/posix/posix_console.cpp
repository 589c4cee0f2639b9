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

// ---- The terminal's settings: IUTF8 while the game has the terminal ----------------------
//
// Backspace over a typed Japanese character erases the whole character only when
// the line discipline knows that input is UTF-8 (IUTF8). The program sets it while
// it is the terminal's foreground job, and puts the terminal back as it found it
// whenever it lets the terminal go: at its end, when a signal ends it, and when
// Ctrl-Z stops it. After `fg` the shell hands over its own settings, so IUTF8 is
// set again when the program is continued in the foreground.
//
// The terminal is touched from the foreground only. From the background the shell
// has already put its own settings back, and tcsetattr() there would stop the
// program with SIGTTOU: a stopped game that `kill %1` continues must end, not stop
// again. The signal handlers below call only async-signal-safe functions.

namespace {

volatile sig_atomic_t wants_utf8_editing = 0;  // input is read as UTF-8 from this terminal
volatile sig_atomic_t terminal_changed = 0;    // IUTF8 was set, and terminal_before is how it was
termios terminal_before;
// Blocked while a handler runs, and while the program itself changes the terminal:
// every handled signal, so that no handler interrupts another, and SIGTTOU, so that
// a program sent to the background between its look at the foreground and its
// tcsetattr() goes on rather than stopping. Filled before any handler is set.
sigset_t signals_held_off;

bool in_foreground()
{
    const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
    return foreground != -1 && foreground == ::getpgrp();
}

void put_terminal_back()
{
    if (terminal_changed && in_foreground()) ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal_before);
    terminal_changed = 0;
}

void set_utf8_editing()
{
#ifdef IUTF8
    if (!wants_utf8_editing || !in_foreground()) return;
    termios settings;
    if (::tcgetattr(STDIN_FILENO, &settings) != 0 || (settings.c_iflag & IUTF8) != 0) return;
    terminal_before = settings;
    settings.c_iflag |= IUTF8;
    terminal_changed = ::tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
#endif
}

void set_handler(int signal_number, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = signals_held_off;
    action.sa_flags = SA_RESTART;
    ::sigaction(signal_number, &action, nullptr);
}

// Lets `signal_number` act on the program as it does by default, now: from a
// handler, where it is blocked, it is unblocked first.
void act_by_default(int signal_number)
{
    set_handler(signal_number, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    ::sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    ::raise(signal_number);
}

// SIGINT, SIGTERM, ...: puts the terminal back, then ends the program by the same
// signal, so that the shell sees how it ended.
extern "C" void end_by_signal(int signal_number)
{
    const int saved_errno = errno;
    put_terminal_back();
    act_by_default(signal_number);  // does not come back
    errno = saved_errno;
}

// SIGTSTP (Ctrl-Z): puts the terminal back, then stops. Once continued, by `fg` or
// by a `kill %1` that is to end it, the program takes IUTF8 again if it is in the
// foreground.
extern "C" void stop_by_signal(int signal_number)
{
    const int saved_errno = errno;
    put_terminal_back();
    act_by_default(signal_number);  // stopped here until continued
    set_handler(signal_number, stop_by_signal);
    set_utf8_editing();
    errno = saved_errno;
}

// SIGCONT: continued after a stop that was not Ctrl-Z's (SIGSTOP, or SIGTTIN when a
// job in the background reads the terminal).
extern "C" void continue_after_stop(int)
{
    const int saved_errno = errno;
    set_utf8_editing();
    errno = saved_errno;
}

struct signal_handling {
    int signal_number;
    void (*handler)(int);
};

constexpr signal_handling handled_signals[] = {
    {SIGINT,  end_by_signal},
    {SIGTERM, end_by_signal},
    {SIGHUP,  end_by_signal},
    {SIGQUIT, end_by_signal},
    {SIGALRM, end_by_signal},
    {SIGUSR1, end_by_signal},
    {SIGUSR2, end_by_signal},
    {SIGTSTP, stop_by_signal},
    {SIGCONT, continue_after_stop},
};

// Handles the signals above, each unless it was left ignored (as nohup leaves
// SIGHUP), and sets IUTF8 now if the program is in the foreground.
void keep_utf8_editing_while_in_foreground()
{
    sigemptyset(&signals_held_off);
    for (const signal_handling& h : handled_signals) sigaddset(&signals_held_off, h.signal_number);
    sigaddset(&signals_held_off, SIGTTOU);
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &signals_held_off, &before);
    wants_utf8_editing = 1;
    for (const signal_handling& h : handled_signals) {
        struct sigaction found {};
        ::sigaction(h.signal_number, nullptr, &found);
        if (found.sa_handler != SIG_IGN) set_handler(h.signal_number, h.handler);
    }
    set_utf8_editing();
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

void let_the_terminal_go()
{
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &signals_held_off, &before);
    wants_utf8_editing = 0;
    put_terminal_back();
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
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
    if (convert_input && mode.input_is_terminal) keep_utf8_editing_while_in_foreground();
    converted_streams.convert(convert_input, convert_output);
    return converted_streams;
}

void platform_close_console() { let_the_terminal_go(); }

bool platform_takes_slash_help() { return false; }

platform_help_lines platform_help()
{
    return {
        "  -h, --help             print this help and exit\n",
        "      --charset=CHARSET  how standard input and output carry text:\n"
        "                           auto       UTF-8 at a terminal whose locale is\n"
        "                                      UTF-8, C or POSIX; Shift_JIS bytes\n"
        "                                      otherwise, and in pipes and files\n"
        "                                      (the default)\n"
        "                           utf-8      UTF-8, terminal, pipe or file alike\n"
        "                           shift_jis  Shift_JIS (code page 932) bytes as they\n"
        "                                      are, even at a UTF-8 terminal\n",
    };
}
