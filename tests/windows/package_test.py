#!/usr/bin/env python3
"""The zip for Windows players, as cpack makes it: the program, stripped, and a
README that Notepad reads; the program from the zip plays a short game under wine.

Usage: package_test.py CPACK OBJDUMP BUILD_DIR"""
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import BANNER, OPENING, VERSION, environment, prompt, sj  # noqa: E402

CPACK = OBJDUMP = BUILD = None
FOLDER = f"onigawara-{VERSION}-win64/"


def link_time_stamp(program) -> int:
    """The TimeDateStamp of a PE file's header."""
    with open(program, "rb") as file:
        data = file.read(4096)
    (header,) = struct.unpack_from("<I", data, 0x3C)
    return struct.unpack_from("<I", data, header + 8)[0]


class Zip(unittest.TestCase):
    def test_cpack_makes_the_players_zip(self):
        with tempfile.TemporaryDirectory() as work:
            subprocess.run([CPACK, "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", work],
                           check=True, capture_output=True, timeout=300, env=environment(SOURCE_DATE_EPOCH=None))
            package = pathlib.Path(work) / f"onigawara-{VERSION}-win64.zip"
            with zipfile.ZipFile(package) as archive:
                self.assertEqual([FOLDER + "README.txt", FOLDER + "onigawara.exe"], sorted(archive.namelist()))
                archive.extractall(work)
            readme = (pathlib.Path(work) / FOLDER / "README.txt").read_bytes()
            # UTF-8 with a byte order mark, which Notepad heeds, and CR LF line ends.
            self.assertTrue(readme.startswith(f"\ufeffonigawara {VERSION} for Windows\r\n".encode()), readme[:40])
            self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))
            text = readme[3:].decode("utf-8").replace("\r\n", "\n")
            self.readme_tells_what_players_need(text)
            program = str(pathlib.Path(work) / FOLDER / "onigawara.exe")
            self.each_word_that_the_readme_gives_ends_the_game(text, program)
            headers = subprocess.run([OBJDUMP, "-h", program], check=True, capture_output=True, text=True,
                                     timeout=60).stdout
            self.assertNotIn(".debug_info", headers)
            # Stripped, it keeps the time stamp it was linked with: none.
            self.assertEqual(0, link_time_stamp(program))
            # Seed 1: greeting 6, silence 2, temple fit 5; the key wait takes "x".
            result = wine.run(BUILD, [program, "--seed", "1"], sj("太郎\n\n本能寺\nx\n"))
            expected = (OPENING + sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？") + prompt("太郎")
                        + sj("鬼瓦＞何か申さぬか。") + prompt("太郎") + sj("鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！")
                        + BANNER)
            self.assertEqual((0, expected.replace(b"\n", b"\r\n")), (result.returncode, result.stdout))


    def readme_tells_what_players_need(self, readme):
        paragraphs = [" ".join(p.split()) for p in readme.split("\n\n")]
        for told in [
            # A pause gives back all but the first byte, so a Japanese character breaks.
            "anything typed before Enter there loses its first byte",
            "A Japanese character typed at a pause is broken in two",
            # Ctrl-Z at a console, and in a file or pipe.
            "Ctrl-Z then Enter at the start of a line ends it too",
            "at a pause it only ends the pause, and the game goes on",
            "A Ctrl-Z typed in the middle of a line drops what follows it up to Enter",
            "a Ctrl-Z (byte 0x1A) in input from a file or pipe ends the input there",
            # Japanese on any keyboard, boxes instead of Japanese, the download warning.
            "install a Japanese input method",
            "the A/あ indicator on the taskbar, or with Alt+`",
            "play in Windows Terminal",
            "pick MS Gothic (ＭＳ ゴシック) as the console's font",
            "Japanese Supplemental Fonts",
            'click "More info", then "Run anyway"',
        ]:
            with self.subTest(told=told):
                self.assertTrue(any(told in p for p in paragraphs), f"README.txt does not say: {told}")

    def each_word_that_the_readme_gives_ends_the_game(self, readme, program):
        ending = readme.split("\nEnding\n", 1)[1].split("Ctrl-C", 1)[0]
        words = re.findall(r"[\u3040-\u30ff\u4e00-\u9fff]+", ending)
        self.assertEqual(["さようなら", "ばいばい", "さらば", "本能寺", "ほんのうじ"], words)
        for word in words:
            with self.subTest(word=word):
                result = wine.run(BUILD, [program, "--seed", "1"], sj("太郎\n" + word + "\n\n"))
                self.assertEqual(0, result.returncode)
                self.assertTrue(result.stdout.endswith(BANNER.replace(b"\n", b"\r\n")), result.stdout[-80:])


if __name__ == "__main__":
    CPACK, OBJDUMP, BUILD = (sys.argv.pop(1) for _ in range(3))
    unittest.main(verbosity=2)
