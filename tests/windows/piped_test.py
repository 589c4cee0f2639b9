#!/usr/bin/env python3
"""onigawara.exe under wine through pipes: the recorded transcripts byte for byte,
in code page 932 with every line feed written as CR LF, and the command line.

Usage: piped_test.py BUILD_DIR PATH_TO_ONIGAWARA_EXE TRANSCRIPTS_DIR"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import OPENING, prompt, sj, transcripts  # noqa: E402

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
        result = run(["--seed", "1", "--charset=utf-8"], "太郎\n".encode())
        self.assertEqual(text_mode(OPENING + self.GREETING + prompt("太郎")).decode("cp932").encode(), result.stdout)


class CommandLine(unittest.TestCase):
    def test_slash_question_mark_prints_the_help(self):
        help_text = run(["--help"])
        self.assertEqual(0, help_text.returncode)
        self.assertIn(b"--seed", help_text.stdout)
        slash = run(["/?"])
        self.assertEqual((0, help_text.stdout), (slash.returncode, slash.stdout))

    def test_version(self):
        self.assertEqual(b"onigawara 3.0\r\n", run(["--version"]).stdout)

    def test_bad_usage(self):
        result = run(["--seed", "abc"])
        self.assertEqual(2, result.returncode)
        self.assertEqual(b"", result.stdout)
        program_lines = [line for line in result.stderr.splitlines() if line.startswith(b"onigawara:")]
        self.assertEqual(1, len(program_lines))
        self.assertIn(b"Try 'onigawara --help' for more information.", result.stderr)


if __name__ == "__main__":
    BUILD, PROGRAM, TRANSCRIPTS = (os.path.abspath(sys.argv.pop(1)) for _ in range(3))
    unittest.main(verbosity=2)
