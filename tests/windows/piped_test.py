#!/usr/bin/env python3
"""onigawara.exe under wine through pipes: the recorded transcripts byte for byte,
in code page 932 with every line feed written as CR LF, and the command line.

Usage: piped_test.py BUILD_DIR PATH_TO_ONIGAWARA_EXE TRANSCRIPTS_DIR"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import OPENING, VERSION, prompt, run as run_command, sj, transcripts  # noqa: E402

BUILD = PROGRAM = TRANSCRIPTS = None


def run(arguments, input_bytes=b""):
    return wine.run(BUILD, [PROGRAM] + arguments, input_bytes)


def text_mode(data: bytes) -> bytes:
    return data.replace(b"\n", b"\r\n")


class Transcripts(unittest.TestCase):
    def test_every_transcript_with_either_line_end(self):
        found = transcripts(TRANSCRIPTS)
        self.assertGreaterEqual(len(found), 10)
        for name, seed, typed, expected in found:
            for line_end in (b"\n", b"\r\n"):  # CR LF read becomes LF
                with self.subTest(transcript=name, line_end=line_end):
                    result = run(["--seed", str(seed)], sj(typed).replace(b"\n", line_end))
                    self.assertEqual(0, result.returncode)
                    self.assertEqual(text_mode(sj(expected)).decode("cp932", "backslashreplace"),
                                     result.stdout.decode("cp932", "backslashreplace"))
                    self.assertEqual(text_mode(sj(expected)), result.stdout)


class TextMode(unittest.TestCase):
    GREETING = sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？")

    def test_0x1a_ends_piped_input_for_good(self):
        result = run(["--seed", "1"], sj("太郎\n") + b"\x1a" + sj("\n本能寺\n"))
        self.assertEqual(0, result.returncode)
        self.assertEqual(text_mode(OPENING + self.GREETING + prompt("太郎")), result.stdout)

    def test_utf8_both_ways_when_asked(self):
        for spelling in ("utf-8", "UTF8"):
            with self.subTest(spelling):
                result = run(["--seed", "1", "--charset=" + spelling], "太郎\n".encode())
                self.assertEqual(text_mode(OPENING + self.GREETING + prompt("太郎")).decode("cp932").encode(),
                                 result.stdout)


class CommandLine(unittest.TestCase):
    def test_the_help_is_windows_own(self):
        # /? and -? ask for it too, and --charset is told in Windows' terms: it has no
        # effect at a console, only on a file or pipe.
        help_text = run(["--help"])
        self.assertEqual(0, help_text.returncode)
        self.assertIn(b"\r\n  -h, -?, /?, --help     print this help and exit\r\n", help_text.stdout)
        self.assertIn(b"--charset=CHARSET  how text is written to and read from a file or pipe;", help_text.stdout)
        self.assertNotIn(b"locale", help_text.stdout)
        for asking in (["/?"], ["-?"], ["-?x"], ["--seed=1", "/?"]):
            with self.subTest(asking=asking):
                result = run(asking)
                self.assertEqual((0, help_text.stdout), (result.returncode, result.stdout))

    def test_version(self):
        self.assertEqual(f"onigawara {VERSION}\r\n".encode(), run(["--version"]).stdout)

    def test_help_that_cannot_be_written(self):
        result = run_command(["sh", "-c", 'exec wine "$0" --help >/dev/full', PROGRAM],
                             env=wine.environment(BUILD), timeout=60)
        self.assertEqual(1, result.returncode)
        self.assertIn(b"onigawara: write error: No space left on device\r\n", result.stderr)

    def test_a_game_that_cannot_be_written(self):
        # It ends at once, as on Linux, and says why.
        result = run_command(["sh", "-c", 'exec wine "$0" --seed 1 >/dev/full', PROGRAM], input=sj("太郎\n"),
                             env=wine.environment(BUILD), timeout=60)
        self.assertEqual(1, result.returncode)
        self.assertIn(b"onigawara: write error: No space left on device\r\n", result.stderr)

    def test_bad_usage(self):
        result = run(["--seed", "abc"])
        self.assertEqual(2, result.returncode)
        self.assertEqual(b"", result.stdout)
        program_lines = [line for line in result.stderr.splitlines() if line.startswith(b"onigawara:")]
        self.assertEqual([b"onigawara: invalid seed 'abc': give a whole number from 0 to 4294967295"], program_lines)
        self.assertIn(b"\r\nTry 'onigawara --help' for more information.\r\n", result.stderr)


if __name__ == "__main__":
    BUILD, PROGRAM, TRANSCRIPTS = (os.path.abspath(sys.argv.pop(1)) for _ in range(3))
    unittest.main(verbosity=2)
