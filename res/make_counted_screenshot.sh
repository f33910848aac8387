#!/usr/bin/env bash
# Pictures the Counted Files list, sorted by lines, after counting a few files given on the
# command line. Runs the real program under Xvfb; builds nothing.
#   res/make_counted_screenshot.sh POMVANE HELPER OUTPUT.png [SCALE]
# POMVANE is the program (a pomvane.exe runs under wine), HELPER the
# pomvane-screenshot-helper of a Linux build, SCALE the Qt window's QT_SCALE_FACTOR, for instance
#   res/make_counted_screenshot.sh build/ui/pomvane build/tests/pomvane-screenshot-helper \
#       res/screenshots/counted-files-2x.png 2
# Needs xvfb, xauth and xdotool, and wine for a .exe.
set -euo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=make_counted_screenshot usage="POMVANE HELPER OUTPUT.png [SCALE]" tools=(xdotool) XVFB_SCREEN=${XVFB_SCREEN:-1600x1200}
# shellcheck source=../tests/xvfb_helper.sh
. "$(dirname "$0")/../tests/xvfb_helper.sh"
under_xvfb 3 4 "$@"
pomvane=${args[0]}
helper=${args[1]}
output=${args[2]}
scale=$(basename "${args[3]:-1}") # made a path by under_xvfb
mkdir -p "$(dirname "$output")"

mkdir "$scratch/files"
cd "$scratch/files"
printf 'Shopping\n\nbread\nmilk\napples\n' >notes.txt
for day in $(seq 1 30); do echo "2026-11-$day,$((day * 37 % 101))"; done >visits.csv
printf '#include <stdio.h>\n\nint main(void)\n{\n    puts("hello");\n    return 0;\n}' >main.c
printf '# Pomvane\n\nCounts characters and lines.\n' >README.md
seq 1 120 >numbers.txt
printf 'Grüße, "quoted", and commas\n' >'letter, draft.txt'

window_of() { timeout 30 xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -n 1; }
window_named() { timeout 30 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

run=("$pomvane")
if [[ $pomvane == *.exe ]]; then
    wine_prefix
    run=(wine "$pomvane")
else
    export QT_SCALE_FACTOR=$scale
fi
"${run[@]}" notes.txt visits.csv main.c README.md numbers.txt 'letter, draft.txt' &
pids+=($!)
window=$(window_named Pomvane) || true
[ -n "$window" ] || fail "$pomvane showed no window"
sleep 1
click_item "$window" 66 34 100 12 --repeat 2 --delay 80 # the lines field
list=$(window_named "Counted Files") || true
[ -n "$list" ] || fail "a double-click on the lines field did not open Counted Files"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$list")"
# The Lines header: the last column, just below the filter.
if [[ $pomvane == *.exe ]]; then
    # Dialog units of the 320 x 200 template: the header of the column at 247 to 307.
    xdotool mousemove $((X + WIDTH * 277 / 320)) $((Y + HEIGHT * 29 / 200)) click 1
    # The filter's caret would keep blinking: a click below the rows gives the list the focus.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 160 / 200)) click 1
else
    xdotool mousemove $((X + WIDTH - 40 * scale)) $((Y + 52 * scale)) click 1
fi
xdotool mousemove $((X + WIDTH + 20)) $((Y + HEIGHT + 20)) # the pointer out of the picture
sleep 0.5
"$helper" grab "$list" "$output" || fail "could not picture the list"
echo "make_counted_screenshot: wrote $output"
