#!/usr/bin/python3
"""Compares ean13 with two independent implementations: python-stdnum for the check digit (of
EAN-13 and UPC-A, and with --gtin of GTIN-8, -12, -13 and -14) and zxing-cpp, which must read back
a standard EAN-13 symbol built from ean13's module string.

usage: check_with_oracles.py PATH-TO-ean13
Exits 77 (skipped) when an oracle is not installed.
"""
import json
import random
import subprocess
import sys

try:
    from stdnum import ean
    import numpy as np
    import zxingcpp
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

rng = random.Random(20261210)
codes = ["%013d" % rng.randrange(10**13) for _ in range(400)]
codes += ["%012d" % rng.randrange(10**12) for _ in range(100)]   # UPC-A entries
# Make sure plenty of them are valid: give half of the 13-digit ones their right check digit.
codes = [c[:12] + ean.calc_check_digit(c[:12]) if i % 2 == 0 and len(c) == 13 else c for i, c in enumerate(codes)]

out = subprocess.run([sys.argv[1], "--json"], input="\n".join(codes) + "\n", capture_output=True,
                     text=True, check=False).stdout.splitlines()
assert len(out) == len(codes), (len(out), len(codes))

failures = 0
decoded = 0
for code, line in zip(codes, out):
    rec = json.loads(line)
    full = code.zfill(13)
    want_valid = ean.is_valid(full)
    want_digit = int(ean.calc_check_digit(full[:12]))
    if (rec["status"] == "ok") != want_valid or rec["expected_check_digit"] != want_digit:
        print(f"check digit differs for {code}: {rec['status']}, {rec['expected_check_digit']}; stdnum {want_valid}, {want_digit}")
        failures += 1
    if want_valid and decoded < 150:
        # The standard symbol: quiet zone, 101, left half, 01010, right half, 101, quiet zone.
        m = rec["modules"]
        modules = "0" * 11 + "101" + m[:42] + "01010" + m[42:] + "101" + "0" * 11
        row = np.array([0 if bit == "1" else 255 for bit in modules for _ in range(3)], dtype=np.uint8)
        image = np.tile(row, (60, 1))
        result = zxingcpp.read_barcode(image, formats=zxingcpp.BarcodeFormat.EAN13)
        got = result.text if result else None
        if got != full:
            print(f"zxing-cpp reads {got!r} from the modules of {full}")
            failures += 1
        decoded += 1

# --gtin against ean.is_valid, which takes the same four lengths: every length from 7 to 15,
# half of them given their right check digit.
gtins = []
for length in range(7, 16):
    for i in range(60):
        c = "".join(rng.choice("0123456789") for _ in range(length))
        if i % 2 == 0 and length >= 2:
            c = c[:-1] + ean.calc_check_digit(c[:-1])
        gtins.append(c)
out = subprocess.run([sys.argv[1], "--gtin", "--json"], input="\n".join(gtins) + "\n", capture_output=True,
                     text=True, check=False).stdout.splitlines()
assert len(out) == len(gtins), (len(out), len(gtins))
kinds = {8: "gtin-8", 12: "gtin-12", 13: "gtin-13", 14: "gtin-14"}
for code, line in zip(gtins, out):
    rec = json.loads(line)
    want_valid = ean.is_valid(code)
    if (rec["status"] == "ok") != want_valid or (rec.get("kind") != kinds.get(len(code))):
        print(f"--gtin differs for {code}: {rec['status']}, {rec.get('kind')}; stdnum {want_valid}")
        failures += 1
    elif len(code) in kinds and rec["expected_check_digit"] != int(ean.calc_check_digit(code[:-1])):
        print(f"--gtin check digit differs for {code}: {rec['expected_check_digit']}")
        failures += 1

total = len(codes) + len(gtins)
print(f"{total - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
