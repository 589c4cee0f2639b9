"""What the tests that run the real program share: texts as code page 932 bytes,
the opening every run prints, and a clock fixed from outside with faketime."""
import os
import time


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


def at_second(seconds: int, command: list) -> list:
    """`command` run with the clock stopped at `seconds` since the epoch, the seed of
    the run. A stopped clock (rather than faketime's '@SECONDS', which keeps the real
    clock's fraction of a second and keeps ticking) cannot move on to the next second
    while a slow machine starts the program. The time is read in the zone of TZ,
    which environment() sets to UTC."""
    return ["faketime", "-f", time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(seconds))] + list(command)


def environment(**variables) -> dict:
    """The test's environment with TZ=UTC and `variables` set (None removes one)."""
    env = dict(os.environ, TZ="UTC")
    for name, value in variables.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return env
