#!/usr/bin/env python3
"""scripts/play as a player meets it, on a copy of the source tree: it says what
it is doing and shows the build's progress on standard error, then plays; and
when the build fails, it shows the compiler's errors and fails.

Usage: play_test.py SOURCE_DIRECTORY"""
import os
import shutil
import sys
import tempfile
import unittest

from sessions import OPENING, run, sj

SOURCE = None


class Play(unittest.TestCase):
    def test_builds_visibly_then_plays_and_shows_a_failed_build(self):
        with tempfile.TemporaryDirectory() as work:
            tree = os.path.join(work, "onigawara")
            shutil.copytree(SOURCE, tree, symlinks=True, ignore=shutil.ignore_patterns("build", ".git", "artifacts"))
            play = os.path.join(tree, "scripts", "play")

            built = run([play, "--seed", "1"], sj("太郎\n"), timeout=600)
            self.assertEqual(0, built.returncode, built.stderr.decode(errors="replace"))
            self.assertTrue(built.stdout.startswith(OPENING), built.stdout[:200])
            self.assertIn(b"scripts/play: building build/release/onigawara", built.stderr)
            self.assertRegex(built.stderr, rb"\[\d+/\d+\] Linking CXX executable onigawara")

            with open(os.path.join(tree, "engine", "ending.cpp"), "a") as source:
                source.write("\nint broken = ;\n")
            failed = run([play], b"", timeout=600)
            self.assertEqual(1, failed.returncode)
            self.assertEqual(b"", failed.stdout)
            self.assertIn(b"ending.cpp", failed.stderr)
            self.assertIn(b"error:", failed.stderr)
            self.assertTrue(failed.stderr.endswith(b"scripts/play: the build failed: the errors are above\n"),
                            failed.stderr[-300:])


if __name__ == "__main__":
    SOURCE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
