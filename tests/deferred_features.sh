#!/usr/bin/env bash
# The real window program on a real X server: a fresh start maps none of what it loads on first
# use (zxing-cpp, zbar, the toolkit's SVG and printing, image format plugins, its own module);
# then a picture pasted into the field is read, and Save writes the symbol, through that module;
# without the module, one message says so.
# usage: deferred_features.sh PROGRAM
set -u
program=$1
[[ $program == */* ]] || program=$(command -v "$program") || { echo "FAIL: no program $1"; exit 1; }
program=$(realpath "$program")
for tool in xdotool xclip zint zbarimg; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
source "$(dirname "$0")/xvfb.sh"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

unset QT_QPA_PLATFORM
work=$(mktemp -d)
# The save dialog remembers its folder in the settings: this run's, not the user's.
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
app= clip=
trap 'kill $app $clip 2>/dev/null; rm -rf "$work"; stop_xvfb' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
deferred='libZXing|libzbar|libQt6Svg|libQt6PrintSupport|libcups|/imageformats/|/iconengines/|barcode-analyser-features'

echo "Справка" >"$work/Tavik.txt"
(cd "$work" && exec "$program") &
app=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name '^Анализатор штрих-кодов\.$' | head -n 1)
[ -n "$main" ] || { echo "FAIL: the main window did not appear"; exit 1; }
grep -q libQt6Widgets "/proc/$app/maps" || fail "the maps of the program were not read"
mapped=$(grep -oE "[^ ]*($deferred)[^ ]*" "/proc/$app/maps" | sort -u)
[ -z "$mapped" ] || fail "mapped at start: $mapped"

# A code only a reader can find: pasted as a picture, with no text beside it.
zint -b EANX -d 400638133393 --scale=2 -o "$work/pasted.png" >/dev/null
xclip -selection clipboard -t image/png -i "$work/pasted.png" &
clip=$!
sleep 0.3
xdotool windowfocus --sync "$main"
xdotool key ctrl+v
sleep 0.5
xdotool mousemove --window "$main" 229 19 click 1          # the picture command
picture=$(xdotool search --sync --onlyvisible --name 'Изображение' | head -n 1)
xdotool windowfocus --sync "$picture"
xdotool key ctrl+s
dialog=$(xdotool search --sync --onlyvisible --name 'Сохранить штрих-код' | head -n 1)
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 10 "$work/saved.png"
xdotool key Return
for _ in $(seq 100); do [ -s "$work/saved.png" ] && break; sleep 0.1; done
read=$(zbarimg --quiet --raw "$work/saved.png" 2>/dev/null)
[ "$read" = 4006381333931 ] || fail "the saved symbol reads \"$read\", not the pasted code"
grep -q barcode-analyser-features "/proc/$app/maps" || fail "the module is not mapped after it was used"
grep -q libZXing "/proc/$app/maps" || fail "zxing-cpp is not mapped after a picture was read"

kill $app 2>/dev/null
wait $app 2>/dev/null

# The program without its module (a broken installation): a picture pasted, and Copy in the
# picture window, each get one message box, and the program goes on.
mkdir "$work/broken"
cp "$program" "$work/broken/"
(cd "$work" && exec "$work/broken/$(basename "$program")") &
app=$!
main=$(xdotool search --sync --onlyvisible --name '^Анализатор штрих-кодов\.$' | head -n 1)
xdotool windowfocus --sync "$main"
xdotool key ctrl+v
boxes() { xdotool search --onlyvisible --name '^Анализатор штрих-кодов$' 2>/dev/null; }
# One failure, one box: once it is dismissed, nothing more comes of the request (no "no code in
# the image" for the picture, no "not read back" for the copy).
one_box() {
    local box
    box=$(timeout 10 xdotool search --sync --onlyvisible --name '^Анализатор штрих-кодов$' | head -n 1)
    [ -n "$box" ] || { fail "no message box without the module ($1)"; return; }
    xdotool windowfocus --sync "$box"
    xdotool key Return
    sleep 1.5
    [ -z "$(boxes)" ] || fail "a second box after the module's ($1)"
}
one_box "a pasted picture"
xdotool windowfocus --sync "$main"
xdotool key ctrl+a
xdotool type --delay 10 4006381333931
xdotool key Return
xdotool mousemove --window "$main" 229 19 click 1          # the picture command
picture=$(timeout 10 xdotool search --sync --onlyvisible --name 'Изображение' | head -n 1)
xdotool windowfocus --sync "$picture"
xdotool key ctrl+c
one_box "Copy in the picture window"
kill -0 $app 2>/dev/null || fail "the program ended without its module"

[ $fails -eq 0 ] || exit 1
echo "all passed"
