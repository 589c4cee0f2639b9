#include "platform/posix/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// The terminal is touched from the foreground only. From the background the shell
// has already put its own settings back, and tcsetattr() there would stop the
// program with SIGTTOU: a stopped game that `kill %1` continues must end, not stop
// again. After `fg` the shell hands over its own settings, so the game's are set
// again when the program is continued in the foreground.

namespace {

volatile sig_atomic_t game_wants_terminal = 0;  // between terminal_take and terminal_give_back
volatile sig_atomic_t keys_wanted = 0;          // terminal_input::keys
volatile sig_atomic_t terminal_changed = 0;     // the game changed the settings, and terminal_before is how they were
volatile sig_atomic_t settings_in_force = 0;    // the terminal has the game's settings
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t continued = 0;
termios terminal_before;
termios settings_at_start;  // for the keys of the signals and of end of input
// Blocked while a handler runs, and while the program itself changes the terminal:
// every handled signal, so that no handler interrupts another, and SIGTTOU, so that
// a program sent to the background between its look at the foreground and its
// tcsetattr() goes on rather than stopping. Filled before any handler is set.
sigset_t signals_held_off;
// A stack of its own for the handler of a crash, which may come from a stack that is full.
alignas(16) char crash_stack[64 * 1024];

bool in_foreground()
{
    const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
    return foreground != -1 && foreground == ::getpgrp();
}

// The terminal's settings for the game: IUTF8, so that the terminal's own line
// editing erases a whole Japanese character; for the program's line editor, keys
// one at a time, no echo, and no signal or quoting from a key (the editor sends
// the signals itself, so that Ctrl-V can quote the key of one). Output is as it
// was: a line feed still reaches the screen as CR LF.
termios game_settings(termios settings)
{
#ifdef IUTF8
    settings.c_iflag |= IUTF8;
#endif
    if (keys_wanted) {
        settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
    }
    return settings;
}

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

void put_terminal_back()
{
    if (terminal_changed && in_foreground()) ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal_before);
    terminal_changed = 0;
    settings_in_force = 0;
}

// True when the terminal has the game's settings afterwards.
bool set_game_settings()
{
    if (!game_wants_terminal || !in_foreground()) return false;
    termios settings;
    if (::tcgetattr(STDIN_FILENO, &settings) != 0) return false;
    const termios wanted = game_settings(settings);
    if (!same_settings(settings, wanted)) {
        terminal_before = settings;
        terminal_changed = ::tcsetattr(STDIN_FILENO, TCSANOW, &wanted) == 0;
        if (!terminal_changed) return false;
    }
    settings_in_force = 1;
    return true;
}

void set_handler(int signal_number, void (*handler)(int), int flags)
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = signals_held_off;
    action.sa_flags = flags;
    ::sigaction(signal_number, &action, nullptr);
}

// Lets `signal_number` act on the program as it does by default, now: from a
// handler, where it is blocked, it is unblocked first.
void act_by_default(int signal_number)
{
    set_handler(signal_number, SIG_DFL, 0);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    ::sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    ::raise(signal_number);
}

// Every signal whose default action ends the program (SIGPIPE apart, which the
// program ignores: a reader that leaves ends the game quietly): the terminal is put
// back, then the signal ends the program, so that the shell sees how it ended.
extern "C" void end_by_signal(int signal_number)
{
    const int saved_errno = errno;
    put_terminal_back();
    act_by_default(signal_number);  // does not come back
    errno = saved_errno;
}

// SIGTSTP (Ctrl-Z): puts the terminal back, then stops. Once continued, by `fg` or
// by a `kill %1` that is to end it, the program takes the terminal again if it is in
// the foreground.
extern "C" void stop_by_signal(int signal_number)
{
    const int saved_errno = errno;
    put_terminal_back();
    act_by_default(signal_number);  // stopped here until continued
    set_handler(signal_number, stop_by_signal, SA_RESTART);
    set_game_settings();
    errno = saved_errno;
}

// SIGCONT: continued after any stop (Ctrl-Z, SIGSTOP, or SIGTTIN when a job in
// the background reads the terminal). It interrupts the read it stopped in.
extern "C" void continue_after_stop(int)
{
    const int saved_errno = errno;
    set_game_settings();
    continued = 1;
    errno = saved_errno;
}

extern "C" void note_resize(int) { resized = 1; }

constexpr int ending_signals[] = {
    SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef __linux__  // elsewhere SIGIO is ignored by default, and SIGPWR may not be there
    SIGIO, SIGPWR, SIGSTKFLT,
#endif
};
// A crash: its handler runs on a stack of its own.
constexpr int crash_signals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};

// Calls `act` on every signal that ends the program, and tells whether it is a crash.
template <class Act>
void for_each_ending_signal(Act act)
{
    for (int s : ending_signals) act(s, false);
    for (int s : crash_signals) act(s, true);
#ifdef SIGRTMIN
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) act(s, false);
#endif
}

// Sets `handler` for `signal_number` unless it was left ignored (as nohup leaves SIGHUP).
void handle_unless_ignored(int signal_number, void (*handler)(int), int flags)
{
    struct sigaction found {};
    ::sigaction(signal_number, nullptr, &found);
    if (found.sa_handler != SIG_IGN) set_handler(signal_number, handler, flags);
}

unsigned char key_or_none(cc_t key)
{
    return key == _POSIX_VDISABLE ? 0xFF : static_cast<unsigned char>(key);  // 0xFF is never a key here
}

} // namespace

bool terminal_take(terminal_input input)
{
    sigemptyset(&signals_held_off);
    for_each_ending_signal([](int s, bool) { sigaddset(&signals_held_off, s); });
    for (int s : {SIGTSTP, SIGCONT, SIGTTOU, SIGWINCH}) sigaddset(&signals_held_off, s);
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &signals_held_off, &before);

    keys_wanted = input == terminal_input::keys;
    game_wants_terminal = 1;
    if (::tcgetattr(STDIN_FILENO, &settings_at_start) != 0 ||
        (!set_game_settings() && in_foreground() && keys_wanted)) {
        game_wants_terminal = 0;
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        return false;
    }
    stack_t crash_stack_area{};
    crash_stack_area.ss_sp = crash_stack;
    crash_stack_area.ss_size = sizeof crash_stack;
    ::sigaltstack(&crash_stack_area, nullptr);
    for_each_ending_signal([](int s, bool crash) { handle_unless_ignored(s, end_by_signal, crash ? SA_ONSTACK : SA_RESTART); });
    handle_unless_ignored(SIGTSTP, stop_by_signal, SA_RESTART);
    handle_unless_ignored(SIGCONT, continue_after_stop, 0);
    if (keys_wanted) handle_unless_ignored(SIGWINCH, note_resize, 0);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    return true;
}

void terminal_give_back()
{
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &signals_held_off, &before);
    game_wants_terminal = 0;
    put_terminal_back();
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

line_editor::terminal_setup terminal_setup_now()
{
    const termios& s = settings_at_start;
    line_editor::terminal_setup setup;
    setup.interrupt = key_or_none(s.c_cc[VINTR]);
    setup.quit = key_or_none(s.c_cc[VQUIT]);
    setup.suspend = key_or_none(s.c_cc[VSUSP]);
    setup.end_of_input = key_or_none(s.c_cc[VEOF]);
#ifdef ECHOCTL
    setup.echo = (s.c_lflag & ECHO) != 0 && (s.c_lflag & ECHOCTL) != 0;
#else
    setup.echo = (s.c_lflag & ECHO) != 0;
#endif
    setup.line_feed_returns = (s.c_oflag & OPOST) != 0 && (s.c_oflag & ONLCR) != 0;
    return setup;
}

int terminal_width()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

void terminal_send_signal(int signal_number) { ::kill(0, signal_number); }

bool terminal_was_resized()
{
    const bool was = resized != 0;
    resized = 0;
    return was;
}

bool terminal_was_continued()
{
    const bool was = continued != 0;
    continued = 0;
    return was;
}

bool terminal_is_ours() { return settings_in_force && in_foreground(); }

void terminal_hold_resizes(sigset_t& before)
{
    sigset_t resizes;
    sigemptyset(&resizes);
    sigaddset(&resizes, SIGWINCH);
    ::sigprocmask(SIG_BLOCK, &resizes, &before);
}
