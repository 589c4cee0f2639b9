#!/usr/bin/env python3
"""Faults tried on the real binary: output that cannot be written, a reader that
goes away, input that is closed, unreadable, empty or endless, overlong lines and
odd bytes.

Usage: fault_test.py PATH_TO_ONIGAWARA
Runs are seeded with --seed 1 (greeting 6).
What idle chatter says is left open here: a turn's reply is only told apart as a
silence reply, a temple fit with the end banner, or something else."""
import os
import subprocess
import sys
import tempfile
import threading
import unittest

from sessions import BANNER, OPENING, kill_group, run as run_program, seeded, sj

BINARY = None


SILENCES = ["鬼瓦＞なんとか申せ。", "鬼瓦＞何か申さぬか。", "鬼瓦＞何を黙っておる。", "鬼瓦＞聞いてる？",
            "鬼瓦＞返事はどうした。", "鬼瓦＞シカト？", "鬼瓦＞お～い、{}さ～ん、いませんか～。"]
FITS = [sj(t) for t in ["鬼瓦＞うわー！ 頭が、頭が痛い、ふぬおー！", "鬼瓦＞ぐわ！ 頭が、頭が割れそうじゃあ～！",
                         "鬼瓦＞ぐふぅ！ 思い出せぬ！ 思い出せぬ～！", "鬼瓦＞あいや～！ その言葉を言うでない～！",
                         "鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！",
                         "鬼瓦＞ ？ ？ ？ ほんのうじ・・・、はっ・・・、黒兵衛ーーー！！！！！"]]


def greeting(name: bytes) -> bytes:
    """Greeting 6 (the clock at 1 second) and the first prompt, for a name given as bytes."""
    return sj("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～") + name + sj("、はわゆ～？") + prompt(name)


def prompt(name: bytes) -> bytes:
    return b"\n" + name + sj("＞")


def run(input_bytes: bytes, timeout: float = 60) -> subprocess.CompletedProcess:
    return run_program(seeded(1, [BINARY]), input_bytes, timeout=timeout)


def shell(script: str, stdin, timeout: float = 60) -> subprocess.CompletedProcess:
    """Runs BINARY from sh, so that the script can close or redirect its streams."""
    return run_program(["sh", "-c", script, BINARY], stdin=stdin, timeout=timeout)


def replies(output: bytes, name: bytes) -> list:
    """What each turn got, after the opening and the greeting: 'silence', 'temple'
    (a fit and the end banner) or 'other'; and 'end' for a last prompt after which
    the input ended, with nothing printed after it."""
    assert output.startswith(OPENING + greeting(name)), output[:300]
    silences = {sj(s.format(name.decode("cp932"))) for s in SILENCES}
    pieces = output[len(OPENING + greeting(name)):].split(prompt(name))
    kinds = []
    for reply in pieces[:-1]:
        kinds.append("silence" if reply in silences else "other")
    last = pieces[-1]
    if last.endswith(BANNER) and last[:-len(BANNER)] in FITS:
        kinds.append("temple")
    else:
        kinds.append("end" if last == b"" else "unfinished")
    return kinds


class Output(unittest.TestCase):
    def test_output_that_cannot_be_written_ends_the_game_with_status_1(self):
        # At once: the name request cannot be written, and no input is read.
        lines = sj("太郎\n") + b"".join(b"x" * 99 + b"\n" for _ in range(3000))
        cases = [("stdout on /dev/full", 'exec "$0" --seed 1 >/dev/full', "No space left on device"),
                 ("stdout closed", 'exec "$0" --seed 1 >&-', "Bad file descriptor")]
        for what, script, reason in cases:
            with self.subTest(what), tempfile.TemporaryFile() as stdin:
                stdin.write(lines)
                stdin.seek(0)
                result = shell(script, stdin)
                self.assertEqual(f"onigawara: write error: {reason}\n".encode(), result.stderr)
                self.assertEqual(1, result.returncode)
                self.assertEqual(0, os.lseek(stdin.fileno(), 0, os.SEEK_CUR), "no input read")

    def test_a_reader_that_left_ends_the_program_while_input_keeps_coming(self):
        read_end, write_end = os.pipe()
        os.close(read_end)
        # Popen gives the child SIGPIPE's default action: the program has to ignore it itself.
        program = subprocess.Popen(seeded(1, [BINARY]), stdin=subprocess.PIPE, stdout=write_end,
                                   stderr=subprocess.PIPE, start_new_session=True)
        os.close(write_end)
        stop = threading.Event()
        fed = []

        def feed():
            line = sj("太郎こんにちは\n") * 1000
            try:
                while not stop.is_set():
                    program.stdin.write(line)
                    fed.append(len(line))
            except (BrokenPipeError, ValueError):
                pass

        feeder = threading.Thread(target=feed)
        feeder.start()
        try:
            returncode = program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            kill_group(program)
            self.fail("the program went on reading after its reader had gone")
        finally:
            stop.set()
            feeder.join()
        self.assertEqual(0, returncode)
        self.assertEqual(b"", program.stderr.read())
        program.stderr.close()
        try:
            program.stdin.close()
        except BrokenPipeError:
            pass


class Input(unittest.TestCase):
    def test_no_input_ends_quietly_after_the_name_request(self):
        result = shell('exec "$0" --seed 1 </dev/null', subprocess.DEVNULL)
        self.assertEqual((0, b"", OPENING), (result.returncode, result.stderr, result.stdout))

    def test_input_that_cannot_be_read_ends_the_game_with_status_1(self):
        cases = [("stdin closed", 'exec "$0" --seed 1 <&-', "Bad file descriptor"),
                 ("stdin a directory", 'exec "$0" --seed 1 </', "Is a directory")]
        for what, script, reason in cases:
            with self.subTest(what):
                result = shell(script, subprocess.DEVNULL)
                self.assertEqual(f"onigawara: read error: {reason}\n".encode(), result.stderr)
                self.assertEqual(1, result.returncode)
                self.assertEqual(OPENING, result.stdout)

    def test_overlong_name_and_line_are_cut_on_a_character_boundary(self):
        # A 10 KB name keeps 9 characters (18 of 19 bytes); a 10 MB line keeps 49
        # characters (98 of 99 bytes). The rest of each line is dropped, so the line
        # after the long one is the next turn's, and ends the conversation.
        name = sj("名") * 5000
        result = run(name + b"\n" + sj("あ") * (5 * 1024 * 1024) + b"\n" + sj("本能寺\n") + b"x")
        self.assertEqual(0, result.returncode)
        self.assertEqual(b"", result.stderr)
        kept = sj("名") * 9
        self.assertEqual(["other", "temple"], replies(result.stdout, kept))
        self.assertNotIn(sj("名") * 10, result.stdout)
        self.assertNotIn(sj("あ") * 50, result.stdout)

    def test_odd_bytes_in_the_name_are_kept_as_typed(self):
        cases = [
            ("NUL ends the name", b"\x96\xbc\x00\x91\xbe\n", b"\x96\xbc"),
            ("lone lead byte", sj("太") + b"\x82\n", sj("太") + b"\x82"),
            ("bare CR", b"a\rb\n", b"a\rb"),
            ("CR LF", sj("太郎\r\n"), sj("太郎")),
            ("CR before CR LF", sj("太郎\r\r\n"), sj("太郎\r")),
            ("0x1A ends the input", sj("太郎") + b"\x1a" + sj("\n本能寺\n"), sj("太郎")),
            ("format characters", b"%s %d %n %x %%\n", b"%s %d %n %x %%"),
        ]
        for what, typed, name in cases:
            with self.subTest(what):
                result = run(typed)
                self.assertEqual(0, result.returncode)
                self.assertEqual(b"", result.stderr)
                self.assertEqual(OPENING + greeting(name), result.stdout)

    def test_odd_bytes_in_lines(self):
        taro = sj("太郎")
        cases = [
            ("a NUL first makes the line empty", b"\x00" + sj("本能寺\n"), ["silence", "end"]),
            ("a NUL ends the line", sj("本能寺") + b"\x00xyz\n", ["temple"]),
            ("CR LF", sj("本能寺\r\n"), ["temple"]),
            ("a CR before CR LF stays in the line", sj("本能寺\r\r\n"), ["other", "end"]),
            ("a bare CR stays in the line", b"\r" + sj("本能寺\n"), ["other", "end"]),
            ("a lone lead byte does not take the newline", b"\x96\n" + sj("本能寺\n"), ["other", "temple"]),
            ("0x1A ends the input", b"\n\x1a" + sj("本能寺\n"), ["silence", "end"]),
            ("format characters", b"%s %d %n %x %%\n%n%n%n%n%s%s%s%s\n" + sj("本能寺\n"), ["other", "other", "temple"]),
        ]
        for what, lines, kinds in cases:
            with self.subTest(what):
                result = run(taro + b"\n" + lines + b"x" * ("temple" in kinds))
                self.assertEqual(0, result.returncode)
                self.assertEqual(b"", result.stderr)
                self.assertEqual(kinds, replies(result.stdout, taro))
                # The player's '%' can only come back as typed, in an echo of the line.
                echoed = sum(result.stdout.count(line) * line.count(b"%") for line in lines.split(b"\n") if b"%" in line)
                self.assertEqual(echoed, result.stdout.count(b"%"))


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
