#!/usr/bin/env python3
"""Writes tests/code_page_edges.txt, the reference cases for code page 932 and
UTF-8 at every edge, or checks that the file is what it would write.

Usage: code_page_edges.py [--check] [FILE]   (FILE: tests/code_page_edges.txt)

The cases come from rules written down here, not from the program:
- the byte classes of code page 932 as the code page documents them;
- whether a UTF-8 sequence is a character, and which, as Python's strict decoder
  says;
- which characters code page 932 defines, and their codes, as the C library's
  iconv says (the program's tables are made from it), and the characters that the
  README says are read in their JIS forms;
- the program's documented rules for what cannot be converted (below).

The file is plain text, one case a line, so that any test can read it: the C++
unit tests on every platform they run on (tests/code_page_edges_test.cpp), and a
test of the page's conversion in a browser.
"""
import argparse
import codecs
import ctypes
import ctypes.util
import os
import sys

# ---- Code page 932 as documented ------------------------------------------------------

LEAD_RANGES = [(0x81, 0x9F), (0xE0, 0xFC)]
TRAIL_RANGES = [(0x40, 0x7E), (0x80, 0xFC)]
SINGLE_RANGES = [(0x00, 0x80), (0xA0, 0xDF), (0xFD, 0xFF)]


def in_ranges(b: int, ranges) -> bool:
    return any(low <= b <= high for low, high in ranges)


LEADS = [b for b in range(256) if in_ranges(b, LEAD_RANGES)]

# Characters that input methods type in their JIS forms, read as the code page's
# own characters (README, "What your terminal needs").
INPUT_EXTRAS = {
    0x301C: "～", 0x2212: "－", 0x2016: "∥", 0x00A2: "￠", 0x00A3: "￡", 0x00AC: "￢", 0x2014: "―",
    0x00A5: "\\", 0x203E: "~",
}

# ---- The C library's iconv ----------------------------------------------------------------

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                       ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
libc.iconv_close.argtypes = [ctypes.c_void_p]


def iconv(to: str, source: str, data: bytes):
    """`data` converted whole, or None when iconv refuses any of it."""
    cd = libc.iconv_open(to.encode(), source.encode())
    if cd == ctypes.c_void_p(-1).value:
        raise OSError("iconv_open " + source + " to " + to)
    try:
        in_buffer = ctypes.create_string_buffer(data, len(data))
        out_buffer = ctypes.create_string_buffer(64)
        in_ptr = ctypes.c_char_p(ctypes.addressof(in_buffer))
        out_ptr = ctypes.c_char_p(ctypes.addressof(out_buffer))
        in_left = ctypes.c_size_t(len(data))
        out_left = ctypes.c_size_t(64)
        result = libc.iconv(cd, ctypes.byref(in_ptr), ctypes.byref(in_left), ctypes.byref(out_ptr),
                            ctypes.byref(out_left))
        if result == ctypes.c_size_t(-1).value or in_left.value != 0:
            return None
        return out_buffer.raw[:64 - out_left.value]
    finally:
        libc.iconv_close(cd)


def cp932_character(code: bytes):
    """The character of one code page 932 code, or None when it has none."""
    decoded = iconv("UTF-32BE", "CP932", code)
    return None if decoded is None or len(decoded) != 4 else chr(int.from_bytes(decoded, "big"))


def cp932_code(code_point: int):
    """The code page 932 bytes of a code point as typed, or None when it has none."""
    if code_point in INPUT_EXTRAS:
        return iconv("CP932", "UTF-8", INPUT_EXTRAS[code_point].encode())
    return iconv("CP932", "UTF-32BE", code_point.to_bytes(4, "big"))


# ---- Typed UTF-8 becomes code page 932 --------------------------------------------------------
#
# The program's rule: the bytes are cut into pieces. A byte below 0x80 is a piece;
# a byte C2-DF, E0-EF or F0-F4 starts a piece of up to 2, 3 or 4 bytes, and takes
# the continuation bytes (80-BF) that follow it, as many as there are, up to that
# length; any other byte (80-C1, F5-FF) is a piece of its own. A piece that is one
# character is that character in code page 932, or one '?' when the code page has
# none; any other piece is one '?'. So a malformed sequence of any length is one
# '?', and each stray byte is one '?'.

def piece_length(first: int) -> int:
    return 2 if 0xC2 <= first <= 0xDF else 3 if 0xE0 <= first <= 0xEF else 4 if 0xF0 <= first <= 0xF4 else 1


def pieces(data: bytes):
    at = 0
    while at < len(data):
        end = at + 1
        while end < len(data) and end - at < piece_length(data[at]) and 0x80 <= data[end] <= 0xBF:
            end += 1
        yield data[at:end]
        at = end


def typed_as_cp932(data: bytes) -> bytes:
    out = b""
    for piece in pieces(data):
        try:
            text = piece.decode("utf-8")
        except UnicodeDecodeError:
            out += b"?"
            continue
        out += cp932_code(ord(text)) or b"?"
    return out


def strict_reading(data: bytes) -> str:
    """What a strict decoder makes of `data`: its code points; "cut" when it is
    sound but ends inside a character; "bad" when it holds something else."""
    try:
        return ",".join("U+%04X" % ord(c) for c in data.decode("utf-8"))
    except UnicodeDecodeError:
        pass
    try:
        codecs.getincrementaldecoder("utf-8")().decode(data, final=False)
        return "cut"
    except UnicodeDecodeError:
        return "bad"


# (bytes typed, what they are)
TYPED = [
    # Each class boundary of code points, in its shortest form.
    ("41 00 42", "U+0000 between letters: a NUL byte, kept as it is"),
    ("7F", "U+007F, the last one-byte form"),
    ("C2 80", "U+0080, the first two-byte form: no code page 932 form"),
    ("DF BF", "U+07FF, the last two-byte form"),
    ("E0 A0 80", "U+0800, the first three-byte form"),
    ("ED 9F BF", "U+D7FF, the last before the surrogates"),
    ("ED A0 80", "U+D800, the first surrogate"),
    ("ED BF BF", "U+DFFF, the last surrogate"),
    ("EE 80 80", "U+E000, the first after the surrogates: user-defined 0xF040"),
    ("EF BF BF", "U+FFFF, the last three-byte form"),
    ("F0 90 80 80", "U+10000, the first four-byte form"),
    ("F4 8F BF BF", "U+10FFFF, the last code point"),
    ("F4 90 80 80", "U+110000, beyond the last code point"),
    # Overlong forms of each length, at both ends.
    ("C0 80", "overlong two-byte U+0000: C0 begins nothing"),
    ("C1 BF", "overlong two-byte U+007F: C1 begins nothing"),
    ("E0 80 80", "overlong three-byte U+0000"),
    ("E0 9F BF", "overlong three-byte U+07FF"),
    ("F0 80 80 80", "overlong four-byte U+0000"),
    ("F0 8F BF BF", "overlong four-byte U+FFFF"),
    # Bytes that begin nothing, at the ends of their classes.
    ("F5 80 80 80", "F5 begins nothing"),
    ("F7 BF BF BF", "F7 begins nothing"),
    ("F8 88 80 80 80", "an old five-byte form"),
    ("FC 84 80 80 80 80", "an old six-byte form"),
    ("FE", "FE"),
    ("FF", "FF"),
    # Continuation bytes at the ends of their class, after a lead byte.
    ("C2 7F", "7F after a lead byte is a character of its own"),
    ("C2 C0", "C0 after a lead byte begins nothing"),
    ("C2 BF", "U+00BF, the last continuation byte"),
    ("E3 81 7F", "7F as the third byte"),
    ("E3 81 C0", "C0 as the third byte"),
    ("F0 9F 98 7F", "7F as the fourth byte"),
    # Lone and surplus continuation bytes.
    ("80", "a lone continuation byte, the first"),
    ("BF", "a lone continuation byte, the last"),
    ("80 80 BF", "three lone continuation bytes"),
    ("41 80 42", "a lone continuation byte between letters"),
    ("C2 A7 80", "a surplus continuation byte after a two-byte character"),
    ("E3 81 82 82", "a surplus continuation byte after a three-byte character"),
    ("F0 9F 98 80 80", "a surplus continuation byte after a four-byte character"),
    # Sequences cut off: at the end of the input, and by another byte.
    ("C2", "a two-byte lead byte at the end"),
    ("E3", "a three-byte lead byte at the end"),
    ("E3 81", "two of three bytes at the end"),
    ("F0", "a four-byte lead byte at the end"),
    ("F0 9F", "two of four bytes at the end"),
    ("F0 9F 98", "three of four bytes at the end"),
    ("41 E3 81", "a letter, then two of three bytes at the end"),
    ("E0 80", "the beginning of an overlong form at the end"),
    ("ED A0", "the beginning of a surrogate at the end"),
    ("F4 90", "the beginning of a code point beyond U+10FFFF at the end"),
    ("E3 81 41", "two of three bytes, then a letter"),
    ("F0 9F 98 41", "three of four bytes, then a letter"),
    ("E3 81 E3 81 82", "two of three bytes, then a whole character"),
    ("C2 E3 81 82", "a two-byte lead byte, then a whole character"),
    # Characters the code page holds, of each length, some in their JIS forms.
    ("C2 A7", "U+00A7 §: a two-byte form to a double-byte code"),
    ("C2 A5", "U+00A5 ¥: read as 0x5C"),
    ("C2 A2", "U+00A2 ¢: read as ￠"),
    ("E2 80 BE", "U+203E ‾: read as 0x7E"),
    ("E3 80 9C", "U+301C 〜: read as ～"),
    ("EF BD 9E", "U+FF5E ～"),
    ("E3 81 82", "U+3042 あ"),
    ("EF BD B1", "U+FF71 ｱ: a three-byte form to a single byte"),
    ("E7 94 B3", "U+7533 申: a trail byte 0x5C"),
    ("F0 9F 98 80", "U+1F600, an emoji: no code page 932 form"),
]

# ---- Printed code page 932 becomes UTF-8 ------------------------------------------------------
#
# The program's rule, for each piece of a print (a run of its format, or one
# argument) on its own: a lead byte and a trail byte after it are a pair, which
# becomes its character, or U+FFFD when the code page defines none; such a pair
# whose trail byte is below 0x80 (ASCII) gives that byte back, to be read again on
# its own. A lead byte without a trail byte after it in the same piece is U+FFFD.
# Any other byte becomes its character, or U+FFFD when the code page defines none.

REPLACEMENT = "\uFFFD"


def printed_as_utf8(piece: bytes) -> bytes:
    out = ""
    at = 0
    while at < len(piece):
        b = piece[at]
        if in_ranges(b, LEAD_RANGES) and at + 1 < len(piece) and in_ranges(piece[at + 1], TRAIL_RANGES):
            character = cp932_character(piece[at:at + 2])
            out += character or REPLACEMENT
            at += 1 if character is None and piece[at + 1] < 0x80 else 2
        elif in_ranges(b, LEAD_RANGES):
            out += REPLACEMENT
            at += 1
        else:
            out += cp932_character(piece[at:at + 1]) or REPLACEMENT
            at += 1
    return out.encode("utf-8")


# (what, the cases: each a list of pieces)
PRINTED = [
    ("Every byte alone.", [[bytes([b])] for b in range(1, 256)]),
    ("Every lead byte before each kind of byte that is no trail byte (below 0x40, 0x7F, "
     "0xFD-0xFF), and before the ends of the trail ranges.",
     [[bytes([lead, second])] for lead in LEADS
      for second in (0x01, 0x0A, 0x20, 0x3F, 0x40, 0x7E, 0x7F, 0x80, 0xFC, 0xFD, 0xFE, 0xFF)]),
    ("Every lead byte at the end of a piece, the next piece beginning with a trail byte.",
     [[bytes([lead]), b"\x40"] for lead in LEADS]),
]


# ---- The file ----------------------------------------------------------------------------------

HEADER = """\
# Code page 932 and UTF-8 at every edge: reference cases, one a line.
# Made by tests/code_page_edges.py from documented rules, Python's strict UTF-8
# decoder and the C library's iconv; run it to remake this file, never edit it.
# Byte strings are in hex, two digits a byte; "|" separates the pieces of a print.
#
# class KIND FIRST LAST: the bytes FIRST to LAST are of KIND (lead, trail or single:
#   the first byte of a double-byte character, a valid second byte of one, a
#   character of one byte). A byte is of each kind whose ranges hold it.
# typed IN STRICT OUT: the UTF-8 bytes IN, typed. STRICT is what a strict decoder
#   makes of them: their code points (U+XXXX, comma-separated), "cut" (sound but
#   ending inside a character) or "bad". OUT is the code page 932 that reaches the
#   program when the input ends after IN.
# printed IN OUT: the code page 932 pieces IN, printed one after the other, leave
#   as the UTF-8 bytes OUT.
"""


def hex_bytes(data: bytes) -> str:
    return data.hex().upper()


def contents() -> str:
    lines = [HEADER]
    for kind, ranges in (("lead", LEAD_RANGES), ("trail", TRAIL_RANGES), ("single", SINGLE_RANGES)):
        for low, high in ranges:
            lines.append(f"class {kind} {low:02X} {high:02X}\n")
    lines.append("\n")
    for typed, what in TYPED:
        data = bytes.fromhex(typed)
        lines.append(f"typed {hex_bytes(data)} {strict_reading(data)} {hex_bytes(typed_as_cp932(data))}  # {what}\n")
    for what, cases in PRINTED:
        lines.append(f"\n# {what}\n")
        for pieces_ in cases:
            out = b"".join(printed_as_utf8(p) for p in pieces_)
            lines.append(f"printed {'|'.join(hex_bytes(p) for p in pieces_)} {hex_bytes(out)}\n")
    return "".join(lines)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true", help="fail when FILE differs from what would be written")
    parser.add_argument("file", nargs="?", default=os.path.join(os.path.dirname(__file__), "code_page_edges.txt"))
    options = parser.parse_args()
    wanted = contents()
    if options.check:
        with open(options.file, encoding="utf-8") as f:
            if f.read() != wanted:
                print(f"{options.file} is not what tests/code_page_edges.py makes: run it to remake the file",
                      file=sys.stderr)
                return 1
        return 0
    with open(options.file, "w", encoding="utf-8") as f:
        f.write(wanted)
    return 0


if __name__ == "__main__":
    sys.exit(main())
