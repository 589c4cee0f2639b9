#!/usr/bin/env python3
"""The real binary through pipes, with the clock fixed from outside by faketime.

Usage: binary_test.py PATH_TO_ONIGAWARA
Texts are written as UTF-8 here and sent and compared as code page 932 bytes."""
import os
import pathlib
import subprocess
import sys
import unittest

from sessions import OPENING, at_second, environment, prompt, sj

BINARY = None
TRANSCRIPTS = None


def run(seconds: int, input_bytes: bytes, timeout: float = 20) -> subprocess.CompletedProcess:
    """Runs the binary with the clock stopped at `seconds` since the epoch."""
    return subprocess.run(at_second(seconds, [BINARY]), input=input_bytes, env=environment(),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)


class PipedSessions(unittest.TestCase):
    def check(self, seconds, input_text, expected_text, raw_input=None):
        result = run(seconds, raw_input if raw_input is not None else sj(input_text))
        self.assertEqual(0, result.returncode)
        self.assertEqual(b"", result.stderr)
        expected = OPENING + (expected_text if isinstance(expected_text, bytes) else sj(expected_text))
        self.assertEqual(expected.decode("cp932", "backslashreplace"), result.stdout.decode("cp932", "backslashreplace"))
        self.assertEqual(expected, result.stdout)

    def test_greeting_silence_and_temple(self):
        # Seed 1: greeting 6, silence 2, temple fit 5; the key wait takes "x".
        self.check(1, "太郎\n\n本能寺\nx\n",
                   "\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？"
                   "\n太郎＞鬼瓦＞何か申さぬか。"
                   "\n太郎＞鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！" + "\n\n" + "　" * 22 + "－　完　－　")

    def test_clock_chooses_the_greeting(self):
        # Seed 7: greeting 2, then silence 7; CR LF line ends; end of input stops quietly.
        self.check(7, "お春\r\n\r\n",
                   "\nお春＞".join(["\n鬼瓦＞おお、お春、よくぞ参られた、楽にせい。",
                                   "鬼瓦＞お～い、お春さ～ん、いませんか～。", ""]))

    def test_end_of_input_at_the_name(self):
        self.check(1, "", b"")

    def test_input_ends_at_0x1a(self):
        self.check(1, None, sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？") + prompt("太郎"),
                   raw_input=sj("太郎\n") + b"\x1a" + sj("\n本能寺\n"))


class RecordedTranscripts(unittest.TestCase):
    """The recorded conversations of tests/transcripts/, through the real binary."""

    def test_every_transcript(self):
        paths = sorted(pathlib.Path(TRANSCRIPTS).glob("*.txt"))
        self.assertGreaterEqual(len(paths), 10)
        for path in paths:
            with self.subTest(transcript=path.name):
                text = path.read_text(encoding="utf-8")
                seed = int(text.split("seed: ", 1)[1].split("\n", 1)[0])
                typed = text.split("=== input\n", 1)[1].split("=== output\n", 1)[0]
                expected = text.split("=== output\n", 1)[1]
                result = run(seed, sj(typed))
                self.assertEqual(0, result.returncode)
                self.assertEqual(expected, result.stdout.decode("cp932", "backslashreplace"))
                self.assertEqual(sj(expected), result.stdout)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    TRANSCRIPTS = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
