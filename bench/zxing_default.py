#!/usr/bin/python3
"""Reads every image named on the command line with zxing-cpp's default settings (its Python
binding, read_barcodes) and prints one line per image: the file, and the EAN-13/UPC-A codes found
as 13 digits, space-separated. zxing-cpp 1.4 aborts the process on some images (an assertion in
Result::operator==); such an image is printed with "abort" and the rest are read in a new process.

    zxing_default.py IMAGE...
"""
import subprocess
import sys


def load(path):
    import numpy as np
    # Debian's python3-zxing-cpp takes a numpy array; ImageMagick turns any image into grey bytes
    # (and applies no orientation, as the reader's other inputs here have none).
    pgm = subprocess.run(["convert", path, "-colorspace", "Gray", "-depth", "8", "pgm:-"],
                         capture_output=True, check=True).stdout
    magic, width, height, maxval, data = pgm.split(maxsplit=4)
    width, height = int(width), int(height)
    return np.frombuffer(data[:width * height], dtype=np.uint8).reshape(height, width)


def worker(paths):
    import zxingcpp
    wanted = {zxingcpp.BarcodeFormat.EAN13, zxingcpp.BarcodeFormat.UPCA}
    for path in paths:
        print("start\t" + path, flush=True)
        try:
            results = zxingcpp.read_barcodes(load(path))
        except subprocess.CalledProcessError:
            results = []
        codes = []
        for r in results:
            if r.format in wanted:
                text = r.text if len(r.text) == 13 else "0" + r.text
                if text not in codes:
                    codes.append(text)
        print("done\t" + path + "\t" + " ".join(codes), flush=True)


def main(paths):
    while paths:
        child = subprocess.Popen([sys.executable, __file__, "--worker"] + paths,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        current = None
        finished = 0
        for line in child.stdout:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "start":
                current = fields[1]
            else:
                print(fields[1] + "\t" + (fields[2] if len(fields) > 2 else ""), flush=True)
                current = None
                finished += 1
        child.wait()
        if current is None:
            break
        print(current + "\tabort", flush=True)
        paths = paths[finished + 1:]


if __name__ == "__main__":
    if sys.argv[1:2] == ["--worker"]:
        worker(sys.argv[2:])
    else:
        main(sys.argv[1:])
