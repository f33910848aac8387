#!/usr/bin/env bash
# The real program under Xvfb: its window appears with the title "Pomvane", carries
# _NET_WM_STATE_ABOVE, and Escape ends the process within a second with status 0.
#   smoke_test.sh POMVANE
# Needs xvfb, xauth, xdotool and x11-utils.
set -uo pipefail

if [ "${1:-}" != --under-xvfb ]; then
    [ $# -eq 1 ] || { echo "usage: $0 POMVANE" >&2; exit 2; }
    for tool in xvfb-run xdotool xprop; do
        command -v "$tool" >/dev/null || { echo "smoke_test: $tool is missing" >&2; exit 2; }
    done
    exec xvfb-run -a -s "-screen 0 640x480x24 -noreset" "$0" --under-xvfb "$1"
fi

pomvane=$2
fail() { echo "smoke_test: $*" >&2; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }

# Only the X11 back end can show a window here; a desktop's settings must not leak in.
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE
export XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

"$pomvane" &
pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Pomvane$' | head -n 1)
[ -n "$window" ] || fail "no window named Pomvane appeared"

state=$(xprop -id "$window" _NET_WM_STATE)
[[ $state == *_NET_WM_STATE_ABOVE* ]] || fail "the window is not kept above others: $state"

# Sent to the window itself: without a window manager nothing gives it the focus. The key's
# release may find the window already gone; that is no failure.
xdotool key --window "$window" Escape 2>/dev/null

for _ in $(seq 10); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running a second after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Escape, expected 0"
echo "smoke_test: window shown on top, closed by Escape"
