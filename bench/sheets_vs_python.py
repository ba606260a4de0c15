#!/usr/bin/python3
"""ean13 --header --column ean -i FILE.xlsx against a Python script that reads the same column
with openpyxl (read-only, streaming) and calls python-stdnum's ean.is_valid, over the same XLSX
file of 1,000,000 products, side by side; with the peak memory of each.

usage: sheets_vs_python.py PATH-TO-ean13 [ROWS]
The file is written here by openpyxl, as Excel keeps such a list: a header (name, ean, price),
the codes as text cells (a string table of a million entries, which the reader holds whole) and
the prices as numbers. Each command runs as a whole process, output to /dev/null; the best of
several runs counts.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

import openpyxl

ean13 = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000

PYTHON = """
import sys
import openpyxl
from stdnum import ean
valid = 0
sheet = openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0]
lines = sheet.iter_rows(values_only=True)
column = list(next(lines)).index("ean")
for row in lines:
    if len(row) > column and row[column] is not None and ean.is_valid(str(row[column])):
        valid += 1
print(valid)
"""


def best_of(runs, argv):
    """The best wall time of `runs` runs, and the largest resident size (KiB) of any."""
    best, peak = float("inf"), 0
    for _ in range(runs):
        with open(os.devnull, "wb") as out:
            start = time.perf_counter()
            p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out)
            _, status, usage = os.wait4(p.pid, 0)
            best = min(best, time.perf_counter() - start)
            peak = max(peak, usage.ru_maxrss)
            p.returncode = os.waitstatus_to_exitcode(status)
    return best, peak


names = ["Хлеб", "Молоко, 1 л", 'Сыр "Российский"', "Чай"]
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "products.xlsx")
    rng = random.Random(1)
    start = time.perf_counter()
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("Товары")
    ws.append(["name", "ean", "price"])
    for i in range(rows):
        ws.append([names[i % len(names)], "%013d" % rng.randrange(10**13), i % 100])
    wb.save(path)
    made = time.perf_counter() - start
    size = os.path.getsize(path)

    ours, ours_rss = best_of(5, [ean13, "--header", "--column", "ean", "-i", path])
    ours_json, _ = best_of(3, [ean13, "--header", "--column", "ean", "--json", "-i", path])
    theirs, theirs_rss = best_of(2, [sys.executable, "-c", PYTHON, path])

print(f"file: {rows} XLSX rows, {size / 1e6:.1f} MB (written by openpyxl in {made:.0f} s)")
print(f"{'command':<44}{'seconds':>9}{'rows/s':>14}{'peak MB':>9}")
for name, secs, rss in [("ean13 --header --column ean -i FILE.xlsx", ours, ours_rss),
                        ("the same with --json", ours_json, None),
                        ("Python openpyxl + ean.is_valid", theirs, theirs_rss)]:
    print(f"{name:<44}{secs:>9.3f}{rows / secs:>14,.0f}{'' if rss is None else f'{rss / 1024:9.0f}'}")
print(f"ean13 / Python: {theirs / ours:.0f}x faster")
