#!/usr/bin/env bash
# Installs the Debian package as README says, starts the menu entry's command from an empty
# directory on a real X server and checks that it finds its help, then removes the package and
# checks that nothing of it is left. Changes the system: CI runs it on its fresh machine.
# usage: package_install.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if dpkg-query -W -f='${Status}' barcode-analyser 2>/dev/null | grep -q 'install ok installed'; then
    echo "skipped: barcode-analyser is installed already, and is left as it is"
    exit 77
fi
source "$(dirname "$0")/xvfb.sh"
source "$(dirname "$0")/click_help.sh"
work=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L barcode-analyser)
id=example.barcode_analyser.BarcodeAnalyser
command=$(sed -n 's/^Exec=//p' /usr/share/applications/$id.desktop | sed 's/ %[fFuU]$//')   # started with no file
unset QT_QPA_PLATFORM
mkdir "$work/empty"
[ "$(click_help "$command" "$work/empty")" = help ] || fail "the menu entry's command did not find its help"
grep -qx '/usr/libexec/barcode-analyser/barcode-analyser-features\.so' <<<"$files" || fail "the module is not installed"
"$(dirname "$0")/deferred_features.sh" "$command" >"$work/deferred.log" 2>&1 ||
    fail "what the installed program loads on first use: $(cat "$work/deferred.log")"
[ "$(ean13 4820000000000)" = "$(printf '4820000000000\tok\t0\tУкраина')" ] || fail "ean13 4820000000000"
# A minimised machine (a container image) may keep dpkg from unpacking man pages at all.
if ! grep -rqs 'path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/; then
    man -w barcode-analyser >/dev/null && man -w ean13 >/dev/null || fail "man pages not found"
fi

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get purge -y -qq barcode-analyser >/dev/null
left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done <<<"$files" || true)
[ -z "$left" ] || fail "left behind: $left"
for dir in /usr/share/barcode-analyser /usr/share/doc/barcode-analyser /usr/libexec/barcode-analyser; do
    [ ! -e "$dir" ] || fail "left behind: $dir"
done
[ $fails -eq 0 ] || exit 1
echo "all passed"
