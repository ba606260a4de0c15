#!/usr/bin/python3
"""Compares ean13 with two independent implementations: python-stdnum for the check digit and
zxing-cpp, which must read back a standard EAN-13 symbol built from ean13's module string.

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

print(f"{len(codes) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
