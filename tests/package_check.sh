#!/usr/bin/env bash
# Packs the build with CPack into a Debian package and checks it: its files, its dependencies
# worked out from the binaries, and lintian with no error and no warning.
# usage: package_check.sh BUILD-DIR
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/barcode-analyser_*.deb)
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
id=example.barcode_analyser.BarcodeAnalyser
for f in usr/bin/barcode-analyser usr/bin/ean13 usr/share/barcode-analyser/Tavik.txt \
         usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/barcode-analyser.svg \
         usr/share/man/man1/barcode-analyser.1.gz usr/share/man/man1/ean13.1.gz usr/libexec/barcode-analyser/ean13-sheets \
         usr/share/doc/barcode-analyser/copyright usr/share/doc/barcode-analyser/changelog.gz; do
    grep -qx "\./$f" <<<"$contents" || fail "not in the package: $f"
done
# What the window program loads on first use, in its private folder.
grep -qx '\./usr/libexec/barcode-analyser/barcode-analyser-features\.so' <<<"$contents" ||
    fail "not in the package: the module barcode-analyser-features.so"
depends=$(dpkg-deb --field "$deb" Depends)
for d in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins libqt6svg6 libqt6printsupport6 libzxing libzbar0 libminizip1 libexpat1 \
         qt6-image-formats-plugins qt6-translations-l10n; do
    [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done

# Errors and warnings fail; what lintian only mentions (I:) is listed for the reader.
lintian --info --display-info "$deb" >"$work/lintian.log" 2>&1 || true
grep '^I:' "$work/lintian.log" || true
if grep -q '^[EW]:' "$work/lintian.log"; then
    grep '^[EW]:' "$work/lintian.log"
    fail "lintian"
fi
[ $fails -eq 0 ] || exit 1
echo "all passed"
