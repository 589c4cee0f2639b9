#!/usr/bin/env python3
"""The program as it is installed: by cmake --install into a staging prefix (bin/),
and as the Debian package that platform/posix/make-deb makes of a build for it (a
game: games/, and the package's documents), unpacked and installed with dpkg in a
scratch root. Each installed binary plays a short game through pipes.
release_test.py checks the release's own package with the same checks.

Usage: install_test.py CMAKE BUILD_DIRECTORY [-k staging | -k debian_package]"""
import gzip
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

from sessions import BANNER, OPENING, VERSION, prompt, run as run_program, seeded, sj

CMAKE = BUILD = None
MAKE_DEB = pathlib.Path(__file__).resolve().parent.parent / "platform" / "posix" / "make-deb"

PROGRAM = "bin/onigawara"
GAME = "games/onigawara"
PAGE = "share/man/man6/onigawara.6.gz"
DOCUMENTS = ["share/doc/onigawara/changelog.gz", "share/doc/onigawara/copyright"]


def run(command, input=b"", text=False):
    result = run_program(command, input, timeout=300)
    if result.returncode != 0:
        raise subprocess.CalledProcessError(result.returncode, command, result.stdout, result.stderr)
    if text:
        result.stdout, result.stderr = result.stdout.decode(), result.stderr.decode()
    return result


class InstalledChecks(unittest.TestCase):
    """What an installed program, page and package must be; the tests are below."""
    def plays(self, binary):
        # Seed 1: greeting 6, silence 2, temple fit 5; the key wait takes "x".
        result = run_program(seeded(1, [binary]), sj("太郎\n\n本能寺\nx\n"), timeout=20)
        expected = (OPENING + sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？") + prompt("太郎")
                    + sj("鬼瓦＞何か申さぬか。") + prompt("太郎") + sj("鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！")
                    + BANNER)
        self.assertEqual(expected.decode("cp932", "backslashreplace"), result.stdout.decode("cp932", "backslashreplace"))
        self.assertEqual(expected, result.stdout)
        self.assertEqual((0, b""), (result.returncode, result.stderr))

    def reads_well(self, page, date=r"(\d{4}-\d\d-\d\d)?"):
        """The page is a section 6 page of onigawara, of this version and of the source's
        `date` (a pattern), that groff formats without a warning."""
        source = gzip.decompress(page.read_bytes())
        self.assertRegex(source.split(b"\n", 1)[0].decode(),
                         rf'^\.TH ONIGAWARA 6 "{date}" "onigawara {re.escape(VERSION)}" "Games Manual"$')
        self.assertIn(f'.BR "onigawara {VERSION}" ,'.encode(), source)
        formatted = run(["groff", "-k", "-man", "-Tutf8", "-ww", "-z"], input=source)
        self.assertEqual(b"", formatted.stderr)

    def is_stripped(self, binary):
        sections = run(["readelf", "-S", "-W", binary], text=True).stdout
        self.assertNotIn(".debug_info", sections)
        self.assertNotIn(".symtab", sections)

    def installs_and_removes(self, deb):
        """dpkg -i puts a working /usr/games/onigawara and its page in place, and dpkg -r
        leaves nothing behind: in a scratch root over an empty package database, so that
        the machine's own packages are not touched. The C library is the machine's, so
        the dependency on it is forced; the machine's dpkg settings may leave manual
        pages out, and the test asks for every path."""
        if os.geteuid() != 0:
            self.skipTest("dpkg --root installs files owned by root: run as root")
        with tempfile.TemporaryDirectory() as work:
            root = pathlib.Path(work)
            database = root / "var/lib/dpkg"
            (database / "updates").mkdir(parents=True)
            (database / "info").mkdir()
            (database / "status").touch()
            dpkg = ["dpkg", f"--root={root}", "--log=/dev/null", "--path-include=/*"]

            def outside_the_database():
                return sorted(str(p.relative_to(root)) for p in root.rglob("*") if not p.is_relative_to(database))

            before = outside_the_database()
            run(dpkg + ["--force-depends", "--install", str(deb)])
            self.assertEqual("ii ", run(["dpkg-query", f"--root={root}", "--show", "--showformat=${db:Status-Abbrev}",
                                         "onigawara"], text=True).stdout)
            self.assertTrue(os.access(root / "usr" / GAME, os.X_OK))
            self.plays(str(root / "usr" / GAME))
            self.reads_well(root / "usr" / PAGE)

            run(dpkg + ["--remove", "onigawara"])
            self.assertEqual(before, outside_the_database())
            self.assertEqual([], sorted(p.name for p in (database / "info").glob("onigawara*")))
            self.assertNotIn("onigawara", (database / "status").read_text())


class Installed(InstalledChecks):
    def test_cmake_install_into_a_staging_prefix(self):
        # As the README installs: cmake --install with --strip.
        with tempfile.TemporaryDirectory() as prefix:
            run([CMAKE, "--install", BUILD, "--prefix", prefix, "--strip"])
            root = pathlib.Path(prefix)
            files = sorted(str(p.relative_to(root)) for p in root.rglob("*") if not p.is_dir())
            self.assertEqual(sorted([PROGRAM, PAGE]), files)
            self.assertTrue(os.access(root / PROGRAM, os.X_OK))
            self.is_stripped(str(root / PROGRAM))
            self.reads_well(root / PAGE)
            self.plays(str(root / PROGRAM))

    def test_debian_package(self):
        with tempfile.TemporaryDirectory() as work:
            # The same build gives the same bytes, whatever the umask.
            packages = [pathlib.Path(work) / name for name in ("onigawara.deb", "again.deb")]
            for package, umask in zip(packages, ("0022", "0077")):
                run(["bash", "-c", f'umask {umask} && exec "$0" "$@"', str(MAKE_DEB), BUILD, str(package)])
            self.assertTrue(packages[0].read_bytes() == packages[1].read_bytes(), "make-deb made different bytes")
            deb = str(packages[0])

            fields = {name: run(["dpkg-deb", "-f", deb, name], text=True).stdout.strip()
                      for name in ("Package", "Version", "Section", "Depends")}
            self.assertEqual("onigawara", fields["Package"])
            self.assertEqual(VERSION, fields["Version"])
            self.assertEqual("games", fields["Section"])
            self.assertRegex(fields["Depends"], r"^libc6( |,|$)")

            # Files, their modes and owners as the package lists them.
            listing = run(["dpkg-deb", "-c", deb], text=True).stdout.splitlines()
            entries = {line.split()[-1]: (line.split()[0], line.split()[1])
                       for line in listing if not line.split()[-1].endswith("/")}
            self.assertEqual({"./usr/" + GAME: ("-rwxr-xr-x", "root/root"),
                              "./usr/" + PAGE: ("-rw-r--r--", "root/root")}
                             | {"./usr/" + document: ("-rw-r--r--", "root/root") for document in DOCUMENTS}, entries)

            root = pathlib.Path(work) / "root"
            run(["dpkg-deb", "-x", deb, str(root)])
            self.is_stripped(str(root / "usr" / GAME))
            self.reads_well(root / "usr" / PAGE)
            self.plays(str(root / "usr" / GAME))
            self.installs_and_removes(deb)


if __name__ == "__main__":
    CMAKE, BUILD = sys.argv[1:3]
    del sys.argv[1:3]
    os.environ.setdefault("SOURCE_DATE_EPOCH", "1700000000")  # make-deb's archives' time
    unittest.main(verbosity=2)
