#!/usr/bin/env python3
"""The icon's committed images are what icon/make-images makes from the SVG, byte
for byte: nobody edited one by hand, and the SVG was not changed without them.

Usage: icon_test.py ICON_DIR
Exits with 77 (skipped) where rsvg-convert is not installed."""
import os
import pathlib
import shutil
import sys
import tempfile
import unittest

from sessions import run

ICON = None
IMAGES = ["favicon.ico", "onigawara-192.png", "onigawara-512.png", "onigawara.ico"]


class Images(unittest.TestCase):
    def test_the_script_remakes_the_committed_images(self):
        with tempfile.TemporaryDirectory() as out:
            made = run([str(ICON / "make-images"), out], timeout=300)
            self.assertEqual((0, b""), (made.returncode, made.stderr))
            self.assertEqual(IMAGES, sorted(os.listdir(out)))
            for name in IMAGES:
                with self.subTest(name):
                    self.assertTrue((pathlib.Path(out) / name).read_bytes() == (ICON / name).read_bytes(),
                                    f"{name} differs from what icon/make-images makes: run it and commit")


if __name__ == "__main__":
    ICON = pathlib.Path(sys.argv.pop(1)).resolve()
    if shutil.which("rsvg-convert") is None:
        print("rsvg-convert (librsvg2-bin) is not installed: skipped")
        sys.exit(77)
    unittest.main(verbosity=2)
