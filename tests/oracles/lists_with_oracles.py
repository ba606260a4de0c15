#!/usr/bin/python3
"""Reads product lists as offices save them with ean13 and, independently, with Python's own csv
module and codecs; every row's entry must be the same, and its verdict python-stdnum's.

The table holds what Excel, LibreOffice and Notepad write: commas, semicolons and tabs, with and
without a header, a UTF-8 byte-order mark, Windows-1251, mixed line ends and quoted fields. ean13
is given neither the delimiter nor the encoding: it has to find them.

usage: lists_with_oracles.py PATH-TO-ean13
Exits 77 (skipped) when python-stdnum is not installed.
"""
import csv
import io
import json
import os
import random
import subprocess
import sys
import tempfile

try:
    from stdnum import ean
except ImportError as missing:
    print(f"skipped: {missing}")
    sys.exit(77)

rng = random.Random(20261211)


def code():
    """A 13- or 12-digit code, every other one with its right check digit."""
    c = "%013d" % rng.randrange(10**13) if rng.random() < 0.8 else "%012d" % rng.randrange(10**12)
    if rng.random() < 0.5:
        c = c[:-1] + ean.calc_check_digit(c[:-1])
    return c


NAMES = ["Хлеб белый", "Молоко 3,2%", "Сыр \"Российский\"", "Чай; чёрный", "Вода\tгазированная", "Мыло"]


def rows(n):
    return [[rng.choice(NAMES), code(), "%d,%02d" % (rng.randrange(1000), rng.randrange(100))] for _ in range(n)]


def as_csv(table, delimiter, line_end):
    out = io.StringIO()
    csv.writer(out, delimiter=delimiter, lineterminator=line_end, quoting=csv.QUOTE_MINIMAL).writerows(table)
    return out.getvalue()


def mixed_line_ends(text):
    lines = text.split("\n")
    return "".join(line + rng.choice(["\n", "\r\n"]) for line in lines[:-1]) + lines[-1]


# (name, bytes of the file, ean13's options, the delimiter and encoding Python reads it with)
cases = []
for delimiter, name in ((";", "semicolons"), (",", "commas"), ("\t", "tabs")):
    for header in (True, False):
        table = rows(40)
        if header:
            table = [["Наименование", "Штрихкод", "Цена"]] + table
        text = as_csv(table, delimiter, "\r\n")
        options = ["--csv", "--column", "Штрихкод" if header else "2"] + (["--header"] if header else [])
        cases.append((f"{name}, header {header}, UTF-8", text.encode("utf-8"), options, delimiter, "utf-8"))
        cases.append((f"{name}, header {header}, BOM", b"\xef\xbb\xbf" + text.encode("utf-8"), options, delimiter, "utf-8-sig"))
        cases.append((f"{name}, header {header}, Windows-1251", text.encode("cp1251"), options, delimiter, "cp1251"))
        cases.append((f"{name}, header {header}, mixed line ends", mixed_line_ends(as_csv(table, delimiter, "\n")).encode("cp1251"),
                      options, delimiter, "cp1251"))
# A list of codes alone, as Notepad saves it: a BOM and CRLF.
plain = [code() for _ in range(30)]
cases.append(("codes alone, Notepad's BOM", b"\xef\xbb\xbf" + "\r\n".join(plain).encode("utf-8") + b"\r\n", [], None, "utf-8-sig"))

failures = 0
checked = 0
with tempfile.TemporaryDirectory() as work:
    for name, data, options, delimiter, encoding in cases:
        path = os.path.join(work, "list.csv")
        with open(path, "wb") as f:
            f.write(data)
        text = data.decode(encoding)
        if delimiter is None:
            expected = text.splitlines()
        else:
            table = list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter))
            if "--header" in options:
                table = table[1:]
            expected = [row[1] for row in table]
        result = subprocess.run([sys.argv[1], "--json", "-i", path] + options, capture_output=True, check=False)
        records = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
        if result.stderr or len(records) != len(expected):
            print(f"{name}: {len(records)} records for {len(expected)} rows; {result.stderr.decode(errors='replace')}")
            failures += 1
            continue
        first_line = 2 if "--header" in options else 1   # no field here spans lines
        for line, (entry, rec) in enumerate(zip(expected, records), start=first_line):
            checked += 1
            valid = len(entry) in (12, 13) and ean.is_valid(entry)
            if rec["entry"] != entry or (rec["status"] == "ok") != valid or rec.get("source") != path or rec.get("line") != line:
                print(f"{name}, line {rec.get('line')}: ean13 {rec['entry']!r} {rec['status']}; Python {entry!r}, stdnum {valid}")
                failures += 1

print(f"{checked} rows of {len(cases)} lists, {failures} failed")
sys.exit(1 if failures else 0)
