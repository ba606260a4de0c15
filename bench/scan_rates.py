#!/usr/bin/python3
"""Read rates and speed of ean13 scan against zxing-cpp (its Python binding, default settings) and
zbar's zbarimg (default settings), side by side over one set of test pictures.

    scan_rates.py EAN13_SCAN MAKE_SCAN_IMAGES [PER_KIND [SEED]] [--photos DIR] [--only-photos]

DIR holds real photographs in folders, each image beside a .txt file with the code it holds, as
zxing's blackbox test sets are laid out (ean13-1/1.png, ean13-1/1.txt, ...); each folder is a kind.
A photograph that holds more codes than its .txt names lists them in DIR/also.txt, a line each:
FOLDER/FILE CODE (checked by eye); such a code is neither needed nor false.

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


ALSO = collections.defaultdict(set)


def photos(top):
    """(path, kind, codes) of every photograph under top, the kind being its folder."""
    found = []
    also = os.path.join(top, "also.txt")
    if os.path.exists(also):
        with open(also, encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    name, code = line.split()
                    ALSO[os.path.join(top, name)].add(code)
    for folder in sorted(os.listdir(top)):
        where = os.path.join(top, folder)
        if not os.path.isdir(where):
            continue
        for name in sorted(os.listdir(where)):
            stem, suffix = os.path.splitext(name)
            label = os.path.join(where, stem + ".txt")
            if suffix.lower() in (".png", ".jpg", ".jpeg", ".gif", ".bmp") and os.path.exists(label):
                with open(label, encoding="utf-8") as f:
                    found.append((os.path.join(where, name), folder, [thirteen(f.read().strip())]))
    return found


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    photo_dir = None
    if "--photos" in sys.argv:
        photo_dir = sys.argv[sys.argv.index("--photos") + 1]
        args.remove(photo_dir)
    only_photos = "--only-photos" in sys.argv
    scan, make = args[0], args[1]
    per_kind = int(args[2]) if len(args) > 2 else 20
    seed = int(args[3]) if len(args) > 3 else 2026
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        expected = {}
        kinds = []
        if not only_photos:
            subprocess.run([make, folder, str(per_kind), str(seed)], check=True, env=env, stderr=subprocess.DEVNULL)
            with open(os.path.join(folder, "expected.tsv"), encoding="utf-8") as listing:
                for line in listing:
                    name, kind, codes = line.rstrip("\n").split("\t")
                    expected[os.path.join(folder, name)] = (kind, codes.split())
                    if kind not in kinds:
                        kinds.append(kind)
        if photo_dir:
            for path, kind, codes in photos(photo_dir):
                expected[path] = (kind, codes)
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
                if set(codes) <= set(got) <= set(codes) | ALSO[path]:
                    read[name][kind] += 1
                false_codes[name] += len(set(got) - set(codes) - ALSO[path])

        print(f"{len(images)} images" + ("" if only_photos else f", {per_kind} of each generated kind, seed {seed}"))
        print()
        print("| kind of image | ean13 scan | zxing-cpp | zbarimg |")
        print("|---|---|---|---|")
        for kind in kinds:
            cells = [f"{read[name][kind]}/{totals[kind]}" for name, _ in readers]
            print(f"| {kind} | " + " | ".join(cells) + " |")
        for group, prefix in (("photographs, design sets", "design-"), ("photographs, held out", "heldout-")):
            total = sum(n for kind, n in totals.items() if kind.startswith(prefix))
            if total:
                cells = [f"**{100 * sum(n for kind, n in read[name].items() if kind.startswith(prefix)) / total:.1f} %**"
                         for name, _ in readers]
                print(f"| {group} ({total}) | " + " | ".join(cells) + " |")
        overall = [f"**{100 * sum(read[name].values()) / len(images):.1f} %**" for name, _ in readers]
        print("| all | " + " | ".join(overall) + " |")
        print("| false codes | " + " | ".join(str(false_codes[name]) for name, _ in readers) + " |")
        if os.environ.get("SCAN_RATES_MISSES"):
            for path, (kind, codes) in expected.items():
                got = readers[0][1].get(path, [])
                if set(got) - set(codes) - ALSO[path] or not set(codes) <= set(got):
                    print("miss", path, codes, got, "zxing" if set(codes) <= set(zxing.get(path, [])) else "",
                          "zbar" if set(codes) <= set(readers[2][1].get(path, [])) else "")
        print(f"\nzxing-cpp aborted on {aborts} of the images (counted as not read).")

        sets = [("all", images)]
        if photo_dir:
            sets.append(("the photographs", [p for p in images if p.startswith(photo_dir)]))
        for label, chosen in sets:
            ours = fastest([scan] + chosen)
            zbar = fastest(["zbarimg", "-q"] + chosen)
            print(f"\nspeed, one process over {label} ({len(chosen)} images), fastest of 3:")
            print(f"  ean13 scan  {ours:.2f} s, {len(chosen) / ours:.0f} images a second")
            print(f"  zbarimg     {zbar:.2f} s, {len(chosen) / zbar:.0f} images a second "
                  f"({zbar / ours:.2f} x the time of ean13 scan)")


if __name__ == "__main__":
    main()
