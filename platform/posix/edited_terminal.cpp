#include "platform/posix/edited_terminal.h"

#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/terminal.h"

namespace {

// The editor's own drawing goes straight to the terminal. A failure there is left
// to the program's next print, which ends the game.
void write_to_terminal(const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes, size);
        if (put < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (put <= 0) return;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
}

// The editor and its buffers stand outside the port, all zero until the port is set
// up, so that they take no room in the program file.
screen_text screen;
line_editor editor;
// What the program has printed since its last line break: the prompt, in UTF-8.
char row[512];
std::size_t row_size = 0;
// Keys read and not yet taken: the rest of a paste, or half an escape sequence.
char keys[4096];
std::size_t keys_start = 0;
std::size_t keys_end = 0;
// The line entered and its line feed, as the console takes it.
char entered[line_editor::line_room + 1];
std::size_t entered_start = 0;
std::size_t entered_end = 0;

// How long the rest of an escape sequence may take to arrive before the Escape
// key is taken as pressed alone.
constexpr long escape_wait_microseconds = 100'000;

// Keeps the text after the last line break written: where the next line typed begins.
void follow_row(const char* bytes, std::size_t size)
{
    std::size_t row_begins = size;
    while (row_begins > 0 && bytes[row_begins - 1] != '\n' && bytes[row_begins - 1] != '\r') --row_begins;
    if (row_begins > 0) row_size = 0;
    const std::size_t kept = std::min(size - row_begins, sizeof row - row_size);
    std::memcpy(row + row_size, bytes + row_begins, kept);
    row_size += kept;
}

} // namespace

void edited_terminal::set_up(const line_editor::terminal_setup& setup, column_rule columns)
{
    screen.set_writer(write_to_terminal);
    editor.set_up(setup);
    editor.set_column_rule(columns);
}

std::size_t edited_terminal::read_some(char* into, std::size_t size)
{
    error_ = 0;
    if (entered_start == entered_end && !edit_line()) return 0;
    const std::size_t taken = std::min(size, entered_end - entered_start);
    std::memcpy(into, entered + entered_start, taken);
    entered_start += taken;
    return taken;
}

console_port::write_outcome edited_terminal::write_all(const char* bytes, std::size_t size)
{
    follow_row(bytes, size);
    return standard_streams::write_all(bytes, size);
}

// Edits one line until Enter, and leaves it with its line feed in entered. False
// at end of input (Ctrl-D on an empty line, or the terminal gone) or on a read error.
bool edited_terminal::edit_line()
{
    sigset_t before;
    terminal_hold_resizes(before);
    terminal_was_resized();  // what happened before this line is drawn already
    terminal_was_continued();
    editor.begin(limit_, row, row_size, terminal_width(), screen);
    bool pause = false;
    bool entered = false;
    bool going_on = true;
    while (going_on) {
        going_on = take_keys(pause, entered);
        screen.flush();
        if (going_on) going_on = wait_for_keys(pause, before);
    }
    screen.flush();
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    return entered;
}

// Takes the keys read so far. False when the line is over: entered (`line_entered`)
// or the input ended.
bool edited_terminal::take_keys(bool pause, bool& line_entered)
{
    std::size_t taken = 0;
    const line_editor::outcome result =
        editor.take_keys(keys + keys_start, keys_end - keys_start, pause, taken, screen);
    keys_start += taken;
    switch (result) {
    case line_editor::outcome::editing: return true;
    case line_editor::outcome::line_entered:
        std::memcpy(entered, editor.line(), editor.line_size());
        entered[editor.line_size()] = '\n';
        entered_start = 0;
        entered_end = editor.line_size() + 1;
        row_size = 0;  // the cursor is at the start of a new row
        line_entered = true;
        return false;
    case line_editor::outcome::input_ended: return false;
    case line_editor::outcome::interrupt:
    case line_editor::outcome::quit:
    case line_editor::outcome::suspend: break;
    }
    // A key of a signal: sent as the terminal would send it. Stopped and continued
    // (Ctrl-Z, fg), the line is drawn again where the shell left the cursor; when
    // the signal changed nothing (ignored), where it is.
    screen.flush();
    terminal_send_signal(result == line_editor::outcome::interrupt ? SIGINT
                         : result == line_editor::outcome::quit    ? SIGQUIT
                                                                   : SIGTSTP);
    if (!terminal_was_continued()) editor.redraw(screen);
    else if (terminal_is_ours()) editor.draw_again(row, row_size, terminal_width(), screen);
    // else continued in the background (bg): drawn again at fg
    return true;
}

// Waits for more keys, and meanwhile draws the line again when the window changes
// size or the program is continued in the foreground. From the background it reads
// at once, as a program that reads its terminal does: the read stops it (SIGTTIN)
// until fg. False at end of input or on a read error.
bool edited_terminal::wait_for_keys(bool& pause, const sigset_t& wakeups_let_in)
{
    if (keys_start > 0) {  // what is left is kept at the start
        std::memmove(keys, keys + keys_start, keys_end - keys_start);
        keys_end -= keys_start;
        keys_start = 0;
    }
    if (terminal_is_ours()) {
        const int waited = wait_until_readable(pause, wakeups_let_in);
        if (waited <= 0) return waited == 0;
    }
    if (keys_end == sizeof keys) keys_end = 0;  // never left so long, but never read into no room
    const ssize_t got = ::read(STDIN_FILENO, keys + keys_end, sizeof keys - keys_end);
    if (got > 0) keys_end += static_cast<std::size_t>(got);
    if (got == 0) return false;  // the terminal is gone
    if (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
        error_ = errno;
        return false;
    }
    if (got < 0 && errno == EINTR && terminal_was_continued() && terminal_is_ours())
        editor.draw_again(row, row_size, terminal_width(), screen);
    return true;
}

// Waits in pselect, which a signal always interrupts, for keys to read: 1 when there
// are; 0 when the wait is over without any (a lone Escape, a resize, a continue,
// each seen to); -1 on an error.
int edited_terminal::wait_until_readable(bool& pause, const sigset_t& wakeups_let_in)
{
    const bool escape_unfinished = keys_end > 0 && keys[0] == '\x1b' && !pause;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(STDIN_FILENO, &readable);
    timespec escape_wait{0, escape_wait_microseconds * 1000};
    const int ready = ::pselect(STDIN_FILENO + 1, &readable, nullptr, nullptr, escape_unfinished ? &escape_wait : nullptr,
                                &wakeups_let_in);
    pause = false;
    if (ready > 0) return 1;
    if (ready == 0) {
        pause = true;  // the Escape key alone
        return 0;
    }
    if (errno != EINTR) {
        error_ = errno;
        return -1;
    }
    const bool continued = terminal_was_continued();
    const bool resized = terminal_was_resized();
    if (continued && terminal_is_ours()) editor.draw_again(row, row_size, terminal_width(), screen);
    else if (resized) editor.resize(terminal_width(), screen);
    return 0;
}
