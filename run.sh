#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and starts Barcode Analyser.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages cmake ninja-build g++ qt6-base-dev qt6-svg-dev libqt6svg6 libzxing-dev libcli11-dev libcsv-dev help2man \
              fonts-dejavu-core
build_preset default
# Installed into the build tree, the program finds its help as an installed one does.
cmake --install build/default --prefix "$PWD/build/run" >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to show the window on: run it on a desktop (or set DISPLAY), use Qt's VNC" \
         "platform (QT_QPA_PLATFORM=vnc ./run.sh, then connect a VNC viewer to port 5900)," \
         "or check codes in a terminal: build/default/ean13 4820000000000"
    exit 1
fi
exec build/run/bin/barcode-analyser
