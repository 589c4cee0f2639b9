#!/usr/bin/env python3
"""What onigawara.exe says about itself: version information, an application
manifest and the project's icon, read from the file's resource directory here,
and by Windows' own functions under wine (resource_probe.exe). Its header has no
link time in it, so that the same sources make the same program.

Usage: resources_test.py BUILD_DIR PATH_TO_ONIGAWARA_EXE PATH_TO_RESOURCE_PROBE_EXE PATH_TO_ICO"""
import os
import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import wine  # noqa: E402
from sessions import WINDOWS_VERSION  # noqa: E402

BUILD = PROGRAM = PROBE = ICO = None
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"  # stands for Windows 11 too
ICON_SIZES = [16, 24, 32, 48, 64, 256]


# ---- A PE file's header and resources ------------------------------------------------------

class PortableExecutable:
    def __init__(self, data: bytes):
        self.data = data
        (header,) = struct.unpack_from("<I", data, 0x3C)
        assert data[header:header + 4] == b"PE\0\0", "not a PE file"
        _, sections, self.time_stamp, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, header + 4)
        optional = header + 24
        assert struct.unpack_from("<H", data, optional)[0] == 0x20B, "not a 64-bit program"
        self.resource_rva, _ = struct.unpack_from("<II", data, optional + 112 + 2 * 8)  # data directory 2
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            virtual_size, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_at))

    def at(self, rva: int) -> int:
        """The file offset of the relative virtual address `rva`."""
        for start, size, raw_at in self.sections:
            if start <= rva < start + size:
                return raw_at + rva - start
        raise ValueError(f"no section holds {rva:#x}")

    def resources(self):
        """{(type, name, language): bytes} of every resource, and the time stamps of
        the resource directories."""
        assert self.resource_rva != 0, "the program has no resources"
        found, stamps = {}, []
        root = self.at(self.resource_rva)

        def walk(directory, path):
            _, stamp, _, _, named, numbered = struct.unpack_from("<IIHHHH", self.data, root + directory)
            stamps.append(stamp)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + (name,))
                else:
                    rva, size, _, _ = struct.unpack_from("<IIII", self.data, root + target)
                    found[path + (name,)] = self.data[self.at(rva):self.at(rva) + size]

        walk(0, ())
        return found, stamps


def by_type_and_name(resources: dict) -> dict:
    """{(type, name): bytes}, the language left out: each resource here has one."""
    return {(kind, name): data for (kind, name, _), data in resources.items()}


# ---- Version information ---------------------------------------------------------------------

def version_block(data: bytes, at: int = 0):
    """(key, value, children) of the VS_VERSIONINFO-shaped block at `at`; a text
    value (wType 1) as text."""
    length, value_length, text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    if text:
        value = data[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
        children_at = value_at + 2 * value_length
    else:
        value = data[value_at:value_at + value_length]
        children_at = value_at + value_length
    children = []
    child = (children_at + 3) & ~3
    while child < end:
        block = version_block(data, child)
        children.append(block)
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def version_numbers(most: int, least: int) -> str:
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(PROGRAM, "rb") as program:
            cls.pe = PortableExecutable(program.read())
        found, cls.stamps = cls.pe.resources()
        cls.found = by_type_and_name(found)

    def test_version_information(self):
        key, fixed, children = version_block(self.found[(RT_VERSION, 1)])
        self.assertEqual("VS_VERSION_INFO", key)
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", fixed)
        self.assertEqual(0xFEEF04BD, signature)
        self.assertEqual((WINDOWS_VERSION, WINDOWS_VERSION),
                         (version_numbers(file_ms, file_ls), version_numbers(product_ms, product_ls)))
        (strings,) = [child for child in children if child[0] == "StringFileInfo"]
        (table,) = strings[2]
        self.assertEqual("040904B0", table[0])
        values = {name: value for name, value, _ in table[2]}
        self.assertEqual("onigawara", values["ProductName"])
        self.assertEqual("onigawara: chat in Japanese with a short-tempered warlord", values["FileDescription"])
        self.assertEqual(WINDOWS_VERSION, values["FileVersion"])
        self.assertEqual(WINDOWS_VERSION, values["ProductVersion"])
        self.assertEqual("onigawara.exe", values["OriginalFilename"])

    def test_manifest(self):
        manifest = ElementTree.fromstring(self.found[(RT_MANIFEST, 1)])
        identity = manifest.find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
        self.assertEqual(("onigawara", WINDOWS_VERSION), (identity.get("name"), identity.get("version")))
        level = manifest.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
        self.assertEqual("asInvoker", level.get("level"))
        supported = manifest.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")
        systems = [system.get("Id") for system in supported]
        self.assertEqual([WINDOWS_10], systems)

    def test_the_projects_icon(self):
        # The group's images are those of icon/onigawara.ico, byte for byte.
        with open(ICO, "rb") as ico:
            icon_file = ico.read()
        _, _, count = struct.unpack_from("<HHH", icon_file, 0)
        in_file = {}
        for i in range(count):
            side, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", icon_file, 6 + 16 * i)
            in_file[side or 256] = icon_file[offset:offset + size]
        group = self.found[(RT_GROUP_ICON, 1)]
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        self.assertEqual(1, kind)
        in_program = {}
        for i in range(count):
            side, _, _, _, _, bits, size, number = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            self.assertEqual(32, bits)
            in_program[side or 256] = self.found[(RT_ICON, number)]
            self.assertEqual(size, len(in_program[side or 256]))
        self.assertEqual(ICON_SIZES, sorted(in_program))
        self.assertTrue(in_program == in_file, "the program's icon is icon/onigawara.ico")

    def test_no_time_of_making(self):
        # The link time stamp is fixed (0), as are those of the resource directories.
        self.assertEqual(0, self.pe.time_stamp)
        self.assertEqual({0}, set(self.stamps))


class UnderWine(unittest.TestCase):
    def test_what_windows_reads(self):
        result = wine.run(BUILD, [PROBE, PROGRAM])
        self.assertEqual(0, result.returncode, result.stderr)
        lines = dict(line.split("=", 1) for line in result.stdout.decode().splitlines())
        expected = {"ProductName": "onigawara",
                    "FileDescription": "onigawara: chat in Japanese with a short-tempered warlord",
                    "FileVersion": WINDOWS_VERSION, "ProductVersion": WINDOWS_VERSION, "icons": "1"}
        expected.update({f"icon{size}": f"{size}x{size}" for size in ICON_SIZES})
        self.assertEqual(expected, {name: value for name, value in lines.items() if name != "manifest"})
        self.assertIn('level="asInvoker"', lines["manifest"])
        self.assertIn(WINDOWS_10, lines["manifest"])


if __name__ == "__main__":
    BUILD, PROGRAM, PROBE, ICO = (os.path.abspath(sys.argv.pop(1)) for _ in range(4))
    unittest.main(verbosity=2)
