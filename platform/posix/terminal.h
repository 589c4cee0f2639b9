// The terminal on standard input while the game has it: its settings for the game,
// put back however the program ends or stops, and the signals that the line
// editor waits for. Only async-signal-safe functions run in the signal handlers.
#pragma once

#include <signal.h>

#include "platform/posix/line_editor.h"

// How typed text reaches the program.
enum class terminal_input {
    lines,  // the terminal's own line editing, told that input is UTF-8 (IUTF8)
    keys,   // key by key, without echo, for the program's line editor
};

// Sets the terminal up for the game now if the program is its foreground job, and
// otherwise once it is continued there; handles every signal that would end or
// stop the program, so that the terminal is put back first. False when `keys`
// were asked for and the terminal would not take its settings: the terminal is
// then left as it was.
bool terminal_take(terminal_input input);

// Puts back what terminal_take changed.
void terminal_give_back();

// What the terminal's settings said when the game took it: the keys of the signals
// and of end of input, and how it shows what is written.
line_editor::terminal_setup terminal_setup_now();

// The terminal's width in columns (80 when it does not say).
int terminal_width();

// Sends `signal_number` to the program's process group, as the terminal does when
// its key is typed.
void terminal_send_signal(int signal_number);

// What the signals have told since it was last asked: the window changed size;
// the program was stopped and continued.
bool terminal_was_resized();
bool terminal_was_continued();

// Whether the terminal has the game's settings now: the program is its foreground
// job, and the terminal took them.
bool terminal_is_ours();

// Blocks SIGWINCH, saving the mask before in `before`: the editor lets it in only
// while it waits for keys, so that no change of size goes unseen.
void terminal_hold_resizes(sigset_t& before);
