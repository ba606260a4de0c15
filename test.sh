#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test: the normal build, the whole suite
# again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, and a short run of
# each fuzzer (FUZZ_SECONDS each, 60 by default).
cd "$(dirname "$0")"
source tools/setup.sh
need_packages cmake ninja-build g++ qt6-base-dev qt6-svg-dev libqt6svg6 libzxing-dev libcli11-dev libcsv-dev \
              poppler-utils librsvg2-bin fonts-dejavu-core python3 python3-stdnum \
              python3-zxing-cpp python3-numpy xvfb xdotool x11-utils openbox libx11-dev clang libclang-rt-14-dev \
              help2man man-db desktop-file-utils appstream lintian dpkg-dev file \
              pkg-config libzbar-dev zbar-tools zint imagemagick

export QT_QPA_PLATFORM=offscreen
build_preset default
ctest --preset default
build_preset asan
ctest --preset asan
fuzz/run.sh "${FUZZ_SECONDS:-60}"
