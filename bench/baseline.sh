#!/usr/bin/env bash
# Builds the start-up probe of an older commit (default b026068, the last before printing, SVG,
# the reading engines and the window icon came in) into build/bench/baseline, with the same
# compiler and flags as the bench preset, so that startup.py can run the two side by side.
# Prints the path of the old probe. The old tree is taken from git itself (git archive), so
# nothing outside this repository is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
commit=${1:-b026068}
root=build/bench/baseline
stamp=$root/commit
if [ "$(cat "$stamp" 2>/dev/null)" != "$(git rev-parse "$commit")" ]; then
    rm -rf "$root"
    mkdir -p "$root/src"
    git archive "$commit" | tar -x -C "$root/src"
fi
cmake -S "$root/src" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=ON >/dev/null
cmake --build "$root/build" --target startup_probe -j"$(nproc)" >/dev/null
git rev-parse "$commit" >"$stamp"
echo "$root/build/bench/startup_probe"
