#!/usr/bin/env bash
# `cmake --install` into a staging prefix, then what a desktop and its users see of it: the files,
# the desktop entry, the metainfo, the man pages, --help and --version without a display, and the
# help found from any directory, the staged installation moved elsewhere first, on a real X server.
# usage: install_check.sh BUILD-DIR VERSION
set -euo pipefail
build=$1 version=$2
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
for tool in desktop-file-validate appstreamcli man; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null

id=example.barcode_analyser.BarcodeAnalyser
expected=(
    bin/barcode-analyser bin/ean13
    share/barcode-analyser/Tavik.txt
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/barcode-analyser.svg
    share/man/man1/barcode-analyser.1.gz share/man/man1/ean13.1.gz
    share/doc/barcode-analyser/copyright share/doc/barcode-analyser/changelog.gz
    libexec/barcode-analyser/ean13-render libexec/barcode-analyser/ean13-scan
    libexec/barcode-analyser/ean13-grade libexec/barcode-analyser/ean13-sheets
    libexec/barcode-analyser/barcode-analyser-features.so
)
for f in "${expected[@]}"; do [ -f "$work/usr/$f" ] || fail "not installed: $f"; done
for f in bin/barcode-analyser bin/ean13; do [ -x "$work/usr/$f" ] || fail "not executable: $f"; done
extra=$(cd "$work/usr" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "installed but not expected: $extra"

desktop-file-validate "$work/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=barcode-analyser %F' "$work/usr/share/applications/$id.desktop" || fail "the menu entry's command"
grep -qx 'MimeType=text/csv;text/tab-separated-values;text/plain;' "$work/usr/share/applications/$id.desktop" ||
    fail "the lists the menu entry opens"
grep -qx 'Icon=barcode-analyser' "$work/usr/share/applications/$id.desktop" || fail "the menu entry's icon"
appstreamcli validate --no-net "$work/usr/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
grep -q '<svg' "$work/usr/share/icons/hicolor/scalable/apps/barcode-analyser.svg" || fail "the icon is no SVG"

# Whatever the reader's locale, the pages render without a warning.
for page in barcode-analyser ean13; do
    for locale in C C.UTF-8; do
        warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$work/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page(1) in $locale: $warnings"
    done
done

# --help and --version need no display, and the page says what --help says.
program=$work/usr/bin/barcode-analyser
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help) || fail "--help without a display"
[[ $help == *"Usage:"*"--version"* ]] || fail "--help says: $help"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version) || fail "--version without a display"
[ "$out" = "barcode-analyser $version" ] || fail "--version says: $out"
page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$work/usr/share/man/man1/barcode-analyser.1.gz" 2>/dev/null)
for option in --help --version; do
    [[ $page == *"$option"* ]] || fail "barcode-analyser(1) lacks $option"
done
[[ $page == *"barcode-analyser $version"* ]] || fail "barcode-analyser(1) lacks the version"
# ean13(1): ean13 --help is the help of check, so that help comes once; each section once.
page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$work/usr/share/man/man1/ean13.1.gz" 2>/dev/null)
for once in "^ *Checks +EAN-13 article" "^EXAMPLES$" "^EXIT STATUS$" "^ *-n, --line-number$" "^ +ean13 render$" "^ +ean13 scan$" "^ +ean13 grade$"; do
    n=$(grep -cE -- "$once" <<<"$page" || true)
    [ "$n" = 1 ] || fail "ean13(1) has '$once' $n times"
done
out=$(QT_QPA_PLATFORM=offscreen "$program" --no-such-option 2>&1) && fail "an unknown option was taken"
[[ $out == *"no-such-option"* ]] || fail "an unknown option: $out"

# The help from anywhere, once the installation has moved: the real program on a real X server.
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    echo "Xvfb or xdotool is missing: the help lookup of the real program was not checked"
    [ $fails -eq 0 ] || exit 1
    echo "all passed"
    exit 0
fi
source "$(dirname "$0")/xvfb.sh"
source "$(dirname "$0")/click_help.sh"
trap 'stop_xvfb; rm -rf "$work"' EXIT
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
unset QT_QPA_PLATFORM
mv "$work/usr" "$work/moved"
program=$work/moved/bin/barcode-analyser

mkdir "$work/empty" "$work/own"
echo "Своя справка" >"$work/own/Tavik.txt"
[ "$(click_help "$program" "$work/empty" "$work/icon.txt")" = help ] ||
    fail "the installed help was not found from an empty directory"
grep -q 'Icon (32 x 32)' "$work/icon.txt" || fail "the main window carries no icon: $(head -c 200 "$work/icon.txt")"
mv "$work/moved/share/barcode-analyser/Tavik.txt" "$work/aside.txt"
[ "$(click_help "$program" "$work/own")" = help ] || fail "the working directory's help was not shown"
[ "$(click_help "$program" "$work/empty")" = box ] || fail "no help anywhere, and no message said so"

[ $fails -eq 0 ] || exit 1
echo "all passed"
