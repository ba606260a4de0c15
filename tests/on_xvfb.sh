#!/usr/bin/env bash
# Runs a GUI test binary on a real X server (Xvfb, no window manager) instead of offscreen:
# there, activation and focus arrive as X events, a little after the call that asked for them.
# usage: on_xvfb.sh TEST-BINARY [ARGS...]
set -u
source "$(dirname "$0")/xvfb.sh"
export QT_QPA_PLATFORM=xcb
"$@"
