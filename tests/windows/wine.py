#!/usr/bin/env python3
"""Windows programs under wine in the tests.

The tests share one wine prefix, made once per test run in a temporary folder
whose name the build folder's file `wine-prefix` holds:

    wine.py create BUILD_DIR                  make the prefix, start its wineserver
    wine.py remove BUILD_DIR                  end everything wine started, delete the prefix
    wine.py run BUILD_DIR PROGRAM [ARG...]    run a program under wine, with a time limit

Every process runs in a session of its own with a time limit; when the limit
passes, its whole process group is killed. wine's own messages on standard error
are wine's: the tests look at the program's output only."""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import sessions  # noqa: E402

# No debugging messages, and no offer to install .NET or a browser engine into the prefix.
QUIET = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


def record(build_dir) -> pathlib.Path:
    return pathlib.Path(build_dir) / "wine-prefix"


def environment(build_dir, **variables) -> dict:
    """The environment of a program run in the test run's wine prefix."""
    return sessions.environment(WINEPREFIX=record(build_dir).read_text().strip(), **QUIET, **variables)


def run(build_dir, command: list, input: bytes = b"", timeout: float = 60, **variables):
    """`command` (a Windows program and its arguments) run under wine, as sessions.run runs one."""
    return sessions.run(["wine"] + list(command), input, timeout, env=environment(build_dir, **variables))


def create(build_dir):
    remove(build_dir)
    prefix = pathlib.Path(tempfile.mkdtemp(prefix="onigawara-wine-")) / "prefix"
    record(build_dir).write_text(str(prefix))
    env = environment(build_dir)
    # Made in a few seconds; then left to settle, until everything that the making
    # started has ended.
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["wineboot", "--init"], env=env, timeout=300, check=True, start_new_session=True, **quiet)
    subprocess.run(["wineserver", "--wait"], env=env, timeout=300, check=True, **quiet)
    # One server and one set of wine's own services for the whole test run, started
    # once here and given no output: started by a test's program, they would hold
    # its output open until they ended, and a console program started while they end
    # waits seconds for them.
    subprocess.run(["wineserver", "--persistent"], env=env, timeout=60, check=True, **quiet)
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, timeout=120, check=True, start_new_session=True, **quiet)


def remove(build_dir):
    if not record(build_dir).exists():
        return
    env = environment(build_dir)
    subprocess.run(["wineserver", "--kill"], env=env, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(pathlib.Path(env["WINEPREFIX"]).parent, ignore_errors=True)
    record(build_dir).unlink()


def main(argv) -> int:
    if len(argv) < 3 or argv[1] not in ("create", "remove", "run"):
        raise SystemExit(__doc__)
    action, build_dir = argv[1], argv[2]
    if action == "create":
        create(build_dir)
    elif action == "remove":
        remove(build_dir)
    else:  # the program's output passes through
        process = subprocess.Popen(["wine"] + argv[3:], env=environment(build_dir), start_new_session=True)
        try:
            return process.wait(timeout=600)
        except subprocess.TimeoutExpired:
            sessions.kill_group(process)
            sys.exit("wine.py: the time limit passed; the program was ended")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
