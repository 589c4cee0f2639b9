#!/usr/bin/python3
"""The program's line editor at a real terminal, read as a person reads the screen.

Usage: line_editor_test.py PATH_TO_ONIGAWARA   (with Debian's python3-pyte)

Each session runs the program on a pseudo-terminal of the test's own, at
TERM=xterm in the C.UTF-8 locale, and pyte, a VT emulator that knows
double-width characters, draws what the program writes. Keys are typed one at a
time, each once the program has taken the one before, as a person types.

What the screen shows is compared with what the lord says back: at --seed 102
his first answer to a line is the mountain echo, which repeats the line three
times; at --seed 1 the greeting repeats the name. The expected rows come from
`layout`, a plain model of a terminal: each character in the columns that
python3-wcwidth (pyte's own rule) gives it."""
import fcntl
import os
import pty
import select
import signal
import struct
import subprocess
import sys
import termios
import time
import unittest

try:
    import pyte
    from wcwidth import wcwidth
except ImportError:
    print("python3-pyte is not installed: skipped", file=sys.stderr)
    sys.exit(77)

import terminal_test
from sessions import OPENING_TEXT, environment, seeded
from terminal_test import GREETING, Shell, process_state, take_terminal

BINARY = None
WAIT = 10      # seconds to wait for what is due
QUIET = 0.05   # seconds without output after which the program has drawn what a key asked
ROWS = 60      # enough that nothing scrolls off the top

BS, CTRL_A, CTRL_D, CTRL_E, CTRL_H, CTRL_K, CTRL_L, CTRL_U, CTRL_W = "\x7f\x01\x04\x05\x08\x0b\x0c\x15\x17"
LEFT, RIGHT, UP, DOWN, HOME, END, DELETE = "\x1b[D", "\x1b[C", "\x1b[A", "\x1b[B", "\x1b[H", "\x1b[F", "\x1b[3~"
ENTER = "\r"
KANJI_20 = "一二三四五六七八九十一二三四五六七八九十"


class Edited(str):
    """Text that the line editor draws: a wide character that finds a single column
    left on a row goes to the next, as on every terminal. (pyte draws one that the
    program prints there, cut, on that column.)"""


def layout(width, *pieces):
    """The rows of the text `pieces` on a terminal `width` columns wide, written
    from the top left, and where the cursor is left (row, column): at the right
    margin, on the last column."""
    rows = [""]
    column = 0
    for piece in pieces:
        for char in piece:
            if char == "\n":
                rows.append("")
                column = 0
                continue
            columns = wcwidth(char)
            if column >= width or (column + columns > width and isinstance(piece, Edited)):
                rows.append("")
                column = 0
            rows[-1] += char
            column = min(column + columns, width)
    return rows, (len(rows) - 1, min(column, width - 1))


def cursor_before(width, following, *pieces):
    """Where the line editor leaves the cursor after `pieces`, before the character
    `following` (None at the end): where that character will stand."""
    rows, (row, column) = layout(width, *pieces)
    columns = wcwidth(following) if following else 0
    at_margin = sum(wcwidth(c) for c in rows[-1]) >= width
    if at_margin or column + columns > width:
        return row + 1, 0
    return row, column


class Terminal:
    """The program on a pseudo-terminal `width` columns wide, and the screen pyte draws."""

    def __init__(self, test, width, seed=102, **variables):
        self.test = test
        self.master, self.slave = pty.openpty()
        self.screen = pyte.Screen(width, ROWS)
        self.stream = pyte.ByteStream(self.screen)
        self._set_size(width)
        self.raw = b""  # every byte the terminal received
        self.process = subprocess.Popen(
            seeded(seed, [BINARY]), stdin=self.slave, stdout=self.slave, stderr=subprocess.PIPE,
            env=environment(**{"TERM": "xterm", "LC_ALL": "C.UTF-8", **variables}), start_new_session=True,
            preexec_fn=lambda: take_terminal(0))
        test.addCleanup(self.close)
        # Typing starts once the program asks for the name, as a person starts.
        end = time.monotonic() + WAIT
        while not self.raw.endswith(" → ".encode()) and time.monotonic() < end:
            self._pump(QUIET)
        self.settle()

    def close(self):
        terminal_test.kill_group(self.process)
        self.process.stderr.close()
        os.close(self.master)
        os.close(self.slave)

    def _set_size(self, width):
        fcntl.ioctl(self.master, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, width, 0, 0))

    def _pump(self, timeout):
        """Draws what arrives within `timeout` seconds; True if anything did."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return False
        try:
            data = os.read(self.master, 65536)
        except OSError:
            return False
        self.raw += data
        self.stream.feed(data)
        return bool(data)

    def settle(self, reads_before=None):
        """Waits until the program has taken every key typed (with a read beyond
        `reads_before`, its count of reads before the keys) and drawn what they asked."""
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            if self._pump(QUIET):
                continue
            reads = read_calls(self.process.pid)
            if reads_before is not None and reads is not None and reads <= reads_before:
                continue  # the keys are still on their way through the terminal
            pending = struct.unpack("i", fcntl.ioctl(self.slave, termios.FIONREAD, b"\0\0\0\0"))[0]
            if pending == 0 and process_state(self.process.pid) in ("S", None, "Z"):
                return
        self.test.fail("the program did not take the keys")

    def types(self, *keys):
        for key in keys:
            reads_before = read_calls(self.process.pid)
            os.write(self.master, key.encode())
            self.settle(reads_before)

    def resize(self, width):
        self.screen.resize(ROWS, width)
        self._set_size(width)  # the kernel sends SIGWINCH
        self.settle()

    def rows(self):
        # Cell by cell: pyte's own display gives up on a wide character half overwritten.
        rows = ["".join(self.screen.buffer[y][x].data for x in range(self.screen.columns)).rstrip()
                for y in range(self.screen.lines)]
        while rows and not rows[-1]:
            rows.pop()
        return rows

    def shows(self, rows, cursor=None):
        """The screen shows `rows` (and the cursor stands at `cursor`), once what is due has come."""
        rows = list(rows)
        while rows and not rows[-1]:
            rows.pop()
        end = time.monotonic() + WAIT
        while self.rows() != rows and time.monotonic() < end:
            self._pump(QUIET)
        self.test.assertEqual(rows, self.rows())
        if cursor is not None:
            self.test.assertEqual(cursor, (self.screen.cursor.y, self.screen.cursor.x), "the cursor")


def read_calls(pid):
    """How many read calls the process `pid` has made so far (None once it is gone)."""
    try:
        with open(f"/proc/{pid}/io") as io:
            return int(next(line for line in io if line.startswith("syscr:")).split()[1])
    except OSError:
        return None


def after_the_greeting(name="太郎"):
    """The screen's text once the name is typed: the pieces of layout."""
    return OPENING_TEXT, Edited(name), "\n" + GREETING.replace("太郎", name)


def mountain_echo(line):
    """The line typed and entered, and the lord's answer at --seed 102."""
    return Edited(line), f"\n山彦＞{line}、{line}、{line}・・・\n太郎＞"


class Editing(unittest.TestCase):
    # What is typed after the first prompt, key by key; what the lord hears; and
    # where the cursor stands in it before Enter (None: at the end).
    CASES = [
        ("Backspace twice, then other characters", ["太郎花", BS, BS, "次郎"], "太次郎", None),
        ("Backspace, then a character in its place", ["太郎花", BS, "子"], "太郎子", None),
        ("Ctrl-H is Backspace too", ["あいう", CTRL_H], "あい", None),
        ("Ctrl-U erases up to the cursor", ["いうえお", LEFT, LEFT, CTRL_U, "あ"], "あえお", 1),
        ("Ctrl-U at the end erases the line", ["あいうえお", CTRL_U, "太郎"], "太郎", None),
        ("Ctrl-W erases the word before the cursor", ["あい うえ", CTRL_W, "か"], "あい か", None),
        ("← and a character in the middle", ["あう", LEFT, "い"], "あいう", 2),
        ("→ back again", ["あいう", LEFT, LEFT, RIGHT, "x"], "あいxう", 3),
        ("Home and End", ["いう", HOME, "あ", END, "え"], "あいうえ", None),
        ("Ctrl-A and Ctrl-E", ["いう", CTRL_A, "あ", CTRL_E, "え"], "あいうえ", None),
        ("Home and End as other terminals send them", ["いう", "\x1b[1~", "あ", "\x1b[4~", "え", "\x1bOH"],
         "あいうえ", 0),
        ("Delete", ["あいう", HOME, DELETE], "いう", 0),
        ("Ctrl-D deletes the character under the cursor", ["あいう", LEFT, CTRL_D], "あい", None),
        ("Ctrl-D at the end of a line does nothing", ["あいう", CTRL_D], "あいう", None),
        ("Ctrl-K erases from the cursor", ["あいうえ", LEFT, LEFT, CTRL_K, "お"], "あいお", None),
        ("Ctrl-L draws the line again", ["あいう", LEFT, CTRL_L], "あいう", 2),
        ("an input method's commit at once", [KANJI_20], KANJI_20, None),
        ("Home, End and Backspace across the wrap", [KANJI_20, HOME, "〇", END, BS, BS, BS],
         "〇" + KANJI_20[:-3], None),
        ("Backspace in the middle of a wrapped line", [KANJI_20] + [LEFT] * 9 + [BS, BS, "xy"],
         "一二三四五六七八九xy二三四五六七八九十", 11),
        ("a wide character that finds one column left", ["a" + KANJI_20, BS, BS, BS, BS, BS],
         "a一二三四五六七八九十一二三四五", None),
        ("a character that the code page cannot hold is shown as ?", ["あ\N{GRINNING FACE}い", "é"], "あ?い?", None),
        ("the JIS forms that input methods type", ["〜−"], "～－", None),
    ]

    def test_each_key_at_80_and_at_30_columns(self):
        for width in (80, 30):
            for what, keys, heard, cursor in self.CASES:
                with self.subTest(what, width=width):
                    t = Terminal(self, width)
                    t.types("太郎", ENTER)
                    before = after_the_greeting()
                    t.types(*keys)
                    # Before Enter the screen already shows what the lord hears, and nothing else.
                    where = len(heard) if cursor is None else cursor
                    following = heard[where] if where < len(heard) else None
                    t.shows(layout(width, *before, Edited(heard))[0],
                            cursor_before(width, following, *before, Edited(heard[:where])))
                    t.types(ENTER)
                    t.shows(layout(width, *before, *mountain_echo(heard))[0])

    def test_a_line_is_refused_past_what_the_lord_hears(self):
        # 19 bytes of a name, 99 of a line; the bell for each character refused.
        for width in (80, 30):
            with self.subTest(width=width):
                t = Terminal(self, width)
                t.types("名" * 10)
                self.assertEqual(1, t.raw.count(b"\a"))
                t.types("x", "y")
                self.assertEqual(2, t.raw.count(b"\a"))
                t.types(ENTER)
                name = "名" * 9 + "x"
                t.shows(layout(width, *after_the_greeting(name))[0])

                t = Terminal(self, width)
                t.types("太郎", ENTER, "あ" * 50)
                self.assertEqual(1, t.raw.count(b"\a"))
                t.types("x", "y", HOME, "z")
                self.assertEqual(3, t.raw.count(b"\a"))
                t.types(ENTER)
                t.shows(layout(width, *after_the_greeting(), *mountain_echo("あ" * 49 + "x"))[0])

    def test_a_change_of_window_size_draws_the_line_again(self):
        # The terminal keeps its rows as they are (pyte, as xterm): narrower, they are
        # cut; the line is drawn again from where it began, at the new width.
        line = KANJI_20 + "あいうえおかきくけこ"
        t = Terminal(self, 80)
        t.types("太郎", ENTER, line)
        rows_at_80, _ = layout(80, *after_the_greeting())
        prompt_row = rows_at_80[-1]
        t.resize(30)
        cut = [layout(30, row)[0][0] for row in rows_at_80[:-1]]

        def below_the_cut(row_and_column):
            return row_and_column[0] + len(cut), row_and_column[1]

        t.shows(cut + layout(30, prompt_row, Edited(line))[0],
                below_the_cut(cursor_before(30, None, prompt_row, Edited(line))))
        t.types(BS, HOME, "〇")
        edited = "〇" + line[:-1]
        t.shows(cut + layout(30, prompt_row, Edited(edited))[0],
                below_the_cut(cursor_before(30, "一", prompt_row, Edited("〇"))))
        t.resize(80)
        t.shows(cut + layout(80, prompt_row, Edited(edited))[0],
                below_the_cut(cursor_before(80, "一", prompt_row, Edited("〇"))))
        t.types(ENTER)
        t.shows(cut + layout(80, prompt_row, *mountain_echo(edited))[0])

    def test_up_and_down_go_through_the_lines_typed_before(self):
        t = Terminal(self, 80)
        t.types("太郎", ENTER, "一二三", ENTER)
        before = after_the_greeting() + mountain_echo("一二三")  # pieces
        t.types("あ")
        for keys, shown in [(UP, "一二三"), (UP, "太郎"), (UP, "太郎"), (DOWN, "一二三"), (DOWN, "あ"),
                            (DOWN, "あ"), (UP, "一二三"), (BS + "四", "一二四")]:
            t.types(*keys)
            t.shows(layout(80, *before, Edited(shown))[0])
        t.types(ENTER, UP)
        self.assertEqual("太郎＞一二四", t.rows()[-1])

    def test_a_key_wait_takes_the_first_byte_of_an_edited_line(self):
        # At seed 1 the spell's cast line ends with its key wait; "ab", Backspace,
        # "c": the wait takes "a", and "c" is the next line, already typed, which the
        # lord answers at once. His answer is the one a pipe gets for the same lines.
        t = Terminal(self, 80, seed=1)
        t.types("太郎", ENTER, "パルプンテ", ENTER, "ab", BS, "c", ENTER)
        piped = subprocess.run(seeded(1, [BINARY, "--charset=utf-8"]), input="太郎\nパルプンテ\nac\n".encode(),
                               capture_output=True, timeout=WAIT).stdout.decode()
        cast = "\n　　　　　太郎はパルプンテを唱えた\n"
        self.assertTrue(piped.startswith(OPENING_TEXT + GREETING + cast))
        after_the_wait = piped[len(OPENING_TEXT + GREETING + cast):]
        self.assertIn("\n太郎＞鬼瓦＞", after_the_wait)  # "c" answered at once
        t.shows(layout(80, *after_the_greeting(), Edited("パルプンテ"), "\n" + cast, Edited("ac"), "\n" + after_the_wait)[0])

    def test_ctrl_d_on_an_empty_line_ends_the_input(self):
        t = Terminal(self, 80)
        t.types("太郎", ENTER, "あ", BS, CTRL_D)
        t.process.wait(WAIT)
        t.shows(*layout(80, *after_the_greeting(), "\n"))  # the cursor left on a new row
        self.assertEqual(0, t.process.returncode)


class Stopping(unittest.TestCase):
    def test_fg_draws_the_prompt_and_the_half_typed_line_again(self):
        shell = Shell(self, term="xterm")
        shell.starts_the_game()
        shell.types("あいう")
        shell.types("\x1a")
        shell.shows("^Z")
        shell.shows("Stopped")
        self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal), "put back before it stops")
        shell.types("fg\r")
        shell.shows("そしてそなたの名を入力してくだされ → あいう")
        shell.until(lambda: process_state_of(shell) == "S", "waits for keys again")
        shell.types("え\r")
        shell.shows(GREETING.replace("太郎", "あいうえ"))
        screen = pyte.Screen(200, ROWS)
        pyte.ByteStream(screen).feed(shell.screen)
        rows = [row.rstrip() for row in screen.display]
        at = rows.index("そしてそなたの名を入力してくだされ → あいうえ")
        self.assertTrue(rows[at - 1].endswith("--seed 1"), "drawn again on the row after the shell's fg")
        shell.types("\x03")
        shell.shows("$ ")
        self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal))


def process_state_of(shell):
    games = [pid for pid in terminal_test.processes_in_session(shell.shell.pid) if pid != shell.shell.pid]
    return process_state(games[0]) if games else None


if __name__ == "__main__":
    BINARY = terminal_test.BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
