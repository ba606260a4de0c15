#!/usr/bin/python3
"""Read rates and speed of ean13 scan against zxing-cpp (its Python binding, default settings) and
zbar's zbarimg (default settings), side by side over one set of test pictures.

    scan_rates.py EAN13_SCAN MAKE_SCAN_IMAGES [PER_KIND [SEED]]

An image counts as read when a reader reports exactly the codes it holds (in any order); every
code reported that the image does not hold is a false code. Speed: images a second of one process
over the whole set, the fastest of three runs, for ean13 scan and zbarimg (zxing-cpp's figures
here would be mostly Python's and ImageMagick's, so it has none).
"""
import collections
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def thirteen(code):
    return code if len(code) == 13 else "0" + code


def run_ours(scan, images):
    out = subprocess.run([scan, "--json"] + images, capture_output=True, text=True).stdout
    found = collections.defaultdict(list)
    for line in out.splitlines():
        record = json.loads(line)
        if "code" in record:
            found[record["source"]].append(record["code"])
    return found


def run_zbarimg(images):
    out = subprocess.run(["zbarimg", "--xml", "-q"] + images, capture_output=True, text=True).stdout
    found = collections.defaultdict(list)
    source = None
    for line in out.splitlines():
        m = re.search(r"<source href='([^']*)'", line)
        if m:
            source = m.group(1)
        m = re.search(r"<symbol type='(EAN-13|UPC-A)'.*?<data><!\[CDATA\[(\d+)\]\]>", line)
        if m and source:
            found[source].append(thirteen(m.group(2)))
    return found


def run_zxing(images):
    out = subprocess.run([sys.executable, os.path.join(HERE, "zxing_default.py")] + images,
                         capture_output=True, text=True).stdout
    found = collections.defaultdict(list)
    aborts = 0
    for line in out.splitlines():
        path, codes = (line.split("\t") + [""])[:2]
        if codes == "abort":
            aborts += 1
            continue
        found[path] = codes.split()
    return found, aborts


def fastest(command, runs=3):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    scan, make = sys.argv[1], sys.argv[2]
    per_kind = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 2026
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([make, folder, str(per_kind), str(seed)], check=True, env=env, stderr=subprocess.DEVNULL)
        expected = {}
        kinds = []
        with open(os.path.join(folder, "expected.tsv"), encoding="utf-8") as listing:
            for line in listing:
                name, kind, codes = line.rstrip("\n").split("\t")
                expected[os.path.join(folder, name)] = (kind, codes.split())
                if kind not in kinds:
                    kinds.append(kind)
        images = list(expected)

        zxing, aborts = run_zxing(images)
        readers = [("ean13 scan", run_ours(scan, images)), ("zxing-cpp", zxing), ("zbarimg", run_zbarimg(images))]

        read = {name: collections.Counter() for name, _ in readers}
        false_codes = collections.Counter()
        totals = collections.Counter()
        for path, (kind, codes) in expected.items():
            totals[kind] += 1
            for name, found in readers:
                got = found.get(path, [])
                if sorted(set(got)) == sorted(codes):
                    read[name][kind] += 1
                false_codes[name] += len(set(got) - set(codes))

        print(f"{len(images)} images, {per_kind} of each kind, seed {seed}")
        print()
        print("| kind of image | ean13 scan | zxing-cpp | zbarimg |")
        print("|---|---|---|---|")
        for kind in kinds:
            cells = [f"{read[name][kind]}/{totals[kind]}" for name, _ in readers]
            print(f"| {kind} | " + " | ".join(cells) + " |")
        overall = [f"**{100 * sum(read[name].values()) / len(images):.1f} %**" for name, _ in readers]
        print("| all | " + " | ".join(overall) + " |")
        print("| false codes | " + " | ".join(str(false_codes[name]) for name, _ in readers) + " |")
        print(f"\nzxing-cpp aborted on {aborts} of the images (counted as not read).")

        ours = fastest([scan] + images)
        zbar = fastest(["zbarimg", "-q"] + images)
        print(f"\nspeed, one process over all {len(images)} images, fastest of 3:")
        print(f"  ean13 scan  {ours:.2f} s, {len(images) / ours:.0f} images a second")
        print(f"  zbarimg     {zbar:.2f} s, {len(images) / zbar:.0f} images a second ({zbar / ours:.2f} x the time of ean13 scan)")


if __name__ == "__main__":
    main()
