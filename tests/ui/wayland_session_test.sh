#!/usr/bin/env bash
# The real program on a Wayland session with XWayland, as GNOME runs one: GNOME's compositor
# (mutter) headless. Started as a desktop starts it (DISPLAY and WAYLAND_DISPLAY set, no
# QT_QPA_PLATFORM), the window goes through XWayland and stays above another X11 window that
# takes the focus, and its class is the one its menu entry names. QT_QPA_PLATFORM=wayland, or
# no DISPLAY, opens it natively; the former, and only it, says once how to keep it on top.
#   wayland_session_test.sh POMVANE
# Needs mutter, xwayland, dbus (dbus-run-session), qt6-wayland, xdotool, x11-utils. When one is
# missing the test fails under CI (CI set) and is skipped elsewhere.
set -uo pipefail

if [ "${1:-}" != --in-session ]; then
    [ $# -eq 1 ] || { echo "usage: $0 POMVANE" >&2; exit 2; }
    for tool in mutter Xwayland dbus-run-session xdotool xprop xmessage; do
        if ! command -v "$tool" >/dev/null; then
            echo "wayland_session_test: $tool is missing (./dev.sh test installs it)" >&2
            [ -n "${CI:-}" ] && exit 1
            exit 77
        fi
    done
    # mutter wants a session bus of its own.
    exec dbus-run-session -- "$0" --in-session "$(realpath "$1")"
fi

pomvane=$2
scratch=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "wayland_session_test: $*" >&2
    [ -s "$scratch/mutter.log" ] && sed 's/^/    mutter: /' "$scratch/mutter.log" >&2
    exit 1
}

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE
export XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config
mkdir -m 700 "$XDG_RUNTIME_DIR"

# mutter picks a free X display for XWayland and says which in its log.
mutter --headless --wayland --virtual-monitor 800x600 --wayland-display=pomvane-test \
    >"$scratch/mutter.log" 2>&1 &
pids+=($!)
display=
for _ in $(seq 300); do
    display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$scratch/mutter.log")
    [ -n "$display" ] && [ -S "$XDG_RUNTIME_DIR/pomvane-test" ] && break
    kill -0 "${pids[0]}" 2>/dev/null || fail "mutter ended"
    sleep 0.1
done
[ -n "$display" ] || fail "mutter started no XWayland"
export WAYLAND_DISPLAY=pomvane-test DISPLAY=$display
authority=("$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*)
export XAUTHORITY=${authority[0]}

# The window of a program, by name, once XWayland shows it.
x_window() {
    timeout 30 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# As a desktop starts it.
"$pomvane" &
pids+=($!)
window=$(x_window '^Pomvane$')
[ -n "$window" ] || fail "started as a desktop starts it, the window did not open through XWayland"
# Docks tie the window to its menu entry by its class.
entry=$(dirname "$0")/../../res/org.pomvane.Pomvane.desktop
class=$(xprop -id "$window" WM_CLASS | sed 's/.*", "\(.*\)"$/\1/')
startup_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ "$class" = "$startup_class" ] || fail "WM_CLASS class '$class' is not the entry's StartupWMClass '$startup_class'"

xmessage -name pomvane-test-other -geometry 400x300+0+0 "another window" &
pids+=($!)
other=$(x_window '^pomvane-test-other$')
[ -n "$other" ] || fail "the other window did not appear"
xdotool windowactivate --sync "$other" 2>/dev/null
active=$(xprop -root _NET_ACTIVE_WINDOW)
[ "$((${active##* }))" -eq "$other" ] || fail "the other window did not take the focus: $active"

# Bottom to top.
stacking=$(xprop -root _NET_CLIENT_LIST_STACKING)
order=()
for id in $(sed 's/^[^#]*#//; s/,/ /g' <<<"$stacking"); do order+=($((id))); done
position() { local i; for i in "${!order[@]}"; do [ "${order[$i]}" -eq "$1" ] && echo "$i"; done; }
above=$(position "$window")
below=$(position "$other")
[ -n "$above" ] && [ -n "$below" ] || fail "the windows are not both managed: $stacking"
[ "$above" -gt "$below" ] || fail "a focused window covers Pomvane: $stacking"
echo "wayland_session_test: started as a desktop starts it, the window stays above a focused window"

# Natively, and so not among XWayland's windows: when the person chooses it, and without
# DISPLAY. The client's protocol log tells when its window has a title.
native=0
for way in QT_QPA_PLATFORM=wayland "-u DISPLAY"; do
    native=$((native + 1))
    # shellcheck disable=SC2086  # one assignment or one option, without blanks inside
    env $way WAYLAND_DEBUG=client "$pomvane" --new-window 2>"$scratch/native$native.log" &
    pids+=($!)
    for _ in $(seq 300); do
        grep -q 'set_title("Pomvane")' "$scratch/native$native.log" && break
        kill -0 "${pids[-1]}" 2>/dev/null || fail "$way: the program ended"
        sleep 0.1
    done
    grep -q 'set_title("Pomvane")' "$scratch/native$native.log" || fail "$way: no native window opened"
    # Only the person's choice of platform can be undone, and is told how.
    hint=$(grep -c '^pomvane: .*cannot stay on top.*leave QT_QPA_PLATFORM unset' "$scratch/native$native.log")
    [ "$hint" -eq $((native == 1 ? 1 : 0)) ] || fail "$way: told $hint times how to keep the window on top"
    windows=$(xdotool search --onlyvisible --name '^Pomvane$' 2>/dev/null | wc -l)
    [ "$windows" -eq 1 ] || fail "$way: a window opened through XWayland too"
done
echo "wayland_session_test: QT_QPA_PLATFORM=wayland, or no DISPLAY, opens the window natively"
