#!/usr/bin/python3
"""ean13 render against zint's batch mode, writing the same 10,000 codes as SVG files and as PNG
files, side by side in one run. Every symbol ean13 render writes is read back by zxing-cpp first;
zint checks nothing. zint's PNG is scaled to the same 8 pixels a module (ean13 render at 600 dpi).

usage: render_vs_zint.py PATH-TO-ean13-render [CODES]
Each command runs once as a whole process into an empty directory on the same disk.
"""
import os
import random
import resource
import shutil
import subprocess
import sys
import tempfile
import time

render = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000


def check_digit(first12):
    total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(first12))
    return str((10 - total % 10) % 10)


rng = random.Random(20261210)
codes = set()
while len(codes) < count:
    body = "%012d" % rng.randrange(10**12)
    codes.add(body + check_digit(body))


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(argv, out_dir):
    """Wall-clock seconds and processor seconds (user and system, all threads) of one run."""
    os.makedirs(out_dir)
    cpu = children_cpu()
    start = time.perf_counter()
    result = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=False)
    seconds = time.perf_counter() - start
    cpu = children_cpu() - cpu
    written = len(os.listdir(out_dir))
    if result.returncode != 0 or written != count:
        sys.exit(f"{argv[0]} failed ({result.returncode}, {written} files): {result.stderr[:300]!r}")
    return seconds, cpu


with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as tmp:
    list_file = os.path.join(tmp, "codes.txt")
    with open(list_file, "w") as f:
        f.write("\n".join(sorted(codes)) + "\n")
    print(f"{count} codes, files into {tmp}")
    for fmt in ("svg", "png"):
        ours, ours_cpu = timed([render, "--format", fmt, "-i", list_file, "-o", os.path.join(tmp, "ours-" + fmt)],
                     os.path.join(tmp, "ours-" + fmt))
        zint_args = ["zint", "--batch", "-b", "EANX", f"--filetype={fmt}", "-i", list_file,
                     "-o", os.path.join(tmp, "zint-" + fmt, "~~~~~~~~~~~~~." + fmt)]
        if fmt == "png":
            zint_args.insert(1, "--scale=4")
        theirs, theirs_cpu = timed(zint_args, os.path.join(tmp, "zint-" + fmt))
        print(f"{fmt}: ean13 render {ours:.2f} s ({count / ours:,.0f} files a second, verified; {ours_cpu:.2f} s of processor); "
              f"zint --batch {theirs:.2f} s ({count / theirs:,.0f} a second; {theirs_cpu:.2f} s of processor); "
              f"{theirs / ours:.2f} of zint's throughput")
        shutil.rmtree(os.path.join(tmp, "ours-" + fmt))
        shutil.rmtree(os.path.join(tmp, "zint-" + fmt))
