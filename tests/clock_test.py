#!/usr/bin/env python3
"""A run without --seed is seeded by the clock: its conversation is the one that
--seed gives for the clock's seconds at the moment it started.

Usage: clock_test.py PATH_TO_ONIGAWARA
Five silence replies after the greeting make a conversation that one seed in
several tens of thousands shares; the run is compared with the seeds of every
second it could have read."""
import os
import sys
import time
import unittest

from sessions import run, seeded, sj

BINARY = None
SESSION = sj("太郎\n" + "\n" * 5)


class Clock(unittest.TestCase):
    def test_an_unseeded_run_takes_the_clock_seconds(self):
        before = int(time.time())
        unseeded = run([BINARY], SESSION, timeout=20)
        after = int(time.time())
        self.assertEqual((0, b""), (unseeded.returncode, unseeded.stderr))
        matching = [seconds for seconds in range(before, after + 1)
                    if run(seeded(seconds & 0xFFFFFFFF, [BINARY]), SESSION, timeout=20).stdout == unseeded.stdout]
        self.assertNotEqual([], matching, f"no second from {before} to {after} gives this conversation")
        # Another second's conversation differs: the seed is the second, not something fixed.
        self.assertNotEqual(unseeded.stdout, run(seeded((before - 86400) & 0xFFFFFFFF, [BINARY]), SESSION, timeout=20).stdout)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
