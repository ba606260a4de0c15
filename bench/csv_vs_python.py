#!/usr/bin/python3
"""ean13 --csv --column against a Python script that reads the same column with the csv module
and calls python-stdnum's ean.is_valid, over the same CSV file of 1,000,000 products, side by side.

usage: csv_vs_python.py PATH-TO-ean13 [ROWS]
The file has a header (name,ean,price); half of its names need quoting (a comma, doubled quotes),
so both of ean13's ways of reading a line are in it. Each command runs as a whole process, output
to /dev/null; the best of several runs counts.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

ean13 = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000

PYTHON = """
import csv
import sys
from stdnum import ean
valid = 0
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    reader = csv.reader(f)
    column = next(reader).index("ean")
    for row in reader:
        if len(row) > column and ean.is_valid(row[column]):
            valid += 1
print(valid)
"""


def best_of(runs, argv):
    best = float("inf")
    for _ in range(runs):
        with open(os.devnull, "wb") as out:
            start = time.perf_counter()
            subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=out, check=False)
            best = min(best, time.perf_counter() - start)
    return best


names = ["Хлеб", "Молоко, 1 л", 'Сыр "Российский"', "Чай"]
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "products.csv")
    rng = random.Random(1)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("name,ean,price\r\n")
        for i in range(rows):
            name = names[i % len(names)]
            if "," in name or '"' in name:
                name = '"' + name.replace('"', '""') + '"'
            f.write("%s,%013d,%d\r\n" % (name, rng.randrange(10**13), i % 100))
    size = os.path.getsize(path)

    ours = best_of(5, [ean13, "--csv", "--header", "--column", "ean", "-i", path])
    ours_json = best_of(3, [ean13, "--csv", "--header", "--column", "ean", "--json", "-i", path])
    theirs = best_of(2, [sys.executable, "-c", PYTHON, path])

print(f"file: {rows} CSV rows, {size / 1e6:.1f} MB")
print(f"{'command':<40}{'seconds':>9}{'rows/s':>14}")
for name, secs in [("ean13 --csv --header --column ean", ours), ("the same with --json", ours_json),
                   ("Python csv + ean.is_valid", theirs)]:
    print(f"{name:<40}{secs:>9.3f}{rows / secs:>14,.0f}")
print(f"ean13 --csv / Python:        {theirs / ours:.0f}x (goal: at least 20x)")
print(f"ean13 --csv --json / Python: {theirs / ours_json:.0f}x")
