# Sourced by the tests that need a real X server: starts a private Xvfb on a display it picks
# itself, exports DISPLAY, and stops it when the sourcing script exits. Exits 77 (skipped) when
# Xvfb is not installed. XVFB_SCREEN sets another screen (1280x800x24, for a screenshot).
command -v Xvfb >/dev/null || { echo "skipped: Xvfb is not installed"; exit 77; }
xvfb_fifo=$(mktemp -u)
mkfifo "$xvfb_fifo"
Xvfb -displayfd 3 -screen 0 ${XVFB_SCREEN:-1024x768x24} -nolisten tcp 3>"$xvfb_fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 xvfb_display <"$xvfb_fifo" || { echo "Xvfb did not start"; exit 1; }
rm -f "$xvfb_fifo"
export DISPLAY=:$xvfb_display
stop_xvfb() { kill "$xvfb_pid" 2>/dev/null; }
trap stop_xvfb EXIT
