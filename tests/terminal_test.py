#!/usr/bin/env python3
"""The real program at a real terminal: a pseudo-terminal that the test makes
itself (CI has none), with the locale of the run set by the test.

Usage: terminal_test.py PATH_TO_ONIGAWARA

The screen is everything the terminal shows: the program's output, each line
break turned into CR LF by the terminal, and the echo of what is typed there.
Every session compares the whole screen byte for byte, step by step: the test
types only once the output due before it has appeared, as a person would.
Typing Enter sends CR, as a keyboard does.

The sessions take TERM from the environment: where it names a terminal that is
not a dumb one, the program edits the typed line itself, and typing a line and
Enter shows the same bytes as the terminal's own echo did."""
import fcntl
import itertools
import os
import pty
import resource
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

from sessions import BANNER_TEXT, OPENING_TEXT, environment, kill_group, seeded

BINARY = None
WAIT = 10     # seconds to wait for output that is due
QUIET = 0.5   # seconds in which a program waiting for a key must print nothing
CTRL_D = b"\x04"

# Seed 1 draws 41, 18467, 6334, 26500: greeting 6, silence 2, and then either the
# spell's effect 15 and fit 5 of the temple ending, or (no spell cast) fit 5.
# With the spell cast right after the greeting, its effect is 8; with the temple
# word right after it, the fit is TEMPLE_FIT_AFTER_GREETING.
GREETING = "\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？\n太郎＞"
SILENCE = "鬼瓦＞何か申さぬか。\n太郎＞"
TEMPLE_FIT = "鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！"
TEMPLE_FIT_AFTER_GREETING = "鬼瓦＞ ？ ？ ？ ほんのうじ・・・、はっ・・・、黒兵衛ーーー！！！！！"
EFFECT_8 = "　　　　　鬼瓦の服がスケスケになった\n\n太郎＞"

IUTF8 = getattr(termios, "IUTF8", 0o40000)  # Linux; older Pythons do not name it
UTF8_LOCALE = {"LC_ALL": "C.UTF-8"}
C_LOCALE = {"LC_ALL": "C"}


class Session:
    """One run of the program with the pseudo-terminal as its standard input,
    its standard output, or both; the other stream is a pipe. What the terminal
    sends and shows, and the pipe beside it carries, is in the charset of `locale`:
    UTF-8 or, for any other locale, code page 932."""

    def __init__(self, test, seed, locale, utf8, input_terminal=True, output_terminal=True, arguments=(),
                 non_blocking=False, without_iutf8=False, keep_terminal=False, ignoring=()):
        """`non_blocking`: the terminal is left O_NONBLOCK before the program starts;
        `without_iutf8`: its line discipline does not know that input is UTF-8;
        `keep_terminal`: the test keeps the terminal open, to look at its settings
        (self.terminal) after the program has ended; `ignoring`: signals that the
        program is started with left ignored, as nohup leaves SIGHUP."""
        self.test = test
        self.terminal_charset = "utf-8" if utf8 else "cp932"
        self.input_terminal = input_terminal
        self.output_terminal = output_terminal
        # The program edits the line, and shows what it reads of it, at a terminal that can take it.
        self.edited = (utf8 and input_terminal and output_terminal
                       and environment(**locale).get("TERM", "") not in ("", "dumb", "unknown"))
        self.master, slave = pty.openpty()
        if without_iutf8:
            settings = termios.tcgetattr(slave)
            settings[0] &= ~IUTF8
            termios.tcsetattr(slave, termios.TCSANOW, settings)
        if non_blocking:
            fcntl.fcntl(slave, fcntl.F_SETFL, fcntl.fcntl(slave, fcntl.F_GETFL) | os.O_NONBLOCK)
        self.settings_before = termios.tcgetattr(slave)
        controlling = 0 if input_terminal else 1
        self.process = subprocess.Popen(
            seeded(seed, [BINARY, *arguments]),
            stdin=slave if input_terminal else subprocess.PIPE,
            stdout=slave if output_terminal else subprocess.PIPE,
            stderr=subprocess.PIPE, env=environment(**locale), start_new_session=True,
            preexec_fn=lambda: take_terminal(controlling, ignoring))
        self.terminal = slave if keep_terminal else None
        if not keep_terminal:
            os.close(slave)
        self.got = {"screen": b"", "pipe": b"", "stderr": b""}
        self.expected = {"screen": b"", "pipe": b""}
        self.open = {self.master: "screen", self.process.stderr.fileno(): "stderr"}
        if not output_terminal:
            self.open[self.process.stdout.fileno()] = "pipe"

    def close(self):
        kill_group(self.process)
        os.close(self.master)
        if self.terminal is not None:
            os.close(self.terminal)
        for stream in (self.process.stdin, self.process.stdout, self.process.stderr):
            if stream:
                stream.close()

    # ---- what arrives ----

    def _read(self, timeout):
        """Reads what arrives within `timeout` seconds; False once nothing is left open."""
        if not self.open:
            return False
        ready, _, _ = select.select(list(self.open), [], [], timeout)
        for fd in ready:
            try:
                data = os.read(fd, 65536)
            except OSError:  # the terminal's other side is closed: everything has been read
                data = b""
            if data:
                self.got[self.open[fd]] += data
            else:
                del self.open[fd]
        return True

    def _wait_for(self, done, timeout):
        end = time.monotonic() + timeout
        while not done() and time.monotonic() < end and self._read(end - time.monotonic()):
            pass

    def _check(self, stream):
        expected, got = self.expected[stream], self.got[stream]
        charset = self.terminal_charset if stream == "pipe" or self.output_terminal else "cp932"
        self.test.assertEqual(expected.decode(charset, "backslashreplace"), got.decode(charset, "backslashreplace"),
                              f"{stream} differs")
        self.test.assertEqual(expected, got, f"{stream} differs")

    # ---- the steps of a session ----

    def shows(self, text, raw=b""):
        """The program's next output is `text` (and then the bytes `raw`): on the screen,
        or in the pipe when the standard output is one."""
        if self.output_terminal:
            self.expected["screen"] += text.replace("\n", "\r\n").encode(self.terminal_charset) + raw
            stream = "screen"
        else:
            self.expected["pipe"] += text.encode(self.terminal_charset) + raw
            stream = "pipe"
        self._wait_for(lambda: len(self.got[stream]) >= len(self.expected[stream]), WAIT)
        self._check(stream)

    def types(self, line, raw=b"", shown=None):
        """Types `line` (then the bytes `raw`) and Enter. The line editor shows the
        line as the program reads it (`shown`, when that differs); the terminal's
        own echo shows it as typed."""
        if self.input_terminal:
            os.write(self.master, line.encode(self.terminal_charset) + raw + b"\r")
            echo = shown if self.edited and shown is not None else line
            self.expected["screen"] += echo.encode(self.terminal_charset) + raw + b"\r\n"
        else:
            self.process.stdin.write(line.encode(self.terminal_charset) + raw + b"\n")
            self.process.stdin.flush()

    def presses_ctrl_d(self):
        os.write(self.master, CTRL_D)  # not echoed

    def keys_in(self, keys, then_shows):
        """Types the raw `keys` (control keys among them), whose echo is not checked,
        and the program then shows `then_shows`."""
        os.write(self.master, keys)
        wanted = then_shows.replace("\n", "\r\n").encode(self.terminal_charset)
        self._wait_for(lambda: wanted in self.got["screen"][len(self.expected["screen"]):], WAIT)
        echo_end = self.got["screen"].find(wanted, len(self.expected["screen"]))
        self.test.assertNotEqual(-1, echo_end, f"{then_shows!r} did not appear")
        self.expected["screen"] = self.got["screen"][:echo_end] + wanted
        self._check("screen")

    def waits(self):
        """The program is waiting for input, with everything due on the screen."""
        self._wait_for(lambda: False, QUIET)
        self.test.assertIsNone(self.process.poll(), "the program did not wait")

    def holds(self):
        """The program waits for a key: nothing more appears and it does not end."""
        self._wait_for(lambda: False, QUIET)
        for stream in self.expected:
            self._check(stream)
        self.test.assertIsNone(self.process.poll(), "the program did not wait")

    def ends(self, status=0):
        """The program ends by itself (or by the signal -status), with nothing more
        on the screen or in the pipe."""
        try:
            self.process.wait(WAIT)
        except subprocess.TimeoutExpired:
            self.test.fail("the program did not end")
        # Until every stream is closed; the terminal never closes while the test keeps it open.
        self._wait_for(lambda: False, WAIT if self.terminal is None else QUIET)
        for stream in self.expected:
            self._check(stream)
        self.test.assertEqual(b"", self.got["stderr"])
        self.test.assertEqual(status, self.process.returncode)


def take_terminal(fd, ignoring=()):
    """In a new session's first process: makes the terminal on `fd` its controlling
    terminal, with the session's process group in the foreground; leaves `ignoring`
    ignored, and writes no core file (SIGQUIT dumps one)."""
    fcntl.ioctl(fd, termios.TIOCSCTTY, 0)
    for signal_number in ignoring:
        signal.signal(signal_number, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def processes_in_session(session):
    """The ids of the processes in the session `session`, zombies left out."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:  # ended meanwhile
            continue
        if int(fields[3]) == session and fields[0] != "Z":
            found.append(int(entry))
    return found


def process_state(pid):
    """The state letter of process `pid` (R, S, T for stopped, Z for ended but not yet
    waited for, ...); None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return None


class Shell:
    """An interactive shell, with job control, on a pseudo-terminal that lacks IUTF8
    as a fresh one (or a container's) does. The program runs as the shell's job, so
    Ctrl-Z, fg, bg and kill %1 act on it as at a real terminal. What the shell
    prints is only looked for, not compared whole. Closing it kills every process
    of its session: the job has a process group of its own.

    bash puts its own terminal settings back when a job stops, and continues a
    stopped job that kill %1 signals; dash does neither, so under dash the settings
    after Ctrl-Z are the ones the program left."""

    COMMANDS = {"bash": ["bash", "--norc", "--noprofile", "--noediting", "-i"], "dash": ["dash", "-i"]}

    def __init__(self, test, shell="bash", term="dumb"):
        self.test = test
        self.master, self.terminal = pty.openpty()
        settings = termios.tcgetattr(self.terminal)
        settings[0] &= ~IUTF8
        termios.tcsetattr(self.terminal, termios.TCSANOW, settings)
        self.shell = subprocess.Popen(
            self.COMMANDS[shell], stdin=self.terminal, stdout=self.terminal, stderr=self.terminal,
            env=environment(PS1="$ ", HISTFILE="", TERM=term, **UTF8_LOCALE),
            start_new_session=True, preexec_fn=lambda: take_terminal(0))
        self.screen = b""
        self.seen = 0  # how much of the screen has been waited for
        test.addCleanup(self.close)
        self.shows("$ ")
        self.settings = termios.tcgetattr(self.terminal)  # the shell's own, while it waits for a command

    def close(self):
        for pid in processes_in_session(self.shell.pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.shell.wait()
        os.close(self.master)
        os.close(self.terminal)

    def types(self, keys: str):
        os.write(self.master, keys.encode())

    def read_until_shown(self, wanted: bytes, end: float) -> bool:
        """Reads what the terminal shows until `wanted` is there after what was waited
        for before, or until the clock reaches `end`; whether it is there."""
        while wanted not in self.screen[self.seen:] and time.monotonic() < end:
            ready, _, _ = select.select([self.master], [], [], max(0.0, end - time.monotonic()))
            if ready:
                self.screen += os.read(self.master, 65536)
        return wanted in self.screen[self.seen:]

    def shows(self, text: str):
        """Waits until the terminal shows `text` after what was waited for before."""
        wanted = text.replace("\n", "\r\n").encode()
        self.test.assertTrue(self.read_until_shown(wanted, time.monotonic() + WAIT),
                             f"{text!r} did not appear; the screen:\n" + self.screen.decode("utf-8", "backslashreplace"))
        self.seen = self.screen.find(wanted, self.seen) + len(wanted)

    def until_jobs_show(self, state: str):
        """Asks the shell for its jobs until it says `state`. The shell's word for a job
        changes only once it has seen the job change: just after bg the job is still
        stopped from before, and the shell already calls it running."""
        wanted = state.encode()
        end = time.monotonic() + WAIT
        while not self.read_until_shown(wanted, min(end, time.monotonic() + 0.2)):
            self.test.assertLess(time.monotonic(), end, f"the shell's jobs never said {state!r}; the screen:\n"
                                 + self.screen.decode("utf-8", "backslashreplace"))
            self.types("jobs\r")
        self.seen = self.screen.find(wanted, self.seen) + len(wanted)

    def starts_the_game(self, in_background=False) -> int:
        """Starts the program at the prompt, as a job in the foreground or (`&`) in the
        background; its process id once it has asked for the name."""
        self.types(f"{BINARY} --seed 1{' &' if in_background else ''}\r")
        self.shows("そしてそなたの名を入力してくだされ → " if in_background else OPENING_TEXT)
        (game,) = [pid for pid in processes_in_session(self.shell.pid) if pid != self.shell.pid]
        return game

    def iutf8(self) -> bool:
        return bool(termios.tcgetattr(self.terminal)[0] & IUTF8)

    def until(self, condition, what):
        end = time.monotonic() + WAIT
        while not condition() and time.monotonic() < end:
            time.sleep(0.02)
        self.test.assertTrue(condition(), what)


class TerminalSessions(unittest.TestCase):
    def session(self, *args, **kwargs):
        s = Session(self, *args, **kwargs)
        self.addCleanup(s.close)
        return s

    def test_a_whole_game_at_a_utf8_terminal(self):
        s = self.session(1, UTF8_LOCALE, utf8=True)
        s.shows(OPENING_TEXT)  # the name request is up before anything is typed
        s.types("太郎")
        s.shows(GREETING)
        s.types("こんにちは")
        s.shows("鬼瓦＞今日も良い天気じゃな。\n太郎＞")
        s.types("")
        s.shows(SILENCE)
        s.types("パルプンテ")
        s.shows("\n　　　　　太郎はパルプンテを唱えた\n")
        s.holds()  # the spell's key wait: nothing more until Enter
        s.types("")
        s.shows("　　　　　鬼瓦のマゲが分裂した\n\n太郎＞")
        s.types("本能寺")
        s.shows(TEMPLE_FIT + BANNER_TEXT)
        s.holds()
        s.types("")
        s.ends()

    def test_the_locale_decides_the_bytes(self):
        with tempfile.TemporaryDirectory() as no_locales, tempfile.TemporaryDirectory() as shift_jis_locales:
            cases = [
                # A UTF-8 locale that the environment names but that is not installed.
                ("UTF-8 by name only", {"LOCPATH": no_locales, "LC_ALL": "ja_JP.UTF-8"}, True),
                # A charset alone, as a Mac sends LC_CTYPE over ssh: no such locale on Linux.
                ("UTF-8 alone", {"LC_ALL": None, "LC_CTYPE": "UTF-8", "LANG": "ja_JP.SJIS"}, True),
                ("utf8 alone", {"LC_ALL": "utf8"}, True),
                # No locale at all, as in a bare container or an ssh session: terminals speak UTF-8.
                ("C", C_LOCALE, True),
                ("POSIX", {"LC_ALL": "POSIX"}, True),
                ("none set", {"LC_ALL": None, "LC_CTYPE": None, "LANG": None}, True),
                ("Shift_JIS", make_shift_jis_locale(shift_jis_locales), False),
            ]
            for what, locale, utf8 in cases:
                with self.subTest(what):
                    if locale is None:
                        self.skipTest("localedef cannot make the Shift_JIS locale ja_JP.SJIS here")
                    self.short_game(self.session(1, locale, utf8))

    def test_the_command_line_overrides_the_locale(self):
        with self.subTest("--charset=shift_jis at a UTF-8 terminal"):
            # Nothing is converted, and the terminal's settings are left alone.
            s = self.session(1, UTF8_LOCALE, utf8=False, arguments=["--charset=shift_jis"], keep_terminal=True)
            self.short_game(s)
            self.assertEqual(s.settings_before, termios.tcgetattr(s.terminal))
        with self.subTest("--charset=utf-8 at a terminal whose locale is not UTF-8"):
            with tempfile.TemporaryDirectory() as shift_jis_locales:
                locale = make_shift_jis_locale(shift_jis_locales)
                if locale is None:
                    self.skipTest("localedef cannot make the Shift_JIS locale ja_JP.SJIS here")
                self.short_game(self.session(1, locale, utf8=True, arguments=["--charset=utf-8"]))

    def test_only_one_stream_is_the_terminal(self):
        # One terminal, one charset: the pipe beside a UTF-8 terminal carries UTF-8 too
        # (printf '太郎\n' | onigawara; onigawara | tee log).
        with self.subTest("output at the terminal, input from a pipe"):
            # A byte that begins no UTF-8 character is read as "?".
            s = self.session(1, UTF8_LOCALE, utf8=True, input_terminal=False)
            self.short_game(s, raw=b"\x82", shown_name="太郎?")
        with self.subTest("input at the terminal, output into a pipe"):
            self.short_game(self.session(1, UTF8_LOCALE, utf8=True, output_terminal=False))

    def test_what_input_methods_type_arrives_as_the_code_page_has_it(self):
        # 〜 − ‖ ¢ ¥ are the JIS forms that input methods give; code page 932 holds
        # them as ～ － ∥ ￠ and 0x5C, which is how they come back. An emoji cannot be held.
        s = self.session(1, UTF8_LOCALE, utf8=True)
        self.short_game(s, typed_name="ボブ〜−‖¢¥\N{GRINNING FACE}", shown_name="ボブ～－∥￠\\?")

    def test_a_terminal_left_non_blocking(self):
        # Another program can leave a shared terminal O_NONBLOCK: the game is played all the same.
        self.short_game(self.session(1, UTF8_LOCALE, utf8=True, non_blocking=True))

    def test_0x1a_at_a_terminal_ends_only_its_own_read(self):
        # Ctrl-V Ctrl-Z Enter at the spell's key wait sends 0x1A and a line break: that
        # read ends the key wait, and the conversation goes on.
        s = self.session(1, UTF8_LOCALE, utf8=True)
        self.at_the_spells_key_wait(s)
        s.keys_in(b"\x16\x1a\r", then_shows=EFFECT_8)
        s.types("本能寺")
        s.shows(TEMPLE_FIT + BANNER_TEXT)
        s.holds()
        s.types("")
        s.ends()

    def test_ctrl_d_ends_the_input_and_leaves_the_cursor_on_a_new_line(self):
        # One Ctrl-D is enough wherever the program waits: it is not asked for twice.
        # At a key wait the conversation goes on to its next prompt first.
        steps = [("太郎", GREETING), ("", SILENCE), ("本能寺", TEMPLE_FIT + BANNER_TEXT)]
        for typed_before in range(len(steps) + 1):
            with self.subTest(lines_before_ctrl_d=typed_before):
                s = self.session(1, UTF8_LOCALE, utf8=True)
                s.shows(OPENING_TEXT)
                for line, reply in steps[:typed_before]:
                    s.types(line)
                    s.shows(reply)
                s.presses_ctrl_d()
                s.shows("\n")
                s.ends()
        with self.subTest("at the spell's key wait"):
            s = self.session(1, UTF8_LOCALE, utf8=True)
            self.at_the_spells_key_wait(s)
            s.presses_ctrl_d()
            s.shows(EFFECT_8 + "\n")
            s.ends()
        with self.subTest("output into a pipe gets no line break"):
            s = self.session(1, UTF8_LOCALE, utf8=True, output_terminal=False)
            s.types("太郎")
            s.shows(OPENING_TEXT + GREETING)
            s.presses_ctrl_d()
            s.ends()

    def test_backspace_erases_a_whole_japanese_character(self):
        # The line discipline lacks IUTF8 until the program sets it for its run, and
        # it is put back as it was when the program ends, by itself or by Ctrl-C.
        for ending in ("the end of the game", "Ctrl-C"):
            with self.subTest(ending):
                s = self.session(1, UTF8_LOCALE, utf8=True, without_iutf8=True, keep_terminal=True)
                self.assertFalse(s.settings_before[0] & IUTF8)
                s.shows(OPENING_TEXT)
                self.assertTrue(termios.tcgetattr(s.terminal)[0] & IUTF8, "IUTF8 is set for the run")
                s.keys_in("あいう".encode() + b"\x7f\x7f\r", then_shows=GREETING.replace("太郎", "あ"))
                if ending == "Ctrl-C":
                    os.write(s.master, b"\x03")
                    s.process.wait(WAIT)
                    self.assertEqual(-signal.SIGINT, s.process.returncode, "ended by the signal, as the shell sees")
                else:
                    s.types("")
                    s.shows(SILENCE.replace("太郎", "あ"))
                    s.types("本能寺")
                    s.shows(TEMPLE_FIT + BANNER_TEXT)
                    s.types("")
                    s.ends()
                self.assertEqual(s.settings_before, termios.tcgetattr(s.terminal))

    def test_each_signal_puts_the_terminal_back_and_ends_the_program_by_it(self):
        # Every signal whose default action ends a program (SIGKILL apart, which no
        # program can handle), the real-time ones by a sample, and those of a crash;
        # with the terminal's own line editing (a dumb terminal) and with the
        # program's, which sets the terminal further. Ctrl-C and Ctrl-\ are typed;
        # the others come from elsewhere, as from kill.
        typed = {signal.SIGINT: b"\x03", signal.SIGQUIT: b"\x1c"}
        ending = [signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP, signal.SIGALRM, signal.SIGUSR1,
                  signal.SIGUSR2, signal.SIGXCPU, signal.SIGXFSZ, signal.SIGVTALRM, signal.SIGPROF, signal.SIGIO,
                  signal.SIGPWR, signal.SIGSYS, signal.SIGRTMIN, signal.SIGRTMIN + 5, signal.SIGRTMAX]
        crashes = [signal.SIGABRT, signal.SIGSEGV, signal.SIGBUS, signal.SIGFPE, signal.SIGILL, signal.SIGTRAP]
        for term in ("xterm", "dumb"):
            for signal_number in ending + crashes:
                with self.subTest(signal_name(signal_number), TERM=term):
                    s = self.session(1, {**UTF8_LOCALE, "TERM": term}, utf8=True, without_iutf8=True,
                                     keep_terminal=True)
                    s.shows(OPENING_TEXT)
                    self.assertTrue(termios.tcgetattr(s.terminal)[0] & IUTF8, "IUTF8 is set for the run")
                    if signal_number in typed:
                        os.write(s.master, typed[signal_number])
                    else:
                        s.process.send_signal(signal_number)
                    s.process.wait(WAIT)
                    self.assertEqual(-signal_number, s.process.returncode, "ended by the signal, as the shell sees")
                    self.assertEqual(s.settings_before, termios.tcgetattr(s.terminal))

    def test_a_signal_left_ignored_stays_ignored(self):
        # As under nohup: SIGHUP changes nothing, and the game goes on to its end.
        s = self.session(1, UTF8_LOCALE, utf8=True, without_iutf8=True, keep_terminal=True, ignoring=[signal.SIGHUP])
        s.shows(OPENING_TEXT)
        s.process.send_signal(signal.SIGHUP)
        s.types("太郎")
        s.shows(GREETING)
        self.assertTrue(termios.tcgetattr(s.terminal)[0] & IUTF8)
        s.types("本能寺")
        s.shows(TEMPLE_FIT_AFTER_GREETING + BANNER_TEXT)
        s.types("")
        s.ends()
        self.assertEqual(s.settings_before, termios.tcgetattr(s.terminal))

    def test_a_stopped_game_ends_when_killed(self):
        # The game, continued in the background by bg or by bash's kill (which sends
        # SIGCONT after SIGTERM to a stopped job), must leave the terminal alone:
        # tcsetattr() there would stop it again. With the terminal's line editing
        # (TERM=dumb) and with the program's.
        for term, then_bg in itertools.product(("dumb", "xterm"), (False, True)):
            with self.subTest("Ctrl-Z, bg, kill %1" if then_bg else "Ctrl-Z, kill %1", TERM=term):
                shell = Shell(self, term=term)
                game = shell.starts_the_game()
                self.assertTrue(shell.iutf8(), "IUTF8 is set for the run")
                shell.types("\x1a")
                shell.shows("Stopped")
                self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal), "put back before it stops")
                if then_bg:
                    # Continued in the background, it stops again (SIGTTIN) at its read of
                    # the terminal; kill continues only a job that the shell knows is stopped.
                    shell.types("bg\r")
                    shell.shows("&\n")
                    shell.until_jobs_show("Stopped")
                shell.types("kill %1\r")
                shell.until(lambda: process_state(game) in (None, "Z"), "the game is still there, stopped")
                # bash can miss the end of a job that its kill continued, until it next
                # waits for a child: a command of its own makes it report the end.
                shell.types("sleep 0\r")
                shell.shows("Terminated")
                self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal))

    def test_ctrl_z_puts_the_terminal_back_and_fg_sets_iutf8_again(self):
        # After fg, Backspace over あ must still erase the whole character.
        for shell_name, term in itertools.product(Shell.COMMANDS, ("dumb", "xterm")):
            with self.subTest(shell_name, TERM=term):
                shell = Shell(self, shell_name, term)
                shell.starts_the_game()
                shell.types("\x1a")
                shell.shows("Stopped")
                self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal), "put back before it stops")
                shell.types("fg\r")
                shell.until(shell.iutf8, "IUTF8 is set again after fg")
                shell.types("あ\x7fい\r")
                shell.shows(GREETING.replace("太郎", "い"))
                shell.types("本能寺\r")
                shell.shows(TEMPLE_FIT_AFTER_GREETING + BANNER_TEXT)
                shell.types("\r")
                shell.shows("$ ")
                self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal))

    def test_a_game_started_in_the_background_takes_the_terminal_at_fg(self):
        # It leaves the terminal alone until fg continues it in the foreground.
        for term in ("dumb", "xterm"):
            with self.subTest(TERM=term):
                self.background_game_taken_at_fg(term)

    def background_game_taken_at_fg(self, term):
        shell = Shell(self, term=term)
        game = shell.starts_the_game(in_background=True)
        shell.until(lambda: process_state(game) == "T", "stopped at its read of the terminal")
        self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal), "left alone from the background")
        shell.types("fg\r")
        shell.until(shell.iutf8, "IUTF8 is set after fg")
        shell.types("あ\x7fい\r")
        shell.shows(GREETING.replace("太郎", "い"))
        shell.types("\x03")
        shell.shows("$ ")
        self.assertEqual(shell.settings, termios.tcgetattr(shell.terminal))

    def test_each_print_reaches_the_terminal_when_it_is_made(self):
        # Input from a pipe holds every line at once, so the program never waits
        # between its prints: each is written all the same, one write per print.
        s = self.session(1, UTF8_LOCALE, utf8=True, input_terminal=False)
        s.shows(OPENING_TEXT)
        s.waits()
        writes_before = write_calls(s.process.pid)  # a sanitizer's run-time writes too, at start-up
        s.process.stdin.write("太郎\n\n\n".encode())
        s.process.stdin.flush()
        s.shows(GREETING + SILENCE + "鬼瓦＞お～い、太郎さ～ん、いませんか～。\n太郎＞")
        s.waits()
        # The line break and the greeting, then prompt, silence, prompt, silence, prompt.
        self.assertEqual(7, write_calls(s.process.pid) - writes_before)

    def at_the_spells_key_wait(self, s):
        """The name 太郎, then the spell word: the program holds at the spell's key wait."""
        s.shows(OPENING_TEXT)
        s.types("太郎")
        s.shows(GREETING)
        s.types("パルプンテ")
        s.shows("\n　　　　　太郎はパルプンテを唱えた\n")

    def short_game(self, s, typed_name="太郎", raw=b"", shown_name="太郎"):
        """A name, an empty line, 本能寺, then Enter at the end banner."""
        s.shows(OPENING_TEXT)
        s.types(typed_name, raw, shown=shown_name)
        s.shows(GREETING.replace("太郎", shown_name))
        s.types("")
        s.shows(SILENCE.replace("太郎", shown_name))
        s.types("本能寺")
        s.shows(TEMPLE_FIT + BANNER_TEXT)
        s.holds()
        s.types("")
        s.ends()


def signal_name(number):
    try:
        return signal.Signals(number).name
    except ValueError:  # a real-time signal without a name of its own
        return f"SIGRTMIN+{number - signal.SIGRTMIN}"


def write_calls(pid):
    """How many write calls the process `pid` has made so far."""
    with open(f"/proc/{pid}/io") as io:
        return int(next(line for line in io if line.startswith("syscw:")).split()[1])


def make_shift_jis_locale(directory):
    """The locale environment of ja_JP.SJIS, made by localedef in `directory`; None
    when it cannot be made. It is checked to load with the Shift_JIS charset."""
    try:
        made = subprocess.run(["localedef", "--no-warnings=ascii", "-f", "SHIFT_JIS", "-i", "ja_JP",
                               os.path.join(directory, "ja_JP.SJIS")], capture_output=True)
    except FileNotFoundError:
        return None
    locale = {"LOCPATH": directory, "LC_ALL": "ja_JP.SJIS"}
    if made.returncode != 0:
        return None
    charmap = subprocess.run(["locale", "charmap"], env=environment(**locale), capture_output=True, text=True)
    return locale if charmap.stdout.strip() == "SHIFT_JIS" else None


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
