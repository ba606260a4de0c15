#!/usr/bin/env bash
# The real program started where it has no display: without DISPLAY, and with a DISPLAY that no X
# server answers. It must say so in one line that names the ways on, and end with status 1 (not
# the toolkit's abort). And what the project advises for a machine without a display must not
# open the program to the network: Qt's VNC platform (6.4) listens on every interface, with no
# password and no option to bind it to the local machine.
# usage: no_display.sh PROGRAM SOURCE-DIR
set -u
program=$1 source_dir=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

expect_refusal() {
    local what=$1
    shift
    local out code
    out=$(timeout 20 env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$program" 2>&1 </dev/null)
    code=$?
    [ "$code" -eq 1 ] || fail "$what: exit status $code, not 1"
    [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "$what: not one line: $out"
    case $out in
        *"Нет экрана"*DISPLAY*ean13*) ;;
        *) fail "$what: does not say that there is no display and name the ways on: $out" ;;
    esac
    case $out in *[Vv][Nn][Cc]*) fail "$what: advises VNC: $out" ;; esac
}

expect_refusal "without DISPLAY" -u DISPLAY
free=
for n in $(seq 150 250); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then free=$n; break; fi
done
[ -n "$free" ] && expect_refusal "DISPLAY=:$free, where no server answers" DISPLAY=":$free"

if grep -n 'QT_QPA_PLATFORM=vnc' "$source_dir/README.md" "$source_dir/docs/manual.md" "$source_dir/run.sh"; then
    fail "README.md, docs/manual.md or run.sh advises Qt's VNC platform, which any machine on the network can connect to"
fi

[ $failed -eq 0 ] || exit 1
echo "1 passed, 0 failed"
