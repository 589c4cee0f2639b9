#!/usr/bin/env python3
"""The DLLs that a Windows program imports are all Windows' own, so that it runs on
a stock Windows with nothing installed beside it: the C runtime is msvcrt or the
UCRT, the C++ runtime is linked in.

Usage: imports_test.py OBJDUMP PROGRAM.exe"""
import re
import subprocess
import sys

WINDOWS_OWN = {"kernel32.dll", "msvcrt.dll", "ucrtbase.dll", "user32.dll", "advapi32.dll", "ntdll.dll"}


def imported_dlls(objdump: str, program: str) -> list:
    headers = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True, timeout=60).stdout
    return re.findall(r"DLL Name: (\S+)", headers)


def is_windows_own(dll: str) -> bool:
    return dll.lower() in WINDOWS_OWN or dll.lower().startswith("api-ms-win-crt-")


if __name__ == "__main__":
    dlls = imported_dlls(sys.argv[1], sys.argv[2])
    print("imports:", ", ".join(dlls))
    foreign = [dll for dll in dlls if not is_windows_own(dll)]
    if not dlls or foreign:
        sys.exit(f"not Windows' own: {', '.join(foreign) or '(no imports found)'}")
