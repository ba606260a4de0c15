#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the window program alone, and starts Barcode Analyser.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages_for build run
cmake --preset app >/dev/null
cmake --build --preset app --target barcode-analyser -j"$(nproc)"
# Installed into the build tree, the program finds its help as an installed one does.
cmake --install build/app --component window --prefix "$PWD/build/run" >/dev/null

# Without a display the program says so itself, names the ways on and ends with status 1.
exec build/run/bin/barcode-analyser
