#!/usr/bin/env python3
"""The zip for Windows players, as cpack makes it: the program, stripped, and a
README that Notepad reads; the program from the zip plays a short game under wine.

Usage: package_test.py CPACK OBJDUMP BUILD_DIR"""
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import BANNER, OPENING, prompt, sj  # noqa: E402

CPACK = OBJDUMP = BUILD = None
FOLDER = "onigawara-3.0-win64/"


class Zip(unittest.TestCase):
    def test_cpack_makes_the_players_zip(self):
        with tempfile.TemporaryDirectory() as work:
            subprocess.run([CPACK, "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", work],
                           check=True, capture_output=True, timeout=300)
            package = pathlib.Path(work) / "onigawara-3.0-win64.zip"
            with zipfile.ZipFile(package) as archive:
                self.assertEqual([FOLDER + "README.txt", FOLDER + "onigawara.exe"], sorted(archive.namelist()))
                archive.extractall(work)
            readme = (pathlib.Path(work) / FOLDER / "README.txt").read_bytes()
            self.assertTrue(readme.startswith(b"onigawara 3.0 for Windows\r\n"), readme[:40])
            self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))  # every line ends in CR LF
            program = str(pathlib.Path(work) / FOLDER / "onigawara.exe")
            headers = subprocess.run([OBJDUMP, "-h", program], check=True, capture_output=True, text=True,
                                     timeout=60).stdout
            self.assertNotIn(".debug_info", headers)
            # Seed 1: greeting 6, silence 2, temple fit 5; the key wait takes "x".
            result = wine.run(BUILD, [program, "--seed", "1"], sj("太郎\n\n本能寺\nx\n"))
            expected = (OPENING + sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？") + prompt("太郎")
                        + sj("鬼瓦＞何か申さぬか。") + prompt("太郎") + sj("鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！")
                        + BANNER)
            self.assertEqual((0, expected.replace(b"\n", b"\r\n")), (result.returncode, result.stdout))


if __name__ == "__main__":
    CPACK, OBJDUMP, BUILD = (sys.argv.pop(1) for _ in range(3))
    unittest.main(verbosity=2)
