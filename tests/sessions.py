"""What the tests that run the real program share: texts as code page 932 bytes,
the opening every run prints, seeded runs, and a runner that never leaves a
process behind."""
import os
import pathlib
import re
import signal
import subprocess


def project_version() -> str:
    """The program's version, as project() in the top CMakeLists.txt gives it: the one
    place it is written down."""
    top = pathlib.Path(__file__).resolve().parent.parent / "CMakeLists.txt"
    found = re.search(r"^project\(onigawara VERSION ([0-9.]+)[ )]", top.read_text(), re.MULTILINE)
    if found is None:
        raise RuntimeError(f"no project(onigawara VERSION ...) in {top}")
    return found.group(1)


VERSION = project_version()
# The four numbers of a Windows program's version information and manifest: 3.0 is 3.0.0.0.
WINDOWS_VERSION = ".".join((VERSION.split(".") + ["0"] * 4)[:4])


def sj(text: str) -> bytes:
    return text.encode("cp932")


OPENING_TEXT = ("\n「鬼瓦の雷鳴」version.3"
                "\n\nまずは [Alt] + [半角/全角] で入力を日本語に切り替えてくだされ"
                "\n\nそしてそなたの名を入力してくだされ → ")
BANNER_TEXT = "\n\n" + "　" * 22 + "－　完　－　"
OPENING = sj(OPENING_TEXT)
BANNER = sj(BANNER_TEXT)


def prompt(name: str) -> bytes:
    return sj("\n" + name + "＞")


def transcripts(directory) -> list:
    """The recorded conversations in `directory` (tests/transcripts/), in name order:
    (file name, seed, the typed text, the expected output), texts as UTF-8."""
    found = []
    for path in sorted(pathlib.Path(directory).glob("*.txt")):
        text = path.read_text(encoding="utf-8")
        seed = int(text.split("seed: ", 1)[1].split("\n", 1)[0])
        typed, expected = text.split("=== input\n", 1)[1].split("=== output\n", 1)
        found.append((path.name, seed, typed, expected))
    return found


def seeded(seed: int, command: list) -> list:
    """`command` (a program and its arguments) with the run seeded by `seed`."""
    return list(command[:1]) + ["--seed", str(seed)] + list(command[1:])


def environment(**variables) -> dict:
    """The test's environment with `variables` set (None removes one)."""
    env = dict(os.environ)
    for name, value in variables.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env


def kill_group(process: subprocess.Popen):
    """Ends `process` and everything it started: it leads a process group of its own."""
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def run(command: list, input: bytes = b"", timeout: float = 60, stdin=None, **options) -> subprocess.CompletedProcess:
    """Runs `command` in a session of its own with `input` on its standard input (or
    the file `stdin`), collecting both outputs. When `timeout` seconds pass, the
    whole process group is killed and subprocess.TimeoutExpired is raised."""
    process = subprocess.Popen(command, stdin=stdin if stdin is not None else subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True, **options)
    try:
        out, err = process.communicate(None if stdin is not None else input, timeout=timeout)
    except subprocess.TimeoutExpired:
        kill_group(process)
        process.communicate()
        raise
    finally:
        if process.poll() is None:
            kill_group(process)
    return subprocess.CompletedProcess(command, process.returncode, out, err)
