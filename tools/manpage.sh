#!/usr/bin/env bash
# Writes a program's man page, gzipped, from the program's own --help and --version, so that the
# page never says other than the program does. Each SUBCOMMAND whose `PROGRAM SUBCOMMAND --help`
# answers with a text of its own gets that text in a section of its own.
# usage: manpage.sh OUT.1.gz PROGRAM VERSION "WHAT IT IS" INCLUDE.h2m [SUBCOMMAND...]
set -euo pipefail
export LC_ALL=C.UTF-8   # the include and the programs' texts are UTF-8
out=$1 program=$2 version=$3 what=$4 include=$5
shift 5
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# roff reads a leading dot or quote as a request, a backslash as an escape, and - as a hyphen.
verbatim() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

cp "$include" "$work/page.h2m"
top=$("$program" --help)
first=1
for sub in "$@"; do
    text=$("$program" "$sub" --help 2>/dev/null) || continue
    [ "$text" != "$top" ] || continue
    if [ $first = 1 ]; then printf '\n[SUBCOMMANDS]\n' >>"$work/page.h2m"; first=0; fi
    printf '.SS "%s %s"\n.nf\n' "$name" "$sub" >>"$work/page.h2m"
    printf '%s\n' "$text" | verbatim >>"$work/page.h2m"
    printf '.fi\n' >>"$work/page.h2m"
done

# A program that does not answer --version yet still gets the project's version.
version_option=(--version-string="$version")
"$program" --version >/dev/null 2>&1 && version_option=()
help2man --locale=C.UTF-8 --no-info --section=1 --name="$what" --include="$work/page.h2m" "${version_option[@]}" \
         --output="$work/page.1" "$program"
# Typography that a terminal in the C locale cannot show, spelled as roff spells it for every terminal.
sed -i -e 's/…/.../g' -e 's/—/\\(em/g' -e 's/–/\\(en/g' -e 's/[“”]/\\(dq/g' "$work/page.1"
gzip -9n <"$work/page.1" >"$out.tmp"
mv "$out.tmp" "$out"
