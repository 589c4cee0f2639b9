#!/usr/bin/env python3
"""The icon's committed images are what icon/make-images makes from the SVG, byte
for byte: nobody edited one by hand, and the SVG was not changed without them. The
maskable one keeps its picture where any mask leaves it whole.

Usage: icon_test.py ICON_DIR
Exits with 77 (skipped) where rsvg-convert is not installed."""
import importlib.machinery
import importlib.util
import math
import os
import pathlib
import shutil
import sys
import tempfile
import unittest

from sessions import run

ICON = None
IMAGES = ["favicon.ico", "onigawara-192.png", "onigawara-512.png", "onigawara-maskable-512.png", "onigawara.ico"]


def make_images():
    """icon/make-images as a module, for its PNG reader and its constants."""
    loader = importlib.machinery.SourceFileLoader("make_images", str(ICON / "make-images"))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader("make_images", loader))
    loader.exec_module(module)
    return module


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


class Maskable(unittest.TestCase):
    # A platform may cut a maskable icon down to the circle of 80% of its side around
    # the middle: every pixel of the picture lies inside it, and the background, opaque,
    # reaches every edge.
    def test_the_picture_lies_in_the_safe_zone_on_a_background_to_the_edges(self):
        images = make_images()
        rows = images.rgba_rows((ICON / "onigawara-maskable-512.png").read_bytes())
        side = len(rows)
        red, green, blue = bytes.fromhex(images.MASKABLE_BACKGROUND[1:])
        background = bytes([red, green, blue, 255])
        farthest = 0.0
        for y, row in enumerate(rows):
            for x in range(side):
                if row[4 * x:4 * x + 4] != background:
                    farthest = max(farthest, math.hypot(x + 0.5 - side / 2, y + 0.5 - side / 2))
        self.assertEqual(512, side)
        self.assertGreater(farthest, 0.3 * side, "the picture is missing or too small")
        self.assertLessEqual(farthest, 0.4 * side, "the picture reaches out of the safe zone")
        edges = [rows[0], rows[-1], b"".join(row[:4] + row[-4:] for row in rows)]
        self.assertTrue(all(edge == background * (len(edge) // 4) for edge in edges), "the background does not reach the edges")


if __name__ == "__main__":
    ICON = pathlib.Path(sys.argv.pop(1)).resolve()
    if shutil.which("rsvg-convert") is None:
        print("rsvg-convert (librsvg2-bin) is not installed: skipped")
        sys.exit(77)
    unittest.main(verbosity=2)
