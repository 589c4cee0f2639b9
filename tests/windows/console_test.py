#!/usr/bin/env python3
"""onigawara.exe under wine at a console: wine's console on a pseudo-terminal that
the test makes itself, in a UTF-8 locale.

Usage: console_test.py BUILD_DIR PATH_TO_ONIGAWARA_EXE PATH_TO_CONSOLE_KEYS_EXE

Wine's console draws its screen on the terminal: each character the program
writes through the console's wide-character interface arrives as UTF-8, with
cursor movements mixed in, and what is typed is echoed there. The test reads
the screen as text (the drawing stripped out) and types only once the output due
before it has appeared, as a person would; Enter is "\\r"."""
import fcntl
import os
import pty
import re
import select
import subprocess
import sys
import termios
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import BANNER_TEXT, kill_group, sj  # noqa: E402

BUILD = PROGRAM = KEYS = None
WAIT = 20     # seconds to wait for output that is due
QUIET = 1.0   # seconds in which a program waiting for a key must not end
CTRL_C = b"\x03"

# Seed 1 draws 41 and 18467: greeting 6, then (a keyword draws nothing) the temple's fit 3.
GREETING = "鬼瓦＞ぐっどぅも～にぃんぐ、みすた～{}、はわゆ～？"
TEMPLE_FIT = "鬼瓦＞ ？ ？ ？ ほんのうじ・・・、はっ・・・、黒兵衛ーーー！！！！！"


def screen_text(drawn: bytes) -> str:
    """What the terminal shows, as text: the cursor's hiding and showing dropped, a
    cleared stretch and a move to the right (how wine draws blanks) as spaces,
    and every line end as "\\n"."""
    text = drawn.decode("utf-8", "backslashreplace")
    text = re.sub(r"\x1b\[K\x1b\[(\d+)C", lambda m: " " * int(m.group(1)), text)
    text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)
    return re.sub(r"\r+\n", "\n", text)


class Console:
    """One run of the program with a pseudo-terminal as standard output, and as
    standard input unless `piped_input` is given."""

    def __init__(self, test, *command, piped_input: bytes = None):
        """`command`: onigawara.exe's arguments, or a Windows program and its arguments."""
        self.test = test
        self.master, slave = pty.openpty()
        self.settings_before = termios.tcgetattr(slave)
        if not command or not command[0].endswith(".exe"):
            command = (PROGRAM, *command)
        terminal = 0 if piped_input is None else 1  # the descriptor that makes it the controlling terminal
        self.process = subprocess.Popen(["wine", *command], stdin=slave if piped_input is None else subprocess.PIPE,
                                        stdout=slave, stderr=subprocess.DEVNULL, start_new_session=True,
                                        preexec_fn=lambda: fcntl.ioctl(terminal, termios.TIOCSCTTY, 0),
                                        env=wine.environment(BUILD, LC_ALL="C.UTF-8"))
        if piped_input is not None:
            self.process.stdin.write(piped_input)
            self.process.stdin.close()
        self.slave = slave
        self.drawn = b""
        test.addCleanup(self.close)

    def close(self):
        kill_group(self.process)
        os.close(self.master)
        os.close(self.slave)

    def screen(self) -> str:
        return screen_text(self.drawn)

    def _read(self, timeout) -> bool:
        ready, _, _ = select.select([self.master], [], [], max(timeout, 0))
        if ready:
            try:
                self.drawn += os.read(self.master, 65536)
            except OSError:
                return False
        return True

    def wait_for(self, text: str):
        """Waits until the screen shows `text` after everything waited for so far."""
        end = time.monotonic() + WAIT
        while text not in self.screen() and time.monotonic() < end and self._read(end - time.monotonic()):
            pass
        self.test.assertIn(text, self.screen())

    def type(self, text: str):
        """Types `text` once wine's console has taken the terminal over from its line
        discipline (which would otherwise echo it and turn Enter into a line feed)."""
        end = time.monotonic() + WAIT
        while termios.tcgetattr(self.slave)[3] & termios.ICANON and time.monotonic() < end:
            self._read(0.05)
        os.write(self.master, text.encode("utf-8"))

    def ended(self, within: float):
        """The exit status once the program has ended within `within` seconds, else None."""
        end = time.monotonic() + within
        while self.process.poll() is None and time.monotonic() < end:
            self._read(0.05)
        return self.process.poll()


class ConsoleSessions(unittest.TestCase):
    def test_whole_game(self):
        con = Console(self, "--seed", "1")
        con.wait_for("そしてそなたの名を入力してくだされ → ")
        con.type("太郎\r")
        con.wait_for(GREETING.format("太郎") + "\n太郎＞")
        con.type("こんにちは\r")
        con.wait_for("こんにちは\n鬼瓦＞今日も良い天気じゃな。\n太郎＞")
        con.type("本能寺\r")
        con.wait_for("本能寺\n" + TEMPLE_FIT + BANNER_TEXT)
        self.assertIsNone(con.ended(within=QUIET), "the key wait did not wait")
        con.type("\r")
        self.assertEqual(0, con.ended(within=WAIT))

    def test_typed_characters_reach_the_engine_as_code_page_932(self):
        # 〜 (U+301C, as input methods type it) is read as 0x8160, which prints as ～
        # (U+FF5E); a character that code page 932 cannot hold is read as "?".
        con = Console(self, "--seed", "1")
        con.wait_for("名を入力してくだされ → ")
        con.type("ボブ〜\U0001F600\r")
        con.wait_for(GREETING.format("ボブ～?") + "\nボブ～?＞")

    def test_japanese_at_every_code_page_which_is_left_as_it_was(self):
        # Typed into the console's input: 太郎, 本能寺 and Enter at the key wait.
        # console_keys sets the code pages before, and fails when they differ after.
        for code_page in ("932", "65001", "437"):
            with self.subTest(code_page=code_page):
                con = Console(self, KEYS, "--code-page", code_page, "592A", "90CE", "000D", "672C", "80FD", "5BFA",
                              "000D", "000D", "--", PROGRAM, "--seed", "1")
                self.assertEqual(0, con.ended(within=WAIT))
                con.wait_for(GREETING.format("太郎") + "\n太郎＞本能寺\n" + TEMPLE_FIT + BANNER_TEXT)

    def test_ctrl_z_then_enter_at_the_start_of_a_line_ends_the_input(self):
        # Typed into the console's input (wine's console does not read Ctrl-Z from a
        # terminal): 太郎 and Enter, then Ctrl-Z and Enter. The program ends at once,
        # with the cursor on a line of its own.
        con = Console(self, KEYS, "592A", "90CE", "000D", "001A", "000D", "--", PROGRAM, "--seed", "1")
        self.assertEqual(0, con.ended(within=WAIT))
        con.wait_for(GREETING.format("太郎") + "\n太郎＞")
        after_prompt = con.screen().rsplit("太郎＞", 1)[1]
        self.assertNotIn("鬼瓦", after_prompt)
        self.assertTrue(after_prompt.endswith("\n"), after_prompt)

    def test_ctrl_z_then_enter_at_a_pause_ends_only_the_pause(self):
        # 太郎, the spell word パルプンテ, then Ctrl-Z and Enter at the spell's pause: the
        # effect follows and the game goes on, to 本能寺 and Enter at the end.
        con = Console(self, KEYS, "592A", "90CE", "000D", "30D1", "30EB", "30D7", "30F3", "30C6", "000D",
                      "001A", "000D", "672C", "80FD", "5BFA", "000D", "000D", "--", PROGRAM, "--seed", "1")
        self.assertEqual(0, con.ended(within=WAIT))
        con.wait_for("太郎はパルプンテを唱えた\n^Z\n　　　　　鬼瓦の服がスケスケになった\n\n太郎＞本能寺\n"
                     "鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！" + BANNER_TEXT)

    def test_ctrl_z_in_the_middle_of_a_line_drops_the_rest_of_that_read(self):
        # 太, Ctrl-Z, 郎 and Enter, then 次 and Enter: the name is 太次. Then Ctrl-Z and
        # Enter at the start of a line end the program.
        con = Console(self, KEYS, "592A", "001A", "90CE", "000D", "6B21", "000D", "001A", "000D",
                      "--", PROGRAM, "--seed", "1")
        self.assertEqual(0, con.ended(within=WAIT))
        con.wait_for(GREETING.format("太次") + "\n太次＞")

    def test_piped_input_is_code_page_932_and_the_console_shows_japanese(self):
        con = Console(self, "--seed", "1", piped_input=sj("太郎\r\n本能寺\r\n\r\n"))
        self.assertEqual(0, con.ended(within=WAIT))
        con.wait_for(GREETING.format("太郎") + "\n太郎＞" + TEMPLE_FIT + BANNER_TEXT)

    def test_ctrl_c_ends_the_program_and_leaves_the_terminal_as_it_was(self):
        con = Console(self, "--seed", "1")
        con.wait_for("名を入力してくだされ → ")
        con.type("太郎")
        con.type(CTRL_C.decode())
        self.assertIsNotNone(con.ended(within=WAIT), "Ctrl-C did not end the program")
        self.assertNotIn("鬼瓦＞", con.screen())
        self.assertEqual(con.settings_before, termios.tcgetattr(con.slave))


if __name__ == "__main__":
    BUILD, PROGRAM, KEYS = (os.path.abspath(sys.argv.pop(1)) for _ in range(3))
    unittest.main(verbosity=2)
