#!/usr/bin/env python3
"""Zips a folder so that the same files give the same bytes, whoever runs it, wherever
and whenever:

    SOURCE_DATE_EPOCH=... tools/make_zip.py FOLDER TOP ARCHIVE.zip

Every file under FOLDER goes in as TOP/its path, in the order of the paths' bytes, with
the time SOURCE_DATE_EPOCH (in UTC; zip keeps no time zone), a Unix mode of 0755 for a
program and 0644 for anything else whatever the umask made it, and nothing else: no
owner, no extra time field, no folder entries (unzip makes the folders)."""
import os
import pathlib
import sys
import time
import zipfile


def entry(name: str, epoch: int, executable: bool) -> zipfile.ZipInfo:
    # zip cannot hold a time before 1980.
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(epoch, 315532800))[:6])
    info.create_system = 3  # Unix, so that the mode below is read
    info.external_attr = (0o100755 if executable else 0o100644) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def make_zip(folder: pathlib.Path, top: str, archive: pathlib.Path, epoch: int):
    files = sorted((p for p in folder.rglob("*") if p.is_file()),
                   key=lambda p: p.relative_to(folder).as_posix().encode())
    if not files:
        raise SystemExit(f"make_zip.py: {folder} holds no file")
    with zipfile.ZipFile(archive, "w") as output:
        for path in files:
            name = top + "/" + path.relative_to(folder).as_posix()
            output.writestr(entry(name, epoch, os.access(path, os.X_OK)), path.read_bytes(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 4 or "SOURCE_DATE_EPOCH" not in os.environ:
        raise SystemExit(__doc__)
    make_zip(pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3]), int(os.environ["SOURCE_DATE_EPOCH"]))
