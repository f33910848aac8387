#!/usr/bin/env bash
# Pictures the window after counting a few files, for the README and the AppStream metadata.
# Runs the real program under Xvfb and drops files on it by X drag and drop, as a file
# manager would; builds nothing.
#   res/make_screenshot.sh POMVANE HELPER [OUTPUT.png [FAILED.png]]
# POMVANE is the program, HELPER the pomvane-screenshot-helper built beside it, for instance
#   res/make_screenshot.sh build/ui/pomvane build/tests/pomvane-screenshot-helper
# A Windows build (pomvane.exe) runs under wine, for instance
#   res/make_screenshot.sh build-win/pomvane.exe build/tests/pomvane-screenshot-helper res/screenshots/pomvane-windows.png
# OUTPUT defaults to res/screenshots/pomvane.png; the window as it starts, with its hint, goes
# beside it as OUTPUT-start.png. With FAILED, a folder and a missing file are dropped too and
# the Failed Files window is pictured there. SHOT_LANGUAGE (de) and SHOT_SCALE (2) picture the
# window in that language and at that scale, for instance
#   XVFB_SCREEN=1280x960 SHOT_LANGUAGE=de SHOT_SCALE=2 res/make_screenshot.sh build/ui/pomvane \
#       build/tests/pomvane-screenshot-helper /tmp/pomvane.png res/screenshots/pomvane-failed-de-2x.png
# Needs xvfb, xauth and xdotool, and wine for a .exe.
set -euo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=make_screenshot usage="POMVANE HELPER [OUTPUT.png]" tools=(xdotool)
# shellcheck source=../tests/xvfb_helper.sh
. "$(dirname "$0")/../tests/xvfb_helper.sh"
under_xvfb 2 4 "$@"
pomvane=${args[0]}
helper=${args[1]}
for program in "$pomvane" "$helper"; do
    [ -x "$program" ] || { echo "make_screenshot: $program is not an executable" >&2; exit 2; }
done
output=${args[2]:-$(realpath -m "$(dirname "$0")/screenshots/pomvane.png")}
mkdir -p "$(dirname "$output")"

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

# The Xvfb session starts everything in English at scale 1; the window alone is told otherwise.
run=(env LANGUAGE="${SHOT_LANGUAGE:-en}" ${SHOT_SCALE:+QT_SCALE_FACTOR=$SHOT_SCALE} "$pomvane")
if [[ $pomvane == *.exe ]]; then
    wine_prefix
    run=(wine "$pomvane")
fi
"${run[@]}" &
pids+=($!)
window=$(window_of "${pids[0]}") || true
[ -n "$window" ] || fail "$pomvane showed no window"

"$helper" drag notes.txt visits.csv main.c README.md >"$scratch/drag.out" &
source_pid=$!
pids+=("$source_pid")
source=$(window_of "$source_pid") || true
[ -n "$source" ] || fail "the drag source showed no window"
# A Win32 edit control keeps its caret blinking while it has the focus, so the window would
# never look still: a click on Reset, which has nothing to reset yet, takes the focus.
if [[ $pomvane == *.exe ]]; then
    click_item "$window" 7 73 50 14 # Reset
fi

"$helper" grab "$window" "$scratch/before.png" || fail "could not picture the window"

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
[ "$result" = dropped ] || fail "the window did not take the dropped files (${result:-no answer})"

"$helper" grab "$window" "$output" || fail "could not picture the window"
cmp -s "$scratch/before.png" "$output" && fail "the window did not change after the drop"
cp "$scratch/before.png" "${output%.png}-start.png"
echo "make_screenshot: wrote $output and ${output%.png}-start.png"

failed=${args[3]:-}
[ -n "$failed" ] || exit 0
mkdir "$scratch/files/old drafts"
"$helper" drag "old drafts" "$scratch/files/removed since.txt" >"$scratch/drag2.out" &
pids+=($!)
source=$(window_of "$!") || true
[ -n "$source" ] || fail "the second drag source showed no window"
eval "$(xdotool getwindowgeometry --shell "$source")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 mousedown 1 sleep 0.2
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.3 mouseup 1
sleep 2
click_item "$window" 66 8 100 12 --repeat 2 # the files field
list=$(timeout 30 xdotool search --sync --onlyvisible --pid "${pids[0]}" 2>/dev/null | grep -v "^$window\$" | head -n 1) || true
[ -n "$list" ] || fail "the failed files window did not open"
sleep 1
"$helper" grab "$list" "$failed" || fail "could not picture the failed files window"
echo "make_screenshot: wrote $failed"
