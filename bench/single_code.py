#!/usr/bin/python3
"""One `ean13 CODE` process against Debian's `eancheck CODE`: the two are run in turn, one after
the other, many times, so that whatever else the machine does weighs on both alike; the median
of each counts.

usage: single_code.py PATH-TO-ean13 [RUNS]
"""
import os
import shutil
import statistics
import sys
import time

ean13 = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 400
eancheck = shutil.which("eancheck")
if not eancheck:
    print("eancheck is not installed (Debian package eancheck)")
    sys.exit(1)

code = "4820000000000"
devnull = os.open(os.devnull, os.O_WRONLY)
actions = [(os.POSIX_SPAWN_DUP2, devnull, 1)]


def once(argv):
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    os.waitpid(pid, 0)
    return time.perf_counter() - start


commands = {"ean13": [ean13, code], "eancheck": [eancheck, code]}
for argv in commands.values():   # warm the page cache and the dynamic loader's
    for _ in range(20):
        once(argv)
times = {name: [] for name in commands}
for _ in range(runs):
    for name, argv in commands.items():
        times[name].append(once(argv))

medians = {name: statistics.median(t) for name, t in times.items()}
print(f"one process checking {code}, {runs} runs each, taken in turn")
print(f"{'command':<22}{'median ms':>10}{'fastest ms':>12}")
for name, t in times.items():
    print(f"{name + ' CODE':<22}{medians[name] * 1000:>10.2f}{min(t) * 1000:>12.2f}")
print(f"ean13 / eancheck (medians): {medians['ean13'] / medians['eancheck']:.2f}x (goal: at most 1.5x)")
