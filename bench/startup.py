#!/usr/bin/env python3
"""Start-up benchmark: a short session of onigawara (a name, 本能寺, Enter; input in
code page 932) against minimal_session, a C program doing the same I/O, timed
with hyperfine. Prints both times and their ratio.

Usage: bench/startup.py [BUILD_DIR]   (default build/bench, built with
                                        -DONIGAWARA_BENCHMARKS=ON)

Each run is `with_input -c PROGRAM` (see with_input.c), with no shell in
between. The three commands, with_input alone and with each program, are timed
in ROUNDS rounds one after the other, so that a slow spell of the machine falls
on all three; a program's time is its median less the median of with_input
alone: the time from exec to exit for the whole session."""
import json
import os
import statistics
import subprocess
import sys
import tempfile

ROUNDS = 25
RUNS = 80
SESSION = "太郎\n本能寺\n\n".encode("cp932")
BANNER = ("\n\n" + "　" * 22 + "－　完　－　").encode("cp932")


def measure(build_dir: str) -> dict:
    onigawara = os.path.join(build_dir, "onigawara")
    minimal = os.path.join(build_dir, "bench", "minimal_session")
    launcher = os.path.join(build_dir, "bench", "with_input")
    for program in (onigawara, minimal):  # both really run the session to its end
        out = subprocess.run([program], input=SESSION, stdout=subprocess.PIPE, check=True).stdout
        if not out.endswith(BANNER):
            raise SystemExit(f"{program} did not finish the session")

    commands = [f"{launcher} -c ''", f"{launcher} -c {minimal}", f"{launcher} -c {onigawara}"]
    times = [[] for _ in commands]
    with tempfile.NamedTemporaryFile(suffix=".txt") as session, tempfile.TemporaryDirectory() as work:
        session.write(SESSION)
        session.flush()
        report = os.path.join(work, "hyperfine.json")
        for _ in range(ROUNDS):
            run = subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "50", "--runs", str(RUNS),
                                  "--export-json", report] + commands,
                                 env=dict(os.environ, BENCH_INPUT=session.name), capture_output=True, text=True)
            if run.returncode != 0:  # its warnings about outliers are expected here, and not shown
                raise SystemExit(run.stdout + run.stderr)
            with open(report) as f:
                for i, result in enumerate(json.load(f)["results"]):
                    times[i] += result["times"]
    launch, c_total, onigawara_total = (statistics.median(t) for t in times)
    return {"onigawara_us": (onigawara_total - launch) * 1e6, "minimal_us": (c_total - launch) * 1e6,
            "ratio": (onigawara_total - launch) / (c_total - launch), "runs": ROUNDS * RUNS}


def describe(figures: dict) -> str:
    return (f"start-up, short session: onigawara {figures['onigawara_us']:.0f} us, minimal C program "
            f"{figures['minimal_us']:.0f} us (medians of {figures['runs']} runs each): "
            f"ratio {figures['ratio']:.2f}")


if __name__ == "__main__":
    print(describe(measure(sys.argv[1] if len(sys.argv) > 1 else "build/bench")))
