# Sourced by run.sh, test.sh, tools/package.sh and bench/run.sh: installs what a fresh Debian 12 machine lacks, then configures
# and builds. A second run finds everything in place and only rebuilds what changed.
set -euo pipefail

need_packages() {
    local missing=() installed
    # One dpkg-query for all of them; it fails when any is unknown to dpkg, and says nothing of those.
    installed=" $(dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null |
                  awk '$2 == "install" && $3 == "ok" && $4 == "installed" { printf "%s ", $1 }') " || true
    for p in "$@"; do
        [[ $installed == *" $p "* ]] || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

# The packages of each PURPOSE named, from tools/debian-packages, one a line. An unknown purpose is
# an error, so that a misspelt one cannot install nothing and let a later step fail for want of it.
packages_for() {
    local list
    list="$(dirname "${BASH_SOURCE[0]}")/debian-packages"
    awk -v wanted=" $* " '
        BEGIN { n = split(wanted, w, " "); for (i = 1; i <= n; i++) unknown[w[i]] = 1 }
        { sub(/#.*/, "") }
        /^\[/ { purpose = $1; gsub(/[][]/, "", purpose); delete unknown[purpose]; next }
        NF && index(wanted, " " purpose " ") { for (i = 1; i <= NF; i++) print $i }
        END { for (p in unknown) { print "tools/debian-packages has no [" p "]" > "/dev/stderr"; bad = 1 }
              exit bad }' "$list" | sort -u
}

# Installs the packages of each PURPOSE named (build, run, test, package, bench) that are missing.
need_packages_for() {
    local packages
    packages=$(packages_for "$@")
    # shellcheck disable=SC2086 # one package name a word
    need_packages $packages
}

build_preset() {
    local preset=$1
    cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j"$(nproc)"
}
