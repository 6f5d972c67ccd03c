#!/usr/bin/env python3
"""kestra-cli against its protocol floors, as ratios (docs/cli.md):

  backup   the handshake plus the dump as the simulator paces them: three dump sections,
           each DUMP_DELAY ms after its request, so the floor is 3 x DUMP_DELAY;
  restore  the same handshake plus the paced send of an opened project, 99 x 20 ms; and
           against the send's whole pacing, as the window has it: 200 ms from the opening to
           the bulk mode, 20 ms after each of the 99 parameters and after the last.

Each figure is the median wall time of RUNS runs of the whole program (start, search,
handshake, work, end) with no display, divided by its floor.

    bench/cli_bench.py [build/kestra-cli]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

CLI = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parents[1] / "build/kestra-cli").resolve()
RUNS = int(os.environ.get("KESTRA_BENCH_RUNS", "7"))
DUMP_DELAY = 100  # ms, every dump section
SEND_PACE = 20  # ms, every parameter of a project send


def timed(work, *args):
    env = dict(os.environ, KESTRA_EDITOR_SIMULATOR=f"dump-delay={DUMP_DELAY}",
               XDG_CONFIG_HOME=str(work / "config"))
    env.pop("DISPLAY", None)
    start = time.perf_counter()
    subprocess.run([str(CLI), "--quiet", *args], cwd=work, env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


def main():
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        backup = [timed(work, "backup", "x.tkp") for _ in range(RUNS)]
        restore = [timed(work, "restore", "x.tkp") for _ in range(RUNS)]
    handshake = 3 * DUMP_DELAY
    for name, times, floor in (("backup", backup, handshake),
                               ("restore", restore, handshake + 99 * SEND_PACE),
                               ("restore", restore, handshake + 200 + 100 * SEND_PACE)):
        median = statistics.median(times)
        print(f"{name:8} median {median:8.1f} ms  floor {floor:6d} ms  ratio {median / floor:.3f}"
              f"  (min {min(times):.1f}, max {max(times):.1f}, {RUNS} runs)")


if __name__ == "__main__":
    main()
