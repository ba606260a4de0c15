#!/usr/bin/env bash
# The shared list of Debian packages as the set-up scripts read it: every purpose a script names
# is in tools/debian-packages and gives package names, a misspelt purpose is refused, and no
# script keeps a list of its own beside it.
# usage: debian_packages.sh SOURCE-DIR
set -uo pipefail
cd "$1" || exit 1
source tools/setup.sh
set +e
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for script in run.sh test.sh tools/package.sh bench/run.sh; do
    purposes=$(sed -n 's/^need_packages_for //p' "$script")
    [ -n "$purposes" ] || { fail "$script installs no packages from tools/debian-packages"; continue; }
    grep -qE '^[[:space:]]*need_packages ' "$script" && fail "$script keeps a package list of its own"
    # shellcheck disable=SC2086 # purposes are words
    names=$(packages_for $purposes) || { fail "$script names a purpose the list lacks: $purposes"; continue; }
    [ -n "$names" ] || fail "$script: no packages for $purposes"
    bad=$(grep -vE '^[a-z0-9][a-z0-9+.-]+$' <<<"$names") && fail "$script: not package names: $bad"
done
# Every purpose has the set-up's basics: what builds and what runs.
for p in cmake qt6-base-dev fonts-dejavu-core help2man; do
    packages_for build run | grep -qx "$p" || fail "build and run lack $p"
done
packages_for tests >/dev/null 2>&1 && fail "an unknown purpose gave packages instead of an error"

[ $failed -eq 0 ] || exit 1
echo "1 passed, 0 failed"
