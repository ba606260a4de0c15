#!/usr/bin/env bash
# The real program on a real X server, started as a file manager's "Open with" starts it: each file
# named on the command line opens in a list window of its own, beside the main window, and Enter on
# a row of it analyses that code in the main window. With a folder for screenshots, the list
# window is photographed there (the manual's picture).
# usage: lists_from_command_line.sh PROGRAM [SCREENSHOT-DIR]
set -euo pipefail
program=$1 shots=${2:-}
command -v xdotool >/dev/null || { echo "skipped: xdotool is not installed"; exit 77; }
source "$(dirname "$0")/xvfb.sh"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

unset QT_QPA_PLATFORM
work=$(mktemp -d)
app=
trap 'kill $app 2>/dev/null; rm -rf "$work"; stop_xvfb' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

printf 'N;Товар;Штрихкод;Цена\r\n1;Хлеб;4820000000000;25,50\r\n2;Молоко 3,2%%;4820000000001;60\r\n3;Сыр;036000291452;100\r\n4;Соль;48200000000A0;12\r\n5;Чай;12345;80\r\n6;Вода;4600000000008;30\r\n7;Сок;5901234123457;95\r\n8;Рис;4006381333931;70\r\n9;Кофе;4820000000002;310\r\n' >"$work/товары.csv"
printf '4820000000000\n4600000000008\n' >"$work/codes list.txt"
(cd "$work" && exec "$program" "$work/товары.csv" "codes list.txt") &
app=$!

wait_for() { timeout 20 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
main=$(wait_for 'Анализатор штрих-кодов')
list=$(wait_for 'Проверка списка: товары\.csv')
second=$(wait_for 'Проверка списка: codes list\.txt')
[ -n "$main" ] || fail "no main window"
[ -n "$list" ] || fail "no list window for товары.csv"
[ -n "$second" ] || fail "no list window for 'codes list.txt', named relative to the working directory"

if [ -n "$list" ] && [ -n "$main" ]; then
    xdotool windowraise "$list"
    xdotool windowfocus --sync "$list"
    sleep 0.5
    if [ -n "$shots" ] && command -v import >/dev/null; then
        xdotool key ctrl+Home Down   # the row with the wrong check digit, selected
        sleep 0.3
        eval "$(xdotool getwindowgeometry --shell "$list")"
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shots/list-window.png"
    fi
    xdotool key ctrl+Home Down Return   # the second row: its code to the main window
    sleep 0.5
    [ "$(xdotool getwindowfocus)" = "$main" ] || fail "Enter on a row did not give the main window the focus"
    xdotool windowmove --sync "$list" 0 400   # no longer over the main window's buttons
    xdotool windowmove --sync "$second" 0 420
    # The main window's field now holds the code; its picture command is enabled (a click shows it).
    xdotool mousemove --window "$main" 229 19 click 1
    timeout 10 xdotool search --sync --onlyvisible --name 'Изображение' >/dev/null ||
        fail "Enter on a row did not analyse its code in the main window (no picture offered)"
fi
[ $fails -eq 0 ] || exit 1
echo "all passed"
