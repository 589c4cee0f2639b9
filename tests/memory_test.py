#!/usr/bin/env python3
"""The real binary under valgrind's memcheck: a long session shows no memory error
and no leak, and the number of heap allocations is the same for 10 turns as for
10,000 (the turn loop allocates nothing); and so at a terminal, where the program
edits each line, for 10 lines as for 200, each typed with a few editing keys.

Usage: memory_test.py PATH_TO_ONIGAWARA   (exits 77, skipped, without valgrind)"""
import fcntl
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import time
import unittest

import long_sessions
from sessions import environment, kill_group, run, seeded

BINARY = None
MEMCHECK = ["valgrind", "--tool=memcheck", "--error-exitcode=1", "--leak-check=full",
            "--show-leak-kinds=definite,indirect,possible", "--errors-for-leak-kinds=definite,indirect,possible"]


def memcheck(turns: int):
    """Exit status, allocation count and valgrind's log for a session of `turns` turns."""
    with tempfile.NamedTemporaryFile(suffix=".log") as log:
        result = run(MEMCHECK + [f"--log-file={log.name}"] + seeded(1, [BINARY]), long_sessions.session(turns),
                     timeout=600)
        with open(log.name, encoding="utf-8", errors="replace") as f:
            text = f.read()
    found = re.search(r"total heap usage: ([\d,]+) allocs", text)
    return result.returncode, int(found.group(1).replace(",", "")) if found else None, text


def memcheck_at_a_terminal(turns: int):
    """As memcheck, for a session typed at a pseudo-terminal where the program edits
    each line: every line with a character typed and erased, ← and →, then Enter; the
    whole session typed ahead, once the name is asked for, then Ctrl-D."""
    typed = "".join(line.decode("cp932") + "x\x7f\x1b[D\x1b[C\r"
                    for line in long_sessions.session(turns).split(b"\n")[:-1]).encode() + b"\x04"
    master, slave = pty.openpty()
    with tempfile.NamedTemporaryFile(suffix=".log") as log:
        process = subprocess.Popen(
            MEMCHECK + [f"--log-file={log.name}"] + seeded(1, [BINARY]), stdin=slave, stdout=slave,
            stderr=subprocess.DEVNULL, env=environment(TERM="xterm", LC_ALL="C.UTF-8"), start_new_session=True,
            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(slave)
        # Never blocked writing while the program waits for its output to be read.
        fcntl.fcntl(master, fcntl.F_SETFL, fcntl.fcntl(master, fcntl.F_GETFL) | os.O_NONBLOCK)
        try:
            end = time.monotonic() + 600
            screen = b""
            asked = False  # for the name: the program has the terminal
            while process.poll() is None and time.monotonic() < end:
                writing = [master] if typed and asked else []
                readable, writable, _ = select.select([master], writing, [], 0.1)
                if readable:
                    try:
                        screen += os.read(master, 65536)
                        asked = " → ".encode() in screen
                    except BlockingIOError:
                        pass
                    except OSError:
                        break
                if writable:
                    try:
                        typed = typed[os.write(master, typed[:1024]):]
                    except BlockingIOError:
                        pass
            process.wait(timeout=max(1, end - time.monotonic()))
        finally:
            kill_group(process)
            os.close(master)
        with open(log.name, encoding="utf-8", errors="replace") as f:
            text = f.read()
    found = re.search(r"total heap usage: ([\d,]+) allocs", text)
    if screen.count("\n太郎＞".encode()) != turns + 1:  # every line was answered
        return process.returncode, None, text + screen.decode("utf-8", "replace")
    return process.returncode, int(found.group(1).replace(",", "")) if found else None, text


class Memory(unittest.TestCase):
    def test_long_session_is_clean_and_allocates_as_much_as_a_short_one(self):
        short_status, short_allocs, short_log = memcheck(10)
        long_status, long_allocs, long_log = memcheck(10_000)
        print(f"\nheap allocations: {short_allocs} for 10 turns, {long_allocs} for 10,000 turns", file=sys.stderr)
        self.assertEqual(0, short_status, short_log)
        self.assertEqual(0, long_status, long_log)
        self.assertIsNotNone(long_allocs, long_log)
        self.assertEqual(short_allocs, long_allocs)

    def test_editing_at_a_terminal_allocates_as_much_for_many_lines_as_for_few(self):
        short_status, short_allocs, short_log = memcheck_at_a_terminal(10)
        long_status, long_allocs, long_log = memcheck_at_a_terminal(200)
        print(f"\nheap allocations at a terminal: {short_allocs} for 10 lines, {long_allocs} for 200 lines",
              file=sys.stderr)
        self.assertEqual(0, short_status, short_log)
        self.assertEqual(0, long_status, long_log)
        self.assertIsNotNone(long_allocs, long_log)
        self.assertEqual(short_allocs, long_allocs)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    if shutil.which("valgrind") is None:
        print("valgrind is not installed: skipped", file=sys.stderr)
        sys.exit(77)
    unittest.main(verbosity=2)
