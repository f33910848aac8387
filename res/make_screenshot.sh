#!/usr/bin/env bash
# Pictures the window after counting a few files, for the README and the AppStream metadata.
# Runs the real program under Xvfb and drops files on it by X drag and drop, as a file
# manager would; builds nothing.
#   res/make_screenshot.sh POMVANE HELPER [OUTPUT.png]
# POMVANE is the program, HELPER the pomvane-screenshot-helper built beside it, for instance
#   res/make_screenshot.sh build/ui/pomvane build/tests/pomvane-screenshot-helper
# A Windows build (pomvane.exe) runs under wine, for instance
#   res/make_screenshot.sh build-win/pomvane.exe build/tests/pomvane-screenshot-helper res/screenshots/pomvane-windows.png
# OUTPUT defaults to res/screenshots/pomvane.png. Needs xvfb, xauth and xdotool, and wine for a .exe.
set -euo pipefail

if [ "${1:-}" != --under-xvfb ]; then
    if [ $# -lt 2 ] || [ $# -gt 3 ]; then
        echo "usage: $0 POMVANE HELPER [OUTPUT.png]" >&2
        exit 2
    fi
    for tool in xvfb-run xdotool; do
        command -v "$tool" >/dev/null || { echo "make_screenshot: $tool is missing" >&2; exit 2; }
    done
    for program in "$1" "$2"; do
        [ -x "$program" ] || { echo "make_screenshot: $program is not an executable" >&2; exit 2; }
    done
    output=${3:-$(dirname "$0")/screenshots/pomvane.png}
    mkdir -p "$(dirname "$output")"
    # Absolute paths: the inner run works in a scratch directory.
    abs() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
    exec xvfb-run -a -s "-screen 0 640x480x24 -noreset" \
        "$0" --under-xvfb "$(abs "$1")" "$(abs "$2")" "$(abs "$output")"
fi

pomvane=$2
helper=$3
output=$4
scratch=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -d "$scratch/prefix" ]; then WINEPREFIX=$scratch/prefix wineserver -k 2>/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
die() { echo "make_screenshot: $*" >&2; exit 1; }

# Under Xvfb only the X11 back end can show a window; a desktop's settings must not leak in.
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A few small files of the kinds people count; the last line of main.c has no line feed.
mkdir "$scratch/files"
cd "$scratch/files"
printf 'Shopping\n\nbread\nmilk\napples\n' >notes.txt
{
    echo "day,visitors"
    for day in $(seq 1 30); do echo "2026-11-$day,$((day * 37 % 101))"; done
} >visits.csv
printf '#include <stdio.h>\n\nint main(void)\n{\n    puts("hello");\n    return 0;\n}' >main.c
printf '# Pomvane\n\nCounts characters and lines.\n' >README.md

# The visible window of a process, once it has one.
window_of() {
    timeout 30 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1
}

run=("$pomvane")
if [[ $pomvane == *.exe ]]; then
    # In a wine prefix of its own; names in UTF-8 between X, wine and the files.
    export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
    wineboot -i >/dev/null 2>&1 || die "could not create a wine prefix"
    run=(wine "$pomvane")
fi
"${run[@]}" &
pids+=($!)
window=$(window_of "${pids[0]}") || true
[ -n "$window" ] || die "$pomvane showed no window"

"$helper" drag notes.txt visits.csv main.c README.md >"$scratch/drag.out" &
source_pid=$!
pids+=("$source_pid")
source=$(window_of "$source_pid") || true
[ -n "$source" ] || die "the drag source showed no window"
# A Win32 edit control keeps its caret blinking while it has the focus, so the window would
# never look still: a click on Reset, which has nothing to reset yet, takes the focus.
if [[ $pomvane == *.exe ]]; then
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + WIDTH * 32 / 148)) $((Y + HEIGHT * 80 / 94)) click 1
fi

"$helper" grab "$window" "$scratch/before.png" || die "could not picture the window"

# Press on the source, travel to the middle of the window in small steps so that the
# drag-and-drop handshake keeps up with the pointer, and let go there.
eval "$(xdotool getwindowgeometry --shell "$source")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 mousedown 1 sleep 0.2
from_x=$((X + WIDTH / 2)) from_y=$((Y + HEIGHT / 2))
eval "$(xdotool getwindowgeometry --shell "$window")"
to_x=$((X + WIDTH / 2)) to_y=$((Y + HEIGHT / 2))
for step in $(seq 1 10); do
    xdotool mousemove $((from_x + (to_x - from_x) * step / 10)) $((from_y + (to_y - from_y) * step / 10)) sleep 0.1
done
xdotool sleep 0.3 mouseup 1
# The source tells how the drop went, then serves the paths to the window.
for _ in $(seq 300); do
    [ -s "$scratch/drag.out" ] && break
    sleep 0.1
done
result=$(cat "$scratch/drag.out")
[ "$result" = dropped ] || die "the window did not take the dropped files (${result:-no answer})"

"$helper" grab "$window" "$output" || die "could not picture the window"
cmp -s "$scratch/before.png" "$output" && die "the window did not change after the drop"
echo "make_screenshot: wrote $output"
