#!/usr/bin/env python3
"""The release as players and packagers get it: scripts/release run in two clones of
the last commit, in folders of different names and depths (one with spaces in its
path), in different time zones, with different umasks and at different times, must
give the same bytes; and what it gives is checked as a player, a packager and
Debian's lintian would check it.

Usage: release_test.py [WORK_FOLDER]   (default build/release-test)"""
import gzip
import io
import os
import pathlib
import re
import shutil
import struct
import sys
import tarfile
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from install_test import InstalledChecks  # noqa: E402
from sessions import VERSION, run  # noqa: E402

REPOSITORY = pathlib.Path(__file__).resolve().parent.parent
WORK = None
DEB = f"onigawara_{VERSION}_amd64.deb"
WIN64 = f"onigawara-{VERSION}-win64.zip"
WEB = f"onigawara-{VERSION}-web.zip"
SOURCE = f"onigawara-{VERSION}.tar.gz"
ARTIFACTS = sorted([DEB, WIN64, WEB, SOURCE])

# lintian's errors that only the owner's own data can mend: a real address for the
# Maintainer field and the changelog's trailer. (The README's packaging section lists
# them.) No warning is allowed, and none of the hardening tags, even as information:
# the package's program is built with Debian's build flags.
OWNERS_DATA_ERRORS = {"bogus-mail-host", "bogus-mail-host-in-debian-changelog"}

# Each run: its clone's folder, its time zone and its umask.
RUNS = [("one/onigawara", "Asia/Tokyo", "0002"),
        ("a second clone/in/another folder/onigawara", "America/New_York", "0077")]


def checked(command, timeout=600, **options):
    result = run(command, timeout=timeout, **options)
    if result.returncode != 0:
        raise AssertionError(f"{command} exited with {result.returncode}:\n"
                             + result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace"))
    return result


def release(clone: pathlib.Path, time_zone: str, umask: str, *arguments):
    """Clones the repository's last commit into `clone` and runs scripts/release there,
    both under `umask`, in `time_zone`."""
    script = (f"umask {umask} && git clone --quiet --no-hardlinks \"$0\" \"$1\" && cd \"$1\""
              " && exec scripts/release \"${@:2}\"")
    environment = dict(os.environ, TZ=time_zone)
    return run(["bash", "-c", script, str(REPOSITORY), str(clone), *arguments], timeout=1200, env=environment)


def sums(folder: pathlib.Path) -> str:
    return (folder / "dist" / "SHA256SUMS").read_text()


def ar_members(data: bytes) -> list:
    """The members of an ar archive (a .deb): (name, time, owner, group, mode, data)."""
    assert data.startswith(b"!<arch>\n")
    members, at = [], 8
    while at < len(data):
        name, mtime, uid, gid, mode, size = struct.unpack_from("16s12s6s6s8s10s", data, at)
        at += 60
        size = int(size)
        members.append((name.decode().strip(), int(mtime), int(uid), int(gid), int(mode, 8), data[at:at + size]))
        at += size + size % 2
    return members


def pe_timestamp(program: bytes) -> int:
    """The TimeDateStamp of a PE file's COFF header."""
    header = struct.unpack_from("<I", program, 0x3C)[0]
    assert program[header:header + 4] == b"PE\0\0"
    return struct.unpack_from("<I", program, header + 8)[0]


class Release(InstalledChecks):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        cls.clones = []
        for folder, time_zone, umask in RUNS:
            clone = WORK / folder
            result = release(clone, time_zone, umask)
            sys.stderr.write(result.stderr.decode(errors="replace"))
            if result.returncode != 0:
                raise AssertionError(f"scripts/release in {clone} exited with {result.returncode}")
            cls.clones.append(clone)
        cls.dist = cls.clones[0] / "dist"
        cls.epoch = int(checked(["git", "-C", str(cls.clones[0]), "log", "-1", "--format=%ct"]).stdout)
        cls.folders = [str(clone).encode() for clone in cls.clones]

    def assertHoldsNoBuildFolder(self, name: str, data: bytes):
        for folder in self.folders + [b"make-release"]:
            self.assertFalse(folder in data, f"{name} holds {folder!r}")

    # ---- Every run the same ----------------------------------------------------------------
    def test_two_clones_give_the_same_bytes(self):
        first, second = (sums(clone) for clone in self.clones)
        print(f"\nSHA256SUMS of {self.clones[0]}:\n{first}SHA256SUMS of {self.clones[1]}:\n{second}", file=sys.stderr)
        self.assertEqual(first, second)
        for name in ARTIFACTS:  # the sums and the files alike
            self.assertEqual((self.clones[0] / "dist" / name).read_bytes(), (self.clones[1] / "dist" / name).read_bytes(), name)

    def test_sums_cover_every_artifact_and_check(self):
        self.assertEqual(sorted(ARTIFACTS + ["SHA256SUMS"]), sorted(os.listdir(self.dist)))
        self.assertEqual(ARTIFACTS, [line.split("  ", 1)[1] for line in sums(self.clones[0]).splitlines()])
        checked(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=self.dist)

    # ---- The source --------------------------------------------------------------------------
    def test_source_is_the_commit_with_fixed_times_and_owners(self):
        data = (self.dist / SOURCE).read_bytes()
        self.assertEqual(b"\x1f\x8b", data[:2])
        flags, mtime = data[3], struct.unpack_from("<I", data, 4)[0]
        self.assertEqual((0, 0), (flags & 0x08, mtime), "gzip keeps no name and no time")
        tracked = checked(["git", "-C", str(self.clones[0]), "ls-files", "-z"]).stdout.decode().split("\0")[:-1]
        with tarfile.open(fileobj=io.BytesIO(data)) as archive:
            members = archive.getmembers()
            self.assertEqual(sorted(f"onigawara-{VERSION}/{path}" for path in tracked),
                             sorted(m.name for m in members if not m.isdir()))
            for member in members:
                self.assertEqual((0, 0, self.epoch), (member.uid, member.gid, member.mtime), member.name)
                self.assertIn(member.mode, (0o644, 0o755), member.name)
            readme = archive.extractfile(f"onigawara-{VERSION}/README.md").read()
            commit_time = archive.extractfile(f"onigawara-{VERSION}/cmake/commit-time").read()
        self.assertEqual((self.clones[0] / "README.md").read_bytes(), readme)
        # git archive writes the commit's time there, for a build of the tarball without git.
        self.assertEqual(f"{self.epoch}\n".encode(), commit_time)

    def test_the_source_tarball_stands_alone(self):
        """Unpacked away from any clone (in a folder whose path has a space), the source
        knows its date without git, and scripts/test skips the one stage that needs a clone."""
        with tempfile.TemporaryDirectory(prefix="unpacked source ") as work:
            with tarfile.open(self.dist / SOURCE) as archive:
                archive.extractall(work)
            source = pathlib.Path(work) / f"onigawara-{VERSION}"
            environment = {name: value for name, value in os.environ.items() if name != "SOURCE_DATE_EPOCH"}
            checked(["cmake", "-S", str(source), "-B", str(source / "build/plain"), "-G", "Ninja",
                     "-DBUILD_TESTING=OFF"], env=environment)
            page = (source / "build/plain/platform/posix/page/onigawara.6").read_text()
            self.assertTrue(page.startswith(f'.TH ONIGAWARA 6 "{time.strftime("%Y-%m-%d", time.gmtime(self.epoch))}" '),
                            page[:80])
            skipped = checked([str(source / "scripts/test"), "release"], timeout=120, env=environment)
            self.assertIn(b"release: SKIPPED", skipped.stderr)

    # ---- The Debian package -----------------------------------------------------------------
    def deb(self, *arguments) -> str:
        return checked(["dpkg-deb", *arguments]).stdout.decode()

    def test_debian_package_is_a_game(self):
        deb = str(self.dist / DEB)
        fields = {name: self.deb("-f", deb, name).strip()
                  for name in ("Package", "Version", "Architecture", "Section", "Priority", "Depends")}
        self.assertEqual({"Package": "onigawara", "Version": VERSION, "Architecture": "amd64", "Section": "games",
                          "Priority": "optional"}, {k: v for k, v in fields.items() if k != "Depends"})
        self.assertRegex(fields["Depends"], r"^libc6 \(>= [0-9.]+\)$")

        listing = [line.split() for line in self.deb("-c", deb).splitlines()]
        files = {entry[-1]: (entry[0], entry[1]) for entry in listing if not entry[-1].endswith("/")}
        self.assertEqual({"./usr/games/onigawara": ("-rwxr-xr-x", "root/root"),
                          "./usr/share/man/man6/onigawara.6.gz": ("-rw-r--r--", "root/root"),
                          "./usr/share/doc/onigawara/changelog.gz": ("-rw-r--r--", "root/root"),
                          "./usr/share/doc/onigawara/copyright": ("-rw-r--r--", "root/root")}, files)
        self.assertEqual({"root/root"}, {entry[1] for entry in listing})

        # Members of the .deb and of its archives at the last commit's time at the latest,
        # owned by root, in the order of their paths.
        members = ar_members((self.dist / DEB).read_bytes())
        self.assertEqual(["debian-binary", "control.tar.xz", "data.tar.xz"], [member[0] for member in members])
        for name, mtime, uid, gid, mode, data in members:
            self.assertEqual((self.epoch, 0, 0, 0o100644), (mtime, uid, gid, mode), name)
            if name.endswith(".tar.xz"):
                with tarfile.open(fileobj=io.BytesIO(data), mode="r:xz") as archive:
                    entries = archive.getmembers()
                self.assertEqual(sorted(e.name for e in entries), [e.name for e in entries], name)
                for entry in entries:
                    self.assertLessEqual(entry.mtime, self.epoch, entry.name)
                    self.assertEqual((0, 0, "root", "root"), (entry.uid, entry.gid, entry.uname, entry.gname), entry.name)

        with tempfile.TemporaryDirectory() as work:
            root = pathlib.Path(work)
            checked(["dpkg-deb", "-R", deb, work])
            self.assertEqual((self.clones[0] / "platform/posix/changelog").read_bytes(),
                             gzip.decompress((root / "usr/share/doc/onigawara/changelog.gz").read_bytes()))
            self.assertEqual((self.clones[0] / "platform/posix/copyright").read_bytes(),
                             (root / "usr/share/doc/onigawara/copyright").read_bytes())
            checked(["md5sum", "--check", "--strict", "--quiet", "DEBIAN/md5sums"], cwd=work)
            self.assertEqual(sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file()
                                    and not str(p.relative_to(root)).startswith("DEBIAN")),
                             sorted(line.split("  ", 1)[1] for line in (root / "DEBIAN/md5sums").read_text().splitlines()))
            self.assertHoldsNoBuildFolder("the Debian package's program", (root / "usr/games/onigawara").read_bytes())
            self.is_stripped(str(root / "usr/games/onigawara"))
            self.assertHoldsNoBuildFolder("the manual page",
                                          gzip.decompress((root / "usr/share/man/man6/onigawara.6.gz").read_bytes()))
            # The page's date is the last commit's.
            self.reads_well(root / "usr/share/man/man6/onigawara.6.gz",
                            date=time.strftime("%Y-%m-%d", time.gmtime(self.epoch)))

    def test_lintian_finds_only_what_needs_the_owners_data(self):
        if shutil.which("lintian") is None:
            self.fail("lintian is not installed: scripts/test installs it")
        result = checked(["lintian", "--fail-on", "none", "--display-info", "--tag-display-limit", "0",
                          str(self.dist / DEB)])
        report = result.stdout.decode()
        print("\nlintian:\n" + report, file=sys.stderr)
        tags = re.findall(r"^([EWI]): onigawara[^:]*: (\S+)", report, re.MULTILINE)
        self.assertEqual([], [tag for level, tag in tags if level == "W"], report)
        self.assertEqual(OWNERS_DATA_ERRORS, {tag for level, tag in tags if level == "E"}, report)
        self.assertEqual([], [tag for level, tag in tags if tag.startswith("hardening-")], report)

    def test_dpkg_installs_a_working_game_and_removes_it_all(self):
        self.installs_and_removes(self.dist / DEB)

    # ---- The zips ---------------------------------------------------------------------------
    def entries(self, name: str) -> list:
        with zipfile.ZipFile(self.dist / name) as archive:
            return [(info, archive.read(info)) for info in archive.infolist()]

    def assertFixedEntries(self, entries: list):
        names = [info.filename for info, _ in entries]
        self.assertEqual(sorted(names, key=str.encode), names)
        # A zip keeps times in steps of two seconds.
        date_time = time.gmtime(self.epoch - self.epoch % 2)[:6]
        for info, data in entries:
            self.assertEqual((3, date_time), (info.create_system, info.date_time), info.filename)
            self.assertIn(info.external_attr >> 16, (0o100644, 0o100755), info.filename)
            self.assertEqual(b"", info.extra, info.filename)
            self.assertHoldsNoBuildFolder(info.filename, data)

    def test_windows_zip(self):
        entries = self.entries(WIN64)
        self.assertFixedEntries(entries)
        files = dict((info.filename, data) for info, data in entries)
        top = f"onigawara-{VERSION}-win64/"
        self.assertEqual([top + "README.txt", top + "onigawara.exe"], list(files))
        readme = files[top + "README.txt"]
        # UTF-8 with a byte order mark, so that Notepad shows the Japanese in it.
        self.assertTrue(readme.startswith(f"\ufeffonigawara {VERSION} for Windows\r\n".encode()), readme[:40])
        self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))
        program = files[top + "onigawara.exe"]
        self.assertIn(pe_timestamp(program), (0, self.epoch), "the link time is fixed")
        self.assertNotIn(b".debug_info", program)

    def test_web_zip_is_the_site(self):
        entries = self.entries(WEB)
        self.assertFixedEntries(entries)
        site = self.clones[0] / f"build/make-release/onigawara-{VERSION}/build/web/site"
        expected = sorted((p.relative_to(site).as_posix() for p in site.rglob("*") if p.is_file()), key=str.encode)
        top = f"onigawara-{VERSION}-web/"
        self.assertEqual([top + name for name in expected], [info.filename for info, _ in entries])
        for info, data in entries:
            self.assertEqual((site / info.filename[len(top):]).read_bytes(), data, info.filename)
        self.assertTrue({"index.html", "sw.js"} <= set(expected), expected)

    # ---- A tree with changes ---------------------------------------------------------------
    def test_uncommitted_changes_are_refused_or_built_and_said(self):
        clone = WORK / "with-changes/onigawara"
        checked(["git", "clone", "--quiet", "--no-hardlinks", str(REPOSITORY), str(clone)])
        readme = clone / "README.md"
        readme.write_bytes(readme.read_bytes() + b"\nA change not committed.\n")
        (clone / "NEW-FILE").write_text("not committed either\n")

        refused = run(["scripts/release"], cwd=clone, timeout=60)
        self.assertEqual(1, refused.returncode)
        self.assertIn(b"uncommitted changes", refused.stderr)
        self.assertIn(b" M README.md\n", refused.stderr)
        self.assertFalse((clone / "dist").exists())

        built = run(["scripts/release", "--dirty"], cwd=clone, timeout=1200)
        self.assertEqual(0, built.returncode, built.stderr.decode(errors="replace"))
        self.assertIn(b"BUILDING UNCOMMITTED CHANGES (--dirty)", built.stderr)
        self.assertIn(b"BUILT WITH UNCOMMITTED CHANGES (--dirty)", built.stderr)
        with tarfile.open(clone / "dist" / SOURCE) as archive:
            self.assertEqual(readme.read_bytes(), archive.extractfile(f"onigawara-{VERSION}/README.md").read())
            self.assertIn(f"onigawara-{VERSION}/NEW-FILE", archive.getnames())
            self.assertEqual({self.epoch}, {member.mtime for member in archive.getmembers()})
        # The clone's branch, index and files are as they were.
        self.assertEqual(checked(["git", "-C", str(self.clones[0]), "rev-parse", "HEAD"]).stdout,
                         checked(["git", "-C", str(clone), "rev-parse", "HEAD"]).stdout)
        self.assertEqual(b" M README.md\n?? NEW-FILE\n",
                         checked(["git", "-C", str(clone), "status", "--porcelain"]).stdout)


if __name__ == "__main__":
    WORK = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else REPOSITORY / "build/release-test").resolve()
    unittest.main(verbosity=2)
