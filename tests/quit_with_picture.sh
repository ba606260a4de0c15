#!/usr/bin/env bash
# The real program on a real X server: type a code, open the picture and the help, close the main
# window by its close box, and the process must end with exit code 0 while both are still shown.
# usage: quit_with_picture.sh PROGRAM XCLOSE [SCREENSHOT-DIR]
set -u
program=$1 xclose=$2 shots=${3:-}
command -v xdotool >/dev/null || { echo "skipped: xdotool is not installed"; exit 77; }
source "$(dirname "$0")/xvfb.sh"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

unset QT_QPA_PLATFORM
work=$(mktemp -d)
app=
trap 'kill $app 2>/dev/null; rm -rf "$work"; stop_xvfb' EXIT
echo "Справка" > "$work/Tavik.txt"
(cd "$work" && exec "$program") &
app=$!
main=$(xdotool search --sync --onlyvisible --name 'Анализатор штрих-кодов' | head -n 1)
xdotool windowfocus --sync "$main"
xdotool type --delay 20 4820000000000
xdotool key Return
sleep 0.3
xdotool mousemove --window "$main" 229 19 click 1          # the picture command
picture=$(xdotool search --sync --onlyvisible --name 'Изображение' | head -n 1)
xdotool mousemove --window "$main" 133 164 click 1          # the help command
xdotool search --sync --onlyvisible --name 'Помощь' >/dev/null
if [ -n "$shots" ] && command -v import >/dev/null; then
    sleep 0.3
    import -window "$main" "$shots/main.png"
    import -window "$picture" "$shots/picture.png"
fi
"$xclose" "$main"

for _ in $(seq 100); do
    kill -0 $app 2>/dev/null || break
    sleep 0.1
done
if kill -0 $app 2>/dev/null; then
    echo "FAIL: the program still runs after its main window was closed"
    exit 1
fi
wait $app
code=$?
app=
[ $code -eq 0 ] || { echo "FAIL: exit code $code"; exit 1; }
echo "1 passed, 0 failed"
