#!/usr/bin/python3
"""ean13 --header --column ean -i FILE.xlsx against a Python script that reads the same column
with openpyxl (read-only, streaming) and calls python-stdnum's ean.is_valid, over the same XLSX
file of 1,000,000 products, side by side; with the peak memory of each.

usage: sheets_vs_python.py PATH-TO-ean13 [ROWS]
The file is written here as Excel writes such a list: a header (name, ean, price), the codes
text cells in the shared string table (a million entries, which the reader holds whole), the
prices numbers. Each command runs as a whole process, output to /dev/null; the best of several
runs counts. Peak memory is the largest resident size of the process, by GNU time.
"""
import os
import random
import subprocess
import sys
import tempfile
import time
import zipfile
from xml.sax.saxutils import escape

ean13 = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000

PYTHON = """
import sys
import openpyxl
from stdnum import ean
valid = 0
sheet = openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0]
lines = sheet.iter_rows(values_only=True)
column = list(next(lines)).index("ean")
for row in lines:
    if len(row) > column and row[column] is not None and ean.is_valid(str(row[column])):
        valid += 1
print(valid)
"""


def best_of(runs, argv):
    """The best wall time of `runs` runs, the least processor time (user and system), and the
    largest resident size (KiB) of any, as GNU time measures them: a process started from here
    would count this script's pages as its own."""
    best, cpu, peak = float("inf"), float("inf"), 0
    with tempfile.NamedTemporaryFile() as rss:
        for _ in range(runs):
            with open(os.devnull, "wb") as out:
                start = time.perf_counter()
                subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", rss.name] + argv, stdin=subprocess.DEVNULL, stdout=out,
                               check=False)
                best = min(best, time.perf_counter() - start)
            with open(rss.name) as f:
                kib, user, system = f.read().split()[-3:]
            peak = max(peak, int(kib))
            cpu = min(cpu, float(user) + float(system))
    return best, cpu, peak


NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def write_xlsx(path, rows):
    """A workbook of one sheet, its text in the shared string table, as Excel keeps it."""
    rng = random.Random(1)
    names = ["Хлеб", "Молоко, 1 л", 'Сыр "Российский"', "Чай"]
    strings = ["name", "ean", "price"] + names
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                   '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels", f'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml", f'<?xml version="1.0"?><workbook {NS} xmlns:r="{REL}"><sheets>'
                   '<sheet name="Товары" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels", f'<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
                   f'<Relationship Id="rId2" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
            f.write(f'<?xml version="1.0"?><worksheet {NS}><sheetData>'
                    '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c></row>'.encode())
            for i in range(rows):
                r = i + 2
                strings.append("%013d" % rng.randrange(10**13))
                f.write(b'<row r="%d"><c r="A%d" t="s"><v>%d</v></c><c r="B%d" t="s"><v>%d</v></c><c r="C%d"><v>%d</v></c></row>'
                        % (r, r, 3 + i % len(names), r, len(strings) - 1, r, i % 100))
            f.write(b"</sheetData></worksheet>")
        with z.open("xl/sharedStrings.xml", "w", force_zip64=True) as f:
            f.write(f'<?xml version="1.0"?><sst {NS} count="{len(strings)}" uniqueCount="{len(strings)}">'.encode())
            for text in strings:
                f.write(("<si><t>" + escape(text) + "</t></si>").encode())
            f.write(b"</sst>")


with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "products.xlsx")
    start = time.perf_counter()
    write_xlsx(path, rows)
    made = time.perf_counter() - start
    size = os.path.getsize(path)

    ours = best_of(5, [ean13, "--header", "--column", "ean", "-i", path])
    ours_json = best_of(3, [ean13, "--header", "--column", "ean", "--json", "-i", path])
    theirs = best_of(1, [sys.executable, "-c", PYTHON, path])

print(f"file: {rows} XLSX rows, {size / 1e6:.1f} MB (written in {made:.0f} s)")
print(f"{'command':<44}{'seconds':>9}{'processor s':>13}{'rows/s':>12}{'peak MB':>9}")
for name, (secs, cpu, rss) in [("ean13 --header --column ean -i FILE.xlsx", ours), ("the same with --json", ours_json),
                               ("Python openpyxl + ean.is_valid", theirs)]:
    print(f"{name:<44}{secs:>9.3f}{cpu:>13.2f}{rows / secs:>12,.0f}{rss / 1024:>9.0f}")
print(f"ean13 / Python: {theirs[0] / ours[0]:.0f}x faster ({theirs[1] / ours[1]:.0f}x in processor time)")
