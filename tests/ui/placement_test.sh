#!/usr/bin/env bash
# The window comes back where it was put, under a window manager (mutter on Xvfb), once for
# each arrangement of screens: moved on an 800x600 screen and closed; started on a smaller
# screen, where that place is partly off it, wholly on the screen (without a window manager,
# which would see to that itself); started on 800x600 again, back at the place it had there.
#   placement_test.sh POMVANE
# Needs xvfb, xauth, mutter, dbus (dbus-run-session), xdotool and x11-utils. When one is
# missing the test fails under CI (CI set) and is skipped elsewhere.
set -uo pipefail

fail() { echo "placement_test: $*" >&2; exit 1; }

if [ "${1:-}" = --session ]; then
    # One start and close of the window under a window manager; prints where the window was
    # (client area: X Y WIDTH HEIGHT, frame: LEFT RIGHT TOP BOTTOM) when it was closed.
    pomvane=$2 action=$3
    pids=()
    trap 'kill "${pids[@]}" 2>/dev/null' EXIT
    if [ "$action" != without-wm ]; then
        mutter --x11 --replace --sm-disable >"$scratch/mutter.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 300); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.1
        done
    fi
    "$pomvane" &
    pids+=($!)
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pomvane$' 2>/dev/null | head -n 1)
    [ -n "$window" ] || fail "no window named Pomvane appeared"
    # Where the window is once the window manager has framed and placed it and it stays put.
    settled() {
        local previous='' now
        for _ in $(seq 100); do
            now=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ,)
            [ "$action" = without-wm ] && now="0 0 0 0"
            [ -n "$now" ] && now="$(xwininfo -id "$window" | sed -n -e 's/^ *Absolute upper-left [XY]: *//p' -e 's/^ *Width: *//p' -e 's/^ *Height: *//p' | tr '\n' ' ')$now"
            [ -n "$now" ] && [ "$now" = "$previous" ] && { echo "$now"; return; }
            previous=$now
            sleep 0.2
        done
        fail "the window did not settle: $previous"
    }
    place=$(settled)
    if [ "$action" = move ]; then
        # As a person moves it: drags its title bar.
        read -r x y _ _ _ _ top _ <<<"$place"
        xdotool mousemove $((x + 40)) $((y - top / 2)) sleep 0.2 mousedown 1 sleep 0.2
        for step in $(seq 1 10); do
            xdotool mousemove $((x + 40 + ($4 - x) * step / 10)) $((y - top / 2 + ($5 - y) * step / 10)) sleep 0.05
        done
        xdotool sleep 0.2 mouseup 1
        place=$(settled)
    fi
    xdotool windowactivate --sync "$window" 2>/dev/null
    xdotool key --window "$window" Escape 2>/dev/null
    wait "${pids[-1]}" || fail "pomvane ended with status $?"
    echo "$place"
    exit 0
fi

[ $# -eq 1 ] || { echo "usage: $0 POMVANE" >&2; exit 2; }
for tool in xvfb-run mutter dbus-run-session xdotool xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "placement_test: $tool is missing (./dev.sh test installs it)" >&2
        [ -n "${CI:-}" ] && exit 1
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export scratch XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE
mkdir -m 700 "$XDG_RUNTIME_DIR"

session() { # session WIDTHxHEIGHT ACTION...
    local screen=$1
    shift
    xvfb-run -a -s "-screen 0 ${screen}x24 -noreset" dbus-run-session -- "$0" --session "$(realpath "$pomvane")" "$@" \
        2> >(grep -v -e 'DBus.Error' -e '^Xlib:' >&2)
}
pomvane=$1

read -r x y width height left right top bottom < <(session 800x600 move 440 360) || fail "the first start failed"
[ -n "${bottom:-}" ] || fail "the first start told no place"
[ "$x" -ge 430 ] && [ "$y" -ge 350 ] || fail "the window was not moved to 440,360: at $x,$y"
moved="$x $y"
[ -f "$XDG_CONFIG_HOME/Pomvane/Pomvane.conf" ] || fail "no settings in $XDG_CONFIG_HOME/Pomvane/Pomvane.conf"

read -r x y width height left right top bottom < <(session 640x480 without-wm) || fail "the start on a smaller screen failed"
[ -n "${bottom:-}" ] || fail "the start on a smaller screen told no place"
[ $((x - left)) -ge 0 ] && [ $((y - top)) -ge 0 ] && [ $((x + width + right)) -le 640 ] \
    && [ $((y + height + bottom)) -le 480 ] \
    || fail "on a 640x480 screen the window is not wholly on it: ${width}x$height at $x,$y, frame $left $right $top $bottom"

read -r x y _ < <(session 800x600 stay) || fail "the third start failed"
[ "$x $y" = "$moved" ] || fail "on 800x600 again the window is at $x,$y, not back at $moved"
echo "placement_test: the window came back where it was put, and onto a smaller screen"
