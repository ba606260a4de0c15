#!/usr/bin/env bash
# Lays out the real photographs that bench/scan_rates.py --photos reads, from a clone of ZXing
# (https://github.com/zxing/zxing, Apache-2.0): its EAN-13 and UPC-A blackbox test images, each
# beside a .txt with the code it holds. Sets 1-3 were used to design the reader's passes; sets 4
# on are held out. ean13-5 and upca-6 are left out: ZXing's own tests expect none of them read,
# and no reader here reads one.
#     bench/photo_set.sh ZXING_CLONE OUT_DIR
set -euo pipefail
zxing=$1
out=$2
blackbox=$zxing/core/src/test/resources/blackbox
mkdir -p "$out"
for set in ean13-1 ean13-2 ean13-3 upca-1 upca-2 upca-3; do
    rm -rf "${out:?}/design-$set"
    cp -r "$blackbox/$set" "$out/design-$set"
done
for set in ean13-4 upca-4 upca-5; do
    rm -rf "${out:?}/heldout-$set"
    cp -r "$blackbox/$set" "$out/heldout-$set"
done
# Codes that are in a photograph besides the one its .txt names (a second symbol on the book,
# checked by eye): neither needed nor false.
{
    for n in 13 14 19 20; do echo "design-ean13-2/$n.png 1920081045006"; done
    echo "design-ean13-2/23.png 9784872348880"
} >"$out/also.txt"
echo "$(find "$out" -name '*.txt' ! -name also.txt ! -name '*metadata*' | wc -l) photographs in $out"
