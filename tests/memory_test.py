#!/usr/bin/env python3
"""The real binary under valgrind's memcheck: a long session shows no memory error
and no leak, and the number of heap allocations is the same for 10 turns as for
10,000 (the turn loop allocates nothing).

Usage: memory_test.py PATH_TO_ONIGAWARA   (exits 77, skipped, without valgrind)"""
import os
import re
import shutil
import sys
import tempfile
import unittest

import long_sessions
from sessions import run, seeded

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


class Memory(unittest.TestCase):
    def test_long_session_is_clean_and_allocates_as_much_as_a_short_one(self):
        short_status, short_allocs, short_log = memcheck(10)
        long_status, long_allocs, long_log = memcheck(10_000)
        print(f"\nheap allocations: {short_allocs} for 10 turns, {long_allocs} for 10,000 turns", file=sys.stderr)
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
