#!/usr/bin/python3
"""Reads an XLSX product list with ean13 and, independently, with openpyxl; every row's entry must
be the cell as openpyxl reads it, and its verdict python-stdnum's.

The codes are typed as offices type them: as text, and as numbers, which lose a leading 0 (those
rows must carry the note about it, and no other row may).

usage: sheets_with_oracles.py PATH-TO-ean13
Exits 77 (skipped) when python-stdnum or openpyxl is not installed.
"""
import json
import os
import random
import subprocess
import sys
import tempfile

try:
    import openpyxl
    from stdnum import ean
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

rng = random.Random(20261211)


def code():
    """A code of 13 or 12 digits, one in four with a leading 0, every other one with its right check digit."""
    c = "%013d" % rng.randrange(10**13) if rng.random() < 0.7 else "%012d" % rng.randrange(10**12)
    if rng.random() < 0.25:
        c = "0" + c[1:]
    if rng.random() < 0.5:
        c = c[:-1] + ean.calc_check_digit(c[:-1])
    return c


def main():
    exe = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "list.xlsx")
        wb = openpyxl.Workbook()
        ws = wb.active
        ws.append(["Наименование", "Штрихкод"])
        for i in range(500):
            c = code()
            ws.append(["Товар %d" % i, c if rng.random() < 0.5 else int(c)])
        wb.save(path)

        # What openpyxl reads back, as a person sees it in the cell.
        expected = []
        for row in openpyxl.load_workbook(path, read_only=True).active.iter_rows(min_row=2, values_only=True):
            value = row[1]
            expected.append((str(value), isinstance(value, int)))

        out = subprocess.run([exe, "--json", "--header", "--column", "Штрихкод", "-i", path],
                             capture_output=True, check=False)
        if out.returncode not in (0, 1):
            print(out.stderr.decode())
            return 1
        records = [json.loads(line) for line in out.stdout.decode().splitlines()]
        failures = 0
        if len(records) != len(expected):
            print(f"{len(records)} records for {len(expected)} rows")
            return 1
        for i, (record, (entry, number)) in enumerate(zip(records, expected)):
            valid = ean.is_valid(entry) and len(entry) in (12, 13)
            lost_zero = number and len(entry) == 11
            problems = []
            if record["line"] != i + 2:
                problems.append(f"line {record['line']}")
            if record["entry"] != entry:
                problems.append(f"entry {record['entry']!r}")
            if (record["status"] == "ok") != valid:
                problems.append(f"status {record['status']} where stdnum says valid={valid}")
            if ("note" in record) != lost_zero:
                problems.append(f"note {record.get('note')!r}")
            if problems:
                failures += 1
                print(f"row {i + 2} ({entry!r}, number={number}): " + "; ".join(problems))
        print(f"{len(records)} rows, {failures} disagreements")
        return 1 if failures else 0


sys.exit(main())
