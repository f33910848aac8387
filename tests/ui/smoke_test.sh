#!/usr/bin/env bash
# The real program under Xvfb: its window appears with the title "Pomvane", carries
# _NET_WM_STATE_ABOVE, and Escape ends the process within a second with status 0.
#   smoke_test.sh POMVANE
# Needs xvfb, xauth, xdotool and x11-utils.
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=smoke_test usage=POMVANE tools=(xdotool xprop)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 1 1 "$@"
pomvane=${args[0]}

"$pomvane" &
pid=$!
pids+=("$pid")

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
