#!/usr/bin/python3
"""The list window filling from a CSV file of 1,000,000 products, against ean13 --csv --column over
the same file, side by side; how late the window's event loop answered while it filled (the goal:
within 100 ms), and the memory a row takes.

usage: listwindow_vs_ean13.py PATH-TO-ean13 PATH-TO-listwindow_fill [ROWS] [RUNS]
The file: a header (N;Товар;EAN;Цена), semicolons, a tenth of the codes with a wrong check digit
and one in a hundred not a code at all, as an office's price list is. ean13 runs as a whole process
with its output to /dev/null; the window is filled in a process of its own, offscreen. Best of RUNS.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

ean13, fill = sys.argv[1], sys.argv[2]
rows = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3


def check_digit(digits):
    total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(digits))
    return str((10 - total % 10) % 10)


def write_list(path):
    rng = random.Random(2026)
    names = ["Хлеб", "Молоко", "Сыр", "Соль", "Чай", "Кофе", "Рис", "Сок"]
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("N;Товар;EAN;Цена\r\n")
        for i in range(rows):
            body = "".join(rng.choice("0123456789") for _ in range(12))
            code = body + check_digit(body)
            if i % 10 == 9:
                code = body + str((int(check_digit(body)) + 1) % 10)
            elif i % 100 == 42:
                code = body[:7]
            f.write(f"{i + 1};{rng.choice(names)} {i % 97};{code};{rng.randint(10, 999)},{rng.randint(0, 99):02d}\r\n")


def best_ean13(path):
    best = float("inf")
    for _ in range(runs):
        with open(os.devnull, "wb") as out:
            start = time.perf_counter()
            subprocess.run([ean13, "--csv", "--header", "--column", "EAN", "-i", path], stdout=out, check=False)
            best = min(best, time.perf_counter() - start)
    return best


def window_runs(path):
    out = subprocess.run([fill, path, str(runs)], capture_output=True, text=True, check=True,
                         env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
    return [dict(kv.split("=") for kv in line.split()) for line in out.splitlines() if line.startswith("run=")]


with tempfile.TemporaryDirectory() as work:
    path = os.path.join(work, "products.csv")
    write_list(path)
    size = os.path.getsize(path)
    cli = best_ean13(path)
    filled = window_runs(path)
    best = min(filled, key=lambda r: float(r["seconds"]))
    seconds = float(best["seconds"])
    worst_latency = max(float(r["latency_max_ms"]) for r in filled)
    print(f"list file: {rows:,} rows, {size / 1e6:.1f} MB")
    print(f"ean13 --csv --header --column EAN, output to /dev/null: {cli:.3f} s (best of {runs})")
    print(f"list window filled: {seconds:.3f} s (best of {runs}), {seconds / cli:.2f} x ean13 (goal: 3 x)")
    print(f"event loop while filling: median {best['latency_median_ms']} ms late, 99th percentile "
          f"{best['latency_p99_ms']} ms, worst of all runs {worst_latency:.1f} ms (goal: 100 ms)")
    print(f"memory a row: {best['model_bytes_per_row']} bytes in the table's rows and text, "
          f"{best['resident_bytes_per_row']} bytes of the process's resident memory")
