#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and starts Barcode Analyser.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages cmake ninja-build g++ qt6-base-dev libcli11-dev libcsv-dev
build_preset default

# Without a display the program says so itself, names the ways on and ends with status 1.
exec build/default/barcode-analyser
