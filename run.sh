#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the window program alone, and starts Barcode Analyser.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages cmake ninja-build g++ qt6-base-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins zlib1g-dev libzxing-dev libcli11-dev libcsv-dev help2man \
              fonts-dejavu-core \
              pkg-config libzbar-dev
cmake --preset app >/dev/null
cmake --build --preset app --target barcode-analyser -j"$(nproc)"
# Installed into the build tree, the program finds its help as an installed one does.
cmake --install build/app --component window --prefix "$PWD/build/run" >/dev/null

# Without a display the program says so itself, names the ways on and ends with status 1.
exec build/run/bin/barcode-analyser
