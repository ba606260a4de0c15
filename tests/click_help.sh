# Sourced by the tests that start the real program on a real X server (tests/xvfb.sh first).
# click_help PROGRAM DIR [ICON-FILE]: starts PROGRAM in DIR, clicks its help button and prints what
# came up: "help" (the help window), "box" (a message box) or "nothing". The main window's icon
# property goes to ICON-FILE when one is named.
click_help() {
    local program=$1 dir=$2 icon=${3:-/dev/null} app main seen=nothing
    (cd "$dir" && exec "$program") &
    app=$!
    main=$(xdotool search --sync --onlyvisible --name '^Анализатор штрих-кодов\.$' | head -n 1)
    xprop -id "$main" _NET_WM_ICON >"$icon" 2>&1 || true
    xdotool windowfocus --sync "$main"
    xdotool mousemove --window "$main" 133 164 click 1
    for _ in $(seq 50); do
        if xdotool search --onlyvisible --name '^Помощь$' >/dev/null 2>&1; then seen=help; break; fi
        if xdotool search --onlyvisible --name '^Анализатор штрих-кодов$' >/dev/null 2>&1; then seen=box; break; fi
        sleep 0.1
    done
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null || true
    echo $seen
}
