#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test: the normal build, then the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
cd "$(dirname "$0")"
source tools/setup.sh
need_packages cmake ninja-build g++ qt6-base-dev python3 python3-stdnum python3-zxing-cpp python3-numpy \
              xvfb xdotool libx11-dev

export QT_QPA_PLATFORM=offscreen
build_preset default
ctest --preset default
build_preset asan
ctest --preset asan
