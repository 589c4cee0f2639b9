#!/usr/bin/env python3
"""The real binary through pipes: seeded sessions, the recorded transcripts and
the command line.

Usage: binary_test.py PATH_TO_ONIGAWARA TRANSCRIPTS_DIRECTORY
Texts are written as UTF-8 here and sent and compared as code page 932 bytes."""
import os
import pathlib
import sys
import unittest

from sessions import OPENING, OPENING_TEXT, BANNER_TEXT, VERSION, prompt, run, seeded, sj, transcripts

BINARY = None
TRANSCRIPTS = None


def play(seed: int, input_bytes: bytes, *arguments) -> "subprocess.CompletedProcess":
    return run(seeded(seed, [BINARY, *arguments]), input_bytes, timeout=20)


class PipedSessions(unittest.TestCase):
    def check(self, seed, input_text, expected_text, raw_input=None):
        result = play(seed, raw_input if raw_input is not None else sj(input_text))
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
                   "\n太郎＞鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！" + BANNER_TEXT)

    def test_the_seed_chooses_the_greeting(self):
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
        found = transcripts(TRANSCRIPTS)
        self.assertGreaterEqual(len(found), 10)
        for name, seed, typed, expected in found:
            with self.subTest(transcript=name):
                result = play(seed, sj(typed))
                self.assertEqual(0, result.returncode)
                self.assertEqual(expected, result.stdout.decode("cp932", "backslashreplace"))
                self.assertEqual(sj(expected), result.stdout)

    def test_a_transcript_in_utf8_through_pipes(self):
        # --charset=utf-8: the same conversation, typed and printed as UTF-8.
        _, seed, typed, expected = next(t for t in transcripts(TRANSCRIPTS) if t[0] == "rename_player.txt")
        forms = (["--charset=utf-8"], ["--charset", "utf-8"], ["--ch=utf-8"], ["--charset=UTF-8"], ["--charset=utf8"])
        for form in forms:
            with self.subTest(form=form):
                result = play(seed, typed.encode("utf-8"), *form)
                self.assertEqual((0, b""), (result.returncode, result.stderr))
                self.assertEqual(expected, result.stdout.decode("utf-8"))

    def test_a_byte_order_mark_at_the_start_of_utf8_input_is_skipped(self):
        # As Notepad saves UTF-8. Anywhere else it is a character that code page 932
        # cannot hold, and reaches the lord as "?": a line of it is no silence.
        greeting = OPENING_TEXT + "\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？\n太郎＞"
        result = play(1, "\ufeff太郎\n".encode("utf-8"), "--charset=utf-8")
        self.assertEqual(greeting, result.stdout.decode("utf-8"))
        result = play(1, "太郎\n\ufeff\n".encode("utf-8"), "--charset=utf-8")
        self.assertTrue(result.stdout.decode("utf-8").startswith(greeting))
        self.assertNotIn("鬼瓦＞何か申さぬか。", result.stdout.decode("utf-8"))

    def test_utf8_input_that_code_page_932_spells_otherwise(self):
        # Seed 1: greeting 6. 〜 and − are typed as input methods give them.
        result = play(1, "ボブ〜−\n".encode("utf-8"), "--charset=utf-8")
        self.assertEqual(OPENING_TEXT + "\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～ボブ～－、はわゆ～？\nボブ～－＞",
                         result.stdout.decode("utf-8"))


USAGE_HINT = b"Try 'onigawara --help' for more information.\n"


class CommandLine(unittest.TestCase):
    def test_help_and_version_that_cannot_be_written(self):
        # As a game's own output does (fault_test.py).
        for option in ("--help", "--version"):
            for what, redirection, reason in [("/dev/full", ">/dev/full", b"No space left on device"),
                                              ("closed", ">&-", b"Bad file descriptor")]:
                with self.subTest(option=option, stdout=what):
                    result = run(["sh", "-c", f'exec "$0" {option} {redirection}', BINARY], timeout=20)
                    self.assertEqual((1, b"onigawara: write error: " + reason + b"\n"),
                                     (result.returncode, result.stderr))

    def test_the_readme_shows_the_help_as_it_is(self):
        readme = (pathlib.Path(__file__).parent.parent / "README.md").read_text(encoding="utf-8")
        shown = readme.split("```\nUsage: onigawara", 1)[1].split("```", 1)[0]
        self.assertEqual(run([BINARY, "--help"], timeout=20).stdout.decode(), "Usage: onigawara" + shown)

    def test_arguments(self):
        help_text = run([BINARY, "--help"], timeout=20).stdout
        self.assertTrue(help_text.startswith(b"Usage: onigawara [OPTION]...\n"), help_text)
        for option in (b"--help", b"--version", b"--seed=N", b"--charset=CHARSET", b"shift_jis"):
            self.assertIn(option, help_text)
        greeting_7 = sj("\n鬼瓦＞おお、太郎、よくぞ参られた、楽にせい。") + prompt("太郎")
        played_7 = OPENING + greeting_7
        # (arguments, exit status, standard output, the problem on standard error)
        cases = [
            (["--help"], 0, help_text, None),
            (["-h"], 0, help_text, None),
            (["-hh"], 0, help_text, None),
            (["--he"], 0, help_text, None),
            (["--seed", "1", "--help", "--bogus"], 0, help_text, None),
            (["extra", "--help"], 0, help_text, None),
            (["--version"], 0, f"onigawara {VERSION}\n".encode(), None),
            (["--vers"], 0, f"onigawara {VERSION}\n".encode(), None),
            (["--seed", "7"], 0, played_7, None),
            (["--seed=7"], 0, played_7, None),
            (["--se=7"], 0, played_7, None),
            (["--seed=007"], 0, played_7, None),
            (["--seed=1", "--seed=7"], 0, played_7, None),
            (["--seed=7", "--charset=shift_jis"], 0, played_7, None),
            (["--seed=7", "--charset=auto"], 0, played_7, None),
            (["--seed=7", "--charset=AUTO"], 0, played_7, None),
            (["--seed=7", "--charset=Shift_JIS"], 0, played_7, None),
            (["--seed=7", "--charset=SJIS"], 0, played_7, None),
            (["--seed=7", "--charset=cp932"], 0, played_7, None),
            (["--seed=7", "--charset=Windows-31J"], 0, played_7, None),
            (["--seed=7", "--"], 0, played_7, None),
            (["--seed=4294967295"], 0, OPENING + sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？") + prompt("太郎"), None),
            (["--bogus"], 2, b"", b"unrecognized option '--bogus'"),
            (["-x"], 2, b"", b"invalid option -- 'x'"),
            (["-hx"], 0, help_text, None),  # read in order, as getopt reads them
            (["-xh"], 2, b"", b"invalid option -- 'x'"),
            (["-?"], 2, b"", b"invalid option -- '?'"),  # only on Windows, where /? asks for help
            (["-あ"], 2, b"", "invalid option -- 'あ'".encode()),  # the whole character
            (["--bogus", "--help"], 2, b"", b"unrecognized option '--bogus'"),
            (["--seed"], 2, b"", b"option '--seed' requires an argument"),
            (["--seed", "abc"], 2, b"", b"invalid seed 'abc': give a whole number from 0 to 4294967295"),
            (["--seed", "-1"], 2, b"", b"invalid seed '-1': give a whole number from 0 to 4294967295"),
            (["--seed", "4294967296"], 2, b"", b"invalid seed '4294967296': give a whole number from 0 to 4294967295"),
            (["--seed", ""], 2, b"", b"invalid seed '': give a whole number from 0 to 4294967295"),
            (["--seed=+7"], 2, b"", b"invalid seed '+7': give a whole number from 0 to 4294967295"),
            (["--seed= 7"], 2, b"", b"invalid seed ' 7': give a whole number from 0 to 4294967295"),
            (["--charset=latin1"], 2, b"", b"invalid charset 'latin1': give auto, utf-8 or shift_jis"),
            (["--charset=utf-16"], 2, b"", b"invalid charset 'utf-16': give auto, utf-8 or shift_jis"),
            # A long value is cut where a character ends, and the explanation stays.
            (["--seed=" + "あ" * 100], 2, b"",
             ("invalid seed '" + "あ" * 20 + "...': give a whole number from 0 to 4294967295").encode()),
            ([b"--seed=" + sj("あ") * 100], 2, b"",
             b"invalid seed '" + sj("あ") * 30 + b"...': give a whole number from 0 to 4294967295"),
            (["--seed=" + "7" * 61], 2, b"",
             b"invalid seed '" + b"7" * 60 + b"...': give a whole number from 0 to 4294967295"),
            (["--seed=" + "7" * 60], 2, b"",
             b"invalid seed '" + b"7" * 60 + b"': give a whole number from 0 to 4294967295"),
            ([b"--seed=x" + "あ".encode("euc_jp") * 50], 2, b"",
             b"invalid seed 'x" + "あ".encode("euc_jp") * 29 + b"...': give a whole number from 0 to 4294967295"),
            # Bytes that no charset here holds are cut after an ASCII byte only.
            ([b"--seed=\xff" + b"7" * 69], 2, b"",
             b"invalid seed '\xff" + b"7" * 59 + b"...': give a whole number from 0 to 4294967295"),
            ([b"--seed=" + b"\xff" * 70], 2, b"", b"invalid seed '...': give a whole number from 0 to 4294967295"),
            (["--" + "x" * 70], 2, b"", b"unrecognized option '--" + b"x" * 58 + b"...'"),
            (["--charset"], 2, b"", b"option '--charset' requires an argument"),
            (["--help=yes"], 2, b"", b"option '--help' doesn't allow an argument"),
            (["play"], 2, b"", b"extra operand 'play'"),
            (["-"], 2, b"", b"extra operand '-'"),
            (["--", "--help"], 2, b"", b"extra operand '--help'"),
            (["/?"], 2, b"", b"extra operand '/?'"),
        ]
        for arguments, status, stdout, problem in cases:
            with self.subTest(arguments=arguments):
                result = run([BINARY, *arguments], sj("太郎\n"), timeout=20)
                self.assertEqual(status, result.returncode)
                self.assertEqual(stdout.decode("cp932", "backslashreplace"), result.stdout.decode("cp932", "backslashreplace"))
                self.assertEqual(stdout, result.stdout)
                expected_stderr = b"" if problem is None else b"onigawara: " + problem + b"\n" + USAGE_HINT
                self.assertEqual(expected_stderr, result.stderr)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    TRANSCRIPTS = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
