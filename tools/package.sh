#!/usr/bin/env bash
# Builds Barcode Analyser's Debian package on a Debian 12 machine: installs what is missing, builds
# the package preset and packs it into build/barcode-analyser_<version>_<arch>.deb.
cd "$(dirname "$0")/.."
source tools/setup.sh
need_packages_for build run package
build_preset package
cpack --preset package >/dev/null
echo "Built: $(ls build/barcode-analyser_*.deb)"
