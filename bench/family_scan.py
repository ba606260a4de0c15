#!/usr/bin/python3
"""ean13 scan on every symbology of the EAN/UPC family: its speed on each against its speed on
EAN-13, and its read rate on the EAN-8 and add-on pictures against zxing-cpp (its Python binding,
asked for the family and for add-ons) and zbar's zbarimg (its add-on decoders enabled with
-Sean2.enable -Sean5.enable; by default it reads EAN-8 and UPC-E, the latter as EAN-13).

    family_scan.py EAN13_SCAN [PER_KIND [SEED]]

The pictures are zint's symbols (an independent writer) of random codes from SEED, each in five
conditions: clean at 2 pixels a module, clean at 3, turned 7 degrees, blurred (Gaussian, sigma
1.2 pixels) and JPEG at quality 15 with noise; ImageMagick makes the copies. A picture counts as
read when a reader reports exactly its code, with the add-on where the symbol has one; anything
else it reports is a false code.
"""
import collections
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# zint's symbology, how many digits it is given, the add-on's length, and our name for it.
KINDS = [
    ("ean13", "EANX", 12, 0),
    ("upca", "UPCA", 11, 0),
    ("ean8", "EANX", 7, 0),
    ("upce", "UPCE", 7, 0),
    ("ean13+2", "EANX", 12, 2),
    ("ean13+5", "EANX", 12, 5),
    ("upca+2", "UPCA", 11, 2),
    ("upca+5", "UPCA", 11, 5),
]
CONDITIONS = ["clean-2px", "clean-3px", "turned", "blurred", "jpeg-noise"]


def check_digit(digits):
    total = sum(int(d) * (3 if i % 2 == 0 else 1) for i, d in enumerate(reversed(digits)))
    return str((10 - total % 10) % 10)


def expand_upce(ns_and_six):
    ns, b = ns_and_six[0], ns_and_six[1:]
    last = b[5]
    if last in "012":
        body = b[0:2] + last + "0000" + b[2:5]
    elif last == "3":
        body = b[0:3] + "00000" + b[3:5]
    elif last == "4":
        body = b[0:4] + "00000" + b[4]
    else:
        body = b[0:5] + "0000" + last
    return ns + body


def random_code(rng, kind, zint_name, length):
    """What zint is given, and the code as ean13 scan writes it (ean13 scan's "code" field)."""
    if kind.startswith("upce"):
        while True:   # a body that is the one UPC-E form of its UPC-A number (zint refuses others)
            data = "0" + "".join(rng.choice("0123456789") for _ in range(6))   # zbar reads number system 0 only
            last = data[6]
            if (last == "3" and data[3] in "012") or (last == "4" and data[4] == "0") or (last >= "5" and data[5] == "0"):
                continue
            break
        upc_a = expand_upce(data)
        return data, "0" + upc_a + check_digit(upc_a)
    if kind.startswith("upca"):   # zint's UPC-A takes 11 digits
        data = "".join(rng.choice("0123456789") for _ in range(length))
        return data, "0" + data + check_digit(data)
    data = rng.choice("123456789") + "".join(rng.choice("0123456789") for _ in range(length - 1))
    return data, data + check_digit(data)


def make_pictures(folder, per_kind, seed):
    rng = random.Random(seed)
    pictures = []   # (path, kind, condition, code, addon)
    for kind, zint_name, length, addon_length in KINDS:
        for i in range(per_kind):
            data, code = random_code(rng, kind, zint_name, length)
            addon = "".join(rng.choice("0123456789") for _ in range(addon_length))
            base = os.path.join(folder, f"{kind}-{i}")
            for condition in CONDITIONS:
                scale = "1.5" if condition == "clean-3px" else "1"
                path = f"{base}-{condition}.png" if condition != "jpeg-noise" else f"{base}-{condition}.jpg"
                symbol = f"{base}-{condition}-zint.png"
                subprocess.run(["zint", "--barcode", zint_name, "--data", data + ("+" + addon if addon else ""),
                                "--scale", scale, "--quietzones", "--output", symbol], check=True)
                extra = {
                    "clean-2px": [],
                    "clean-3px": [],
                    "turned": ["-background", "white", "-rotate", "7"],
                    "blurred": ["-blur", "0x1.2"],
                    "jpeg-noise": ["-attenuate", "0.4", "+noise", "Gaussian", "-quality", "15"],
                }[condition]
                subprocess.run(["convert", symbol, "-bordercolor", "white", "-border", "20"] + extra + [path], check=True)
                os.remove(symbol)
                pictures.append((path, kind, condition, code, addon))
    return pictures


def run_ours(scan, images):
    out = subprocess.run([scan, "--json"] + images, capture_output=True, text=True).stdout
    found = collections.defaultdict(list)
    for line in out.splitlines():
        record = json.loads(line)
        if "code" in record:
            found[record["source"]].append((record["code"], record.get("addon", "")))
    return found


def run_zbarimg(images):
    """zbarimg reports an add-on as a symbol of its own: a picture's codes and add-ons, paired in order."""
    out = subprocess.run(["zbarimg", "--xml", "-q", "-Sean2.enable", "-Sean5.enable"] + images,
                         capture_output=True, text=True).stdout
    codes, addons = collections.defaultdict(list), collections.defaultdict(list)
    source = None
    for line in out.splitlines():
        m = re.search(r"<source href='([^']*)'", line)
        if m:
            source = m.group(1)
        m = re.search(r"<symbol type='([A-Z0-9-]+)'.*?<data><!\[CDATA\[(\d+)\]\]>", line)
        if m and source:
            kind, data = m.groups()
            if kind in ("EAN-2", "EAN-5"):
                addons[source].append(data)
            elif kind == "UPC-E":
                codes[source].append("0" + expand_upce(data[:7]) + data[7])
            elif kind in ("EAN-13", "UPC-A", "EAN-8"):
                codes[source].append(data if len(data) != 12 else "0" + data)
    found = {}
    for source in set(codes) | set(addons):
        found[source] = [(c, addons[source][i] if i < len(addons[source]) else "") for i, c in enumerate(codes[source])]
    return found


ZXING = r'''
import subprocess, sys
import numpy as np
import zxingcpp
def load(path):
    pgm = subprocess.run(["convert", path, "-colorspace", "Gray", "-depth", "8", "pgm:-"], capture_output=True, check=True).stdout
    magic, width, height, maxval, data = pgm.split(maxsplit=4)
    return np.frombuffer(data[:int(width) * int(height)], dtype=np.uint8).reshape(int(height), int(width))
formats = zxingcpp.BarcodeFormat.EAN13 | zxingcpp.BarcodeFormat.UPCA | zxingcpp.BarcodeFormat.EAN8 | zxingcpp.BarcodeFormat.UPCE
for path in sys.argv[1:]:
    try:
        r = zxingcpp.read_barcode(load(path), formats=formats, ean_add_on_symbol=zxingcpp.EanAddOnSymbol.Read)
    except Exception:
        r = None
    print(path + "\t" + (str(r.format) + " " + r.text if r and r.valid else ""), flush=True)
'''


def run_zxing(images):
    out = subprocess.run([sys.executable, "-c", ZXING] + images, capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        path, result = (line.split("\t") + [""])[:2]
        if not result:
            continue
        fmt, text = result.split(" ", 1)
        code, _, addon = text.partition(" ")
        if fmt.endswith("UPCE"):
            code = "0" + expand_upce(code[:7]) + code[7]
        elif len(code) == 12:
            code = "0" + code
        found[path] = [(code, addon)]
    return found


def fastest(command, runs=3):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    scan = sys.argv[1]
    per_kind = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 2026
    with tempfile.TemporaryDirectory() as folder:
        pictures = make_pictures(folder, per_kind, seed)
        images = [p[0] for p in pictures]
        readers = [("ean13 scan", run_ours(scan, images)), ("zxing-cpp", run_zxing(images)),
                   ("zbarimg", run_zbarimg(images))]
        read = {name: collections.Counter() for name, _ in readers}
        false_codes = collections.Counter()
        totals = collections.Counter()
        for path, kind, condition, code, addon in pictures:
            totals[kind] += 1
            totals[condition] += 1
            for name, found in readers:
                got = found.get(path, [])
                if got == [(code, addon)]:
                    read[name][kind] += 1
                    read[name][condition] += 1
                false_codes[name] += sum(1 for c in got if c != (code, addon) and c != (code, ""))
        print(f"{len(images)} pictures, {per_kind} codes of each kind in {len(CONDITIONS)} conditions, seed {seed}")
        print()
        print("| pictures | ean13 scan | zxing-cpp | zbarimg |")
        print("|---|---|---|---|")
        for row in [k[0] for k in KINDS] + CONDITIONS:
            print(f"| {row} | " + " | ".join(f"{read[name][row]}/{totals[row]}" for name, _ in readers) + " |")
        print("| false codes | " + " | ".join(str(false_codes[name]) for name, _ in readers) + " |")

        print()
        print("| speed, one process, fastest of 3 | ean13 scan | against EAN-13 |")
        print("|---|---|---|")
        base = None
        for kind, *_ in KINDS:
            chosen = [p[0] for p in pictures if p[1] == kind and p[2] in ("clean-2px", "clean-3px")]
            seconds = fastest([scan] + chosen)
            rate = len(chosen) / seconds
            base = base or rate
            print(f"| {kind} ({len(chosen)} clean pictures) | {seconds:.2f} s, {rate:.0f} a second | {rate / base:.2f} x |")


if __name__ == "__main__":
    main()
