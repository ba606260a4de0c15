#!/usr/bin/env bash
# Every benchmark, with its figures and ratios: the core and the windows, ean13 against
# python-stdnum and against reading the file, ean13 --csv against Python's csv module, ean13 over
# an XLSX file against openpyxl, one
# ean13 process against eancheck, start-up against a bare Qt program, ean13 render against
# zint, reading codes from pictures against zxing-cpp and zbarimg, and grading print quality.
# Installs what it needs on Debian 12 (as test.sh does). Never part of ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
need_packages_for build run bench
build_preset bench >/dev/null
bin=build/bench/bin   # every program and benchmark of the build
echo "== The core and the windows (offscreen)"
"$bin/bench_core" 2>/dev/null
echo
echo "== ean13 against python-stdnum and wc -l"
/usr/bin/python3 bench/cli_vs_stdnum.py "$bin"/ean13
echo
echo "== ean13 --csv against Python's csv module and python-stdnum"
/usr/bin/python3 bench/csv_vs_python.py "$bin"/ean13
echo
echo "== ean13 over an XLSX file against openpyxl and python-stdnum"
/usr/bin/python3 bench/sheets_vs_python.py "$bin"/ean13
echo
echo "== One ean13 process against Debian's eancheck"
/usr/bin/python3 bench/single_code.py "$bin"/ean13
echo
echo "== Start-up against a bare Qt Widgets program"
/usr/bin/python3 bench/startup.py "$bin/startup_probe" "$bin/bare_window" "$bin/bare_label" 40
echo
echo "== ean13 render against zint --batch, 10,000 codes"
/usr/bin/python3 bench/render_vs_zint.py "$bin"/ean13-render
echo
echo "== ean13 scan against zxing-cpp and zbarimg: read rates and speed"
# Real photographs too when PHOTOS names a folder laid out by bench/photo_set.sh.
/usr/bin/python3 bench/scan_rates.py "$bin"/ean13-scan "$bin/make_scan_images" 20 2026 ${PHOTOS:+--photos "$PHOTOS"}
echo
echo "== ean13 scan on the whole family: speed per symbology, read rates on EAN-8, UPC-E and add-ons"
/usr/bin/python3 bench/family_scan.py "$bin"/ean13-scan 10 2026
echo
echo "== ean13 grade: a 1200-dpi scan of one symbol, an A4 page at 600 dpi"
/usr/bin/python3 bench/grade_time.py "$bin"/ean13 5
