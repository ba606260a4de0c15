#!/usr/bin/python3
"""Compares the other forms of a number that ean13 --json gives with independent implementations:
python-stdnum for the book trade's numbers (isbn10, issn, ismn) and zint and zxing-cpp for UPC-E
(zint draws the symbol of 6 or 7 digits and works out its check digit, zxing-cpp reads the 8
digits back; ean13 --upce must give the same upc_e, and a code whose check digit stdnum accepts).

usage: numbers_with_oracles.py PATH-TO-ean13
Exits 77 (skipped) when an oracle is not installed.
"""
import json
import random
import shutil
import subprocess
import sys

try:
    from stdnum import ean, isbn, ismn, issn
    import numpy as np
    import zxingcpp
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)
if not shutil.which("zint"):
    print("skipped: no zint")
    sys.exit(77)

EAN13 = sys.argv[1]
rng = random.Random(20261211)
failures = 0


def fail(message):
    global failures
    print(message)
    failures += 1


def check(args, entries):
    out = subprocess.run([EAN13, "--json", *args], input="\n".join(entries) + "\n", capture_output=True,
                         text=True, check=False).stdout.splitlines()
    assert len(out) == len(entries), (len(out), len(entries))
    return [json.loads(line) for line in out]


def with_check_digit(first12):
    return first12 + ean.calc_check_digit(first12)


def digits(n):
    return "".join(rng.choice("0123456789") for _ in range(n))


# ---- The book trade: a table of known numbers, then a generated sample ------------------------

codes = ["9780306406157", "9780804429573", "9780000000002", "9781861972712", "9770317847100", "9771443583061",
         "9771000002004", "9790230671187", "9790000000001", "9791234567896", "9790230671188", "9780306406158"]
for _ in range(300):
    prefix = rng.choice(["978", "977", "9790", "9791", "979"])
    first12 = prefix + digits(12 - len(prefix))
    code = with_check_digit(first12)
    if rng.random() < 0.2:   # a wrong check digit now and then
        code = code[:12] + str((int(code[12]) + 1 + rng.randrange(9)) % 10)
    codes.append(code)

for code, rec in zip(codes, check([], codes)):
    valid = ean.is_valid(code)
    want_isbn10 = isbn.to_isbn10(code) if valid and code.startswith("978") else None
    want_issn = None
    if valid and code.startswith("977"):
        want_issn = issn.compact(code[3:10] + issn.calc_check_digit(code[3:10]))
        if issn.to_ean(want_issn, code[10:12]) != code:
            fail(f"stdnum does not give {code} back from ISSN {want_issn}")
    want_ismn = None
    if valid and code.startswith("9790"):
        want_ismn = "M" + code[4:]
        if not ismn.is_valid(want_ismn) or ismn.to_ismn13(want_ismn) != code:
            fail(f"stdnum does not take ISMN {want_ismn} as the form of {code}")
    got = (rec.get("isbn10"), rec.get("issn"), rec.get("ismn"))
    if got != (want_isbn10, want_issn, want_ismn):
        fail(f"book numbers of {code}: ean13 {got}, stdnum {(want_isbn10, want_issn, want_ismn)}")
    if rec.get("isbn10") and not isbn.is_valid(rec["isbn10"]):
        fail(f"stdnum refuses the ISBN-10 {rec['isbn10']} of {code}")
    if rec.get("issn") and not issn.is_valid(rec["issn"]):
        fail(f"stdnum refuses the ISSN {rec['issn']} of {code}")


# ---- UPC-E: zint writes, zxing-cpp reads, ean13 --upce must agree ------------------------------

def read_back(entry):
    """The 8 digits zxing-cpp reads from zint's UPC-E symbol of `entry`, or None."""
    dump = subprocess.run(["zint", "-b", "UPCE", "-d", entry, "--dump"], capture_output=True, text=True,
                          check=False)
    if dump.returncode != 0:
        return "refused"
    bits = "".join(format(int(h, 16), "04b") for h in "".join(dump.stdout.split()))[:51]
    modules = "0" * 9 + bits + "0" * 9
    row = np.array([0 if bit == "1" else 255 for bit in modules for _ in range(3)], dtype=np.uint8)
    result = zxingcpp.read_barcode(np.tile(row, (60, 1)), formats=zxingcpp.BarcodeFormat.UPCE)
    return result.text if result else None


entries = [rng.choice("01") + digits(6) for _ in range(60)] + [digits(6) for _ in range(20)]
eights = []
for entry, rec in zip(entries, check(["--upce"], entries)):
    read = read_back(entry)
    if read == "refused":   # zero-suppression by the wrong rule: zint will not draw it
        if rec["status"] != "bad-upc-e":
            fail(f"--upce {entry}: {rec['status']}, but zint refuses it")
        continue
    if read is None or len(read) != 8:
        fail(f"zxing-cpp reads {read!r} from zint's UPC-E symbol of {entry}")
        continue
    eights.append(read)
    if rec["status"] != "ok" or rec.get("upc_e") != read:
        fail(f"--upce {entry}: {rec['status']}, upc_e {rec.get('upc_e')}; zint and zxing-cpp {read}")
    if not ean.is_valid(rec["code"]) or rec.get("upc_a") != rec["code"][1:]:
        fail(f"--upce {entry}: code {rec['code']}, upc_a {rec.get('upc_a')}")
# The 8 digits as read are accepted as they stand, and a changed check digit is not.
wrong = [e[:7] + str((int(e[7]) + 1) % 10) for e in eights]
for entry, rec in zip(eights + wrong, check(["--upce"], eights + wrong)):
    want = "ok" if entry in eights else "bad-check-digit"
    if rec["status"] != want or (want == "ok" and rec.get("upc_e") != entry):
        fail(f"--upce {entry}: {rec['status']}, upc_e {rec.get('upc_e')}; wanted {want}")

total = len(codes) + len(entries) + len(eights) + len(wrong)
print(f"{total - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
