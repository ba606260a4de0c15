#!/usr/bin/env python3
"""How long ean13 grade takes: a 1200-dpi scan of one symbol, and an A4 page at 600 dpi with one
symbol on it, both as PNG with their resolution stored, as an office scanner writes them.

Symbols come from zint, softened by a small blur and scanner noise (numpy), then written as PNG
by ImageMagick. Each file is graded RUNS times; the median wall time is reported, beside ean13
scan on the same file (finding and reading the code only) for scale, each with its median
processor time, which the load of other work disturbs less.
usage: grade_time.py EAN13 [RUNS]
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    w, h = int(parts[1]), int(parts[2])
    return np.frombuffer(parts[4][-w * h:], dtype=np.uint8).reshape(h, w).astype(float)


def symbol(tmp, scale):
    png = os.path.join(tmp, f"zint{scale}.png")
    subprocess.run(["zint", "-b", "13", "--scale", str(scale), "-o", png, "-d", "400638133393"], check=True)
    pgm = png + ".pgm"
    subprocess.run(["convert", png, "-colorspace", "Gray", pgm], check=True)
    return read_pgm(pgm)


def scanned(image, rng):
    k = np.ones(3) / 3   # a little blur in both directions, and noise, as a scanner gives
    image = np.apply_along_axis(lambda r: np.convolve(r, k, mode="same"), 1, image)
    image = np.apply_along_axis(lambda c: np.convolve(c, k, mode="same"), 0, image)
    image = 20 + image * (225 - 20) / 255 + rng.normal(0, 3, image.shape)
    return np.clip(np.rint(image), 0, 255).astype(np.uint8)


def write_png(tmp, name, image, dpi):
    pgm = os.path.join(tmp, name + ".pgm")
    with open(pgm, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (image.shape[1], image.shape[0]))
        f.write(image.tobytes())
    png = os.path.join(tmp, name + ".png")
    subprocess.run(["convert", pgm, "-units", "PixelsPerInch", "-density", str(dpi), png], check=True)
    return png


def median_time(args, runs):
    """Median wall time and median processor time (user and system) of the runs."""
    walls, cpus = [], []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        run = subprocess.run(args, capture_output=True)
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
        if run.returncode not in (0, 1):
            sys.exit(f"{args}: exit {run.returncode}: {run.stderr.decode()}")
    return statistics.median(walls), statistics.median(cpus), run.stdout.decode().split("\n", 1)[0]


def main():
    ean13 = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    rng = np.random.default_rng(2026)
    with tempfile.TemporaryDirectory() as tmp:
        one = write_png(tmp, "symbol-1200dpi", scanned(np.pad(symbol(tmp, 8), 60, constant_values=255), rng), 1200)
        page = np.full((7016, 4960), 255.0)   # A4 at 600 dpi
        s = symbol(tmp, 4)
        page[5600:5600 + s.shape[0], 3400:3400 + s.shape[1]] = s
        for y in range(600, 5000, 90):       # lines of "text" above it
            page[y:y + 30, 600:4300] = np.where(rng.random(3700) < 0.45, 0, 255)
        page = write_png(tmp, "page-600dpi", scanned(page, rng), 600)
        print(f"{'file':<22}{'pixels':>10}{'ean13 grade (processor)':>28}{'ean13 scan (processor)':>27}")
        for path in (one, page):
            h, w = read_pgm(path[:-4] + ".pgm").shape
            graded, graded_cpu, line = median_time([ean13, "grade", path], runs)
            read, read_cpu, _ = median_time([ean13, "scan", path], runs)
            print(f"{os.path.basename(path):<22}{w * h / 1e6:>8.1f} M{graded:>14.2f} s ({graded_cpu:.2f} s)"
                  f"{read:>14.2f} s ({read_cpu:.2f} s)")
            print("   ", line.split(": ", 1)[1])


if __name__ == "__main__":
    main()
