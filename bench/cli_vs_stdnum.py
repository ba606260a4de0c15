#!/usr/bin/python3
"""ean13 against python-stdnum's ean.is_valid and against merely reading the file (wc -l), over the
same file of 1,000,000 random 13-digit lines, side by side in one run.

usage: cli_vs_stdnum.py PATH-TO-ean13 [LINES]
Each command runs as a whole process, output to /dev/null; the best of several runs counts.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

ean13 = sys.argv[1]
lines = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000

STDNUM = """
import sys
from stdnum import ean
valid = 0
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    for line in f:
        if ean.is_valid(line.rstrip("\\r\\n")):
            valid += 1
print(valid)
"""


def best_of(runs, argv, stdin_path=None):
    best = float("inf")
    for _ in range(runs):
        with open(stdin_path or os.devnull, "rb") as stdin, open(os.devnull, "wb") as out:
            start = time.perf_counter()
            subprocess.run(argv, stdin=stdin, stdout=out, check=False)
            best = min(best, time.perf_counter() - start)
    return best


with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "codes.txt")
    rng = random.Random(1)
    with open(path, "w") as f:
        for _ in range(lines):
            f.write("%013d\n" % rng.randrange(10**13))

    floor = best_of(5, ["wc", "-l", path])
    ours = best_of(5, [ean13], path)
    ours_json = best_of(3, [ean13, "--json"], path)
    theirs = best_of(2, [sys.executable, "-c", STDNUM, path])

print(f"file: {lines} random 13-digit lines")
print(f"{'command':<34}{'seconds':>9}{'lines/s':>14}")
for name, secs in [("wc -l (reading the file)", floor), ("ean13", ours), ("ean13 --json", ours_json),
                   ("python-stdnum ean.is_valid", theirs)]:
    print(f"{name:<34}{secs:>9.3f}{lines / secs:>14,.0f}")
print(f"ean13 / python-stdnum throughput: {theirs / ours:.0f}x (goal: at least 100x)")
print(f"ean13 --json / python-stdnum:     {theirs / ours_json:.0f}x")
print(f"ean13 time / wc -l time:          {ours / floor:.1f}x")
