#!/usr/bin/env python3
"""A build for another platform remakes the code page 932 tables when their generator
(tools/make_cp932_tables.cpp) changes: the generator is compiled for the build machine
by a step of the build that follows its source, not once when CMake configures.

In a copy of the source tree, configured with the cross toolchain given, the tables
are built; the copy's generator is edited so that it writes one more line; the next
build compiles the generator again and the tables have that line; the build after it
has nothing to do.

Usage: table_generator_test.py CMAKE SOURCE_DIRECTORY TOOLCHAIN_FILE"""
import pathlib
import shutil
import sys
import tempfile
import unittest

from sessions import run

CMAKE = SOURCE = TOOLCHAIN = None
CLOSING = 'std::fprintf(header, "};\\n");'
EDITED = 'std::fprintf(header, "};\\n// an edit of the generator\\n");'


def checked(command, **options):
    result = run(command, timeout=600, **options)
    if result.returncode != 0:
        raise AssertionError(f"{command} exited with {result.returncode}:\n"
                             + result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace"))
    return result.stdout.decode(errors="replace")


class Generator(unittest.TestCase):
    def test_an_edit_of_the_generator_reaches_the_tables(self):
        with tempfile.TemporaryDirectory() as work:
            tree = pathlib.Path(work) / "onigawara"
            shutil.copytree(SOURCE, tree, symlinks=True,
                            ignore=shutil.ignore_patterns("build", ".git", "node_modules", "artifacts", "screenshots"))
            build = tree / "build" / "cross"
            toolchain = tree / pathlib.Path(TOOLCHAIN).resolve().relative_to(pathlib.Path(SOURCE).resolve())
            checked([CMAKE, "-S", str(tree), "-B", str(build), "-G", "Ninja", f"--toolchain={toolchain}",
                     "-DBUILD_TESTING=OFF"])
            table = build / "generated" / "cp932_by_code_point.h"

            def build_tables() -> str:
                return checked([CMAKE, "--build", str(build), "--target", "cp932_tables"])

            build_tables()
            before = table.read_text()
            generator = tree / "tools" / "make_cp932_tables.cpp"
            source = generator.read_text()
            self.assertEqual(1, source.count(CLOSING), "the generator no longer closes its table as this test expects")
            generator.write_text(source.replace(CLOSING, EDITED))

            log = build_tables()
            self.assertEqual(before + "// an edit of the generator\n", table.read_text())
            self.assertIn("Building the code page 932 table generator for this machine", log)
            self.assertIn("ninja: no work to do", build_tables())


if __name__ == "__main__":
    CMAKE, SOURCE, TOOLCHAIN = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main(verbosity=2)
