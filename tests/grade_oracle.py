#!/usr/bin/env python3
"""ean13 grade against a second, independent computation.

Draws a scan with numpy (bar gain, blur, noise over the symbol and a spot in one space), lets
`ean13 grade --json` grade it, and works out every parameter of every scan line again here,
straight from the definitions of ISO/IEC 15416 and the EAN/UPC reference decode: a profile
through a circular aperture, Rmin, Rmax, the global threshold, edge contrast, element
reflectance non-uniformity, edges at the middle of the neighbours' extremes, and decodability
from edge-to-similar-edge widths. Exit 0 when all agree, 1 with the differences, 77 to skip.
"""
import json
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
except ImportError:
    print("numpy is not installed")
    sys.exit(77)

CODE = "5901234123457"
MODULE = 9           # pixels
DPI = MODULE * 25.4 / 0.330
APERTURE_MM = 0.150
BAR, SPACE = 30, 215
QUIET = 14           # modules of light margin on either side

SET_A = ["0001101", "0011001", "0010011", "0111101", "0100011",
         "0110001", "0101111", "0111011", "0110111", "0001011"]
SET_C = ["".join("1" if c == "0" else "0" for c in a) for a in SET_A]
SET_B = [c[::-1] for c in SET_C]
PARITY = ["AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
          "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"]


def modules(code):
    sets = PARITY[int(code[0])]
    left = "".join((SET_A if s == "A" else SET_B)[int(d)] for s, d in zip(sets, code[1:7]))
    right = "".join(SET_C[int(d)] for d in code[7:])
    return "101" + left + "01010" + right + "101"


def runs(bits):
    out = []
    for b in bits:
        if out and out[-1][0] == b:
            out[-1][1] += 1
        else:
            out.append([b, 1])
    return out


def draw():
    widths = [n for _, n in runs(modules(CODE))]
    edges = np.cumsum([QUIET * MODULE] + [w * MODULE for w in widths])
    width = int(edges[-1]) + QUIET * MODULE
    row = np.full(width, float(SPACE))
    for k in range(0, len(edges) - 1, 2):
        row[edges[k] - 1:edges[k + 1] + 1] = BAR          # every bar 2 pixels wider
    row = np.convolve(np.pad(row, 2, mode="edge"), np.ones(5) / 5, mode="valid")   # a 5-pixel blur
    height = 240
    image = np.tile(np.full(width, float(SPACE)), (height + 40, 1))
    image[20:20 + height] = row
    rng = np.random.default_rng(15416)
    x0, x1 = int(edges[0]) - 3, int(edges[-1]) + 3
    image[20:20 + height, x0:x1] += rng.integers(-4, 5, size=(height, x1 - x0))
    # A spot in the first space of three modules or more, over the upper third of the bars.
    k = next(k for k in range(1, len(widths), 2) if widths[k] >= 3)
    centre = (edges[k] + edges[k + 1]) // 2
    image[20:20 + height // 3, centre - 4:centre + 4] = 150
    return np.clip(np.rint(image), 0, 255).astype(np.uint8), edges


def aperture_mask():
    r = APERTURE_MM / 2 / 25.4 * DPI
    n = int(np.floor(r))
    dy, dx = np.mgrid[-n:n + 1, -n:n + 1]
    return [(int(a), int(b)) for a, b in zip(dx[dx * dx + dy * dy <= r * r], dy[dx * dx + dy * dy <= r * r])]


def profile(image, y, x_from, x_to, mask):
    h, w = image.shape
    xs = np.arange(x_from, x_to)
    total = np.zeros(len(xs))
    for dx, dy in mask:
        total += image[min(max(y + dy, 0), h - 1), np.clip(xs + dx, 0, w - 1)]
    return total / len(mask) / 255.0


def grade_line(r):
    rmin, rmax = r.min(), r.max()
    sc = rmax - rmin
    gt = rmin + sc / 2
    dark = r <= gt
    bounds = [0] + [i for i in range(1, len(r)) if dark[i] != dark[i - 1]] + [len(r)]
    elements = [(bounds[i], bounds[i + 1], bool(dark[bounds[i]])) for i in range(len(bounds) - 1)]
    extreme = [s + int(np.argmin(r[s:e]) if bar else np.argmax(r[s:e])) for s, e, bar in elements]
    ec = [abs(r[a] - r[b]) for a, b in zip(extreme, extreme[1:])]
    ern = 0.0
    for s, e, _ in elements:
        # Local extremes, a run of equal samples counting as one; the profile's ends are none.
        peaks, valleys = [], []
        i = s
        while i < e:
            j = i
            while j + 1 < e and r[j + 1] == r[i]:
                j += 1
            if i > 0 and j + 1 < len(r):
                if r[i] > r[i - 1] and r[i] > r[j + 1]:
                    peaks.append(r[i])
                if r[i] < r[i - 1] and r[i] < r[j + 1]:
                    valleys.append(r[i])
            i = j + 1
        if peaks and valleys:
            ern = max(ern, max(peaks) - min(valleys))
    edges = []
    for a, b in zip(extreme, extreme[1:]):
        level = (r[a] + r[b]) / 2
        i = a
        while (r[i + 1] > level) if r[a] > level else (r[i + 1] < level):
            i += 1
        edges.append(i + (r[i] - level) / (r[i] - r[i + 1]))
    return dict(rmin=rmin, rmax=rmax, sc=sc, ecmin=min(ec), mod=min(ec) / sc, defects=ern / sc,
                decodability=decodability(edges) if len(elements) == 61 else 0.0)


def decodability(e):
    """The EAN/UPC reference decode's margins: each character's two edge-to-similar-edge widths
    against thresholds at 1.5, 2.5, ... modules of its own width / 7, and for 1, 2, 7 and 8 the
    sum of its bars against the middle between the two digits it could be."""
    table = {}
    for name, patterns in (("A", SET_A), ("B", SET_B), ("C", SET_C)):
        for digit, p in enumerate(patterns):
            w = [n for _, n in runs(p)]
            bars = w[0] + w[2] if p[0] == "1" else w[1] + w[3]
            table.setdefault((name == "C", w[0] + w[1], w[1] + w[2]), []).append((digit, bars))
    v = 1.0
    for c in range(12):
        s = 3 + 4 * c if c < 6 else 32 + 4 * (c - 6)
        z = (e[s + 4] - e[s]) / 7
        t1, t2 = (e[s + 2] - e[s]) / z, (e[s + 3] - e[s + 1]) / z
        for t in (t1, t2):
            v = min(v, 1 - 2 * abs(t - round(t)))
        cands = table[(c >= 6, round(t1), round(t2))]
        if len(cands) == 2:
            bars = (e[s + 2] - e[s + 1] + e[s + 4] - e[s + 3]) if c < 6 else (e[s + 1] - e[s] + e[s + 3] - e[s + 2])
            middle = (cands[0][1] + cands[1][1]) / 2
            v = min(v, abs(bars / z - middle))
    return v


def main():
    program = sys.argv[1]
    image, edges = draw()
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "scan.pgm")
        with open(path, "wb") as f:
            f.write(b"P5 %d %d 255\n" % (image.shape[1], image.shape[0]))
            f.write(image.tobytes())
        run = subprocess.run([program, "grade", "--json", "--dpi", repr(DPI), path], capture_output=True, text=True)
    if run.returncode not in (0, 1):
        print("ean13 grade failed:", run.returncode, run.stderr)
        return 1
    graded = json.loads(run.stdout)
    mask = aperture_mask()
    reach = max(abs(dx) for dx, _ in mask)
    # Five modules of quiet zone either side: clear of the blur, the noise and the aperture's reach.
    x_from, x_to = int(edges[0]) - 5 * MODULE, int(edges[-1]) + 5 * MODULE
    assert 5 * MODULE > reach + 5
    failures = []
    for n, scan in enumerate(graded["scans"], 1):
        mine = grade_line(profile(image.astype(float), int(scan["y"]), x_from, x_to, mask))
        for key, value in mine.items():
            if abs(scan[key] - value) > 2e-6:
                failures.append(f"scan line {n}, {key}: ean13 grade {scan[key]}, here {value:.6f}")
    spot_lines = sum(1 for s in graded["scans"] if s["defects"] > 0.2)
    if not 2 <= spot_lines <= 4:
        failures.append(f"the spot over the upper third should spoil 3 scan lines, not {spot_lines}")
    gain = 2 / DPI * 25.4
    if abs(graded["bar_gain_mm"] - gain) > 0.2 / DPI * 25.4:
        failures.append(f"bar gain: ean13 grade {graded['bar_gain_mm']}, drawn {gain:.4f}")
    for f in failures:
        print(f)
    print(f"{len(graded['scans'])} scan lines compared, grade {graded['grade']} ({graded['grade_value']})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
