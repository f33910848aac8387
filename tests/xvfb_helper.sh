# shellcheck shell=bash disable=SC2034,SC2154  # the names are shared with the sourcing script
# The opening that the scripts driving a real window under Xvfb share; sourced, not run.
# A script sets, before it sources this file:
#   name=smoke_test          the name its messages start with
#   usage="POMVANE"          its arguments, for the usage line
#   tools=(xdotool xprop)    the programs it needs besides xvfb-run
# and then calls `under_xvfb MIN MAX "$@"`. Run by hand, that checks the arguments and the
# tools and runs the script again under a server of its own, with the arguments (all paths)
# made absolute. Run so, it leaves the arguments in $args and gives the script a scratch
# folder ($scratch) with a runtime folder and a settings folder in it, the X11 back end for
# Qt and a clean-up on exit that ends the processes in $pids, calls cleanup_more if the
# script defines it, ends the wine server of wine_prefix and removes the scratch folder.

fail() { echo "$name: $*" >&2; exit 1; }

under_xvfb() {
    local min=$1 max=$2 tool arg absolute=()
    shift 2
    if [ "${1:-}" = --under-xvfb ]; then
        shift
        args=("$@")
        xvfb_session
        return 0
    fi
    if [ $# -lt "$min" ] || [ $# -gt "$max" ]; then
        echo "usage: $0 $usage" >&2
        exit 2
    fi
    for tool in xvfb-run "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "$name: $tool is missing" >&2; exit 2; }
    done
    # The run under Xvfb works in its scratch folder.
    for arg in "$@"; do absolute+=("$(realpath -m -- "$arg")"); done
    # -noreset: a start right after the last client left could find the server resetting
    # and fail to connect.
    # XVFB_SCREEN makes room for a window at twice the scale.
    exec xvfb-run -a -s "-screen 0 ${XVFB_SCREEN:-640x480}x24 -noreset" "$0" --under-xvfb "${absolute[@]}"
}

xvfb_session() {
    scratch=$(mktemp -d)
    pids=()
    trap xvfb_cleanup EXIT
    # Only the X11 back end can show a window here; a desktop's settings must not leak in,
    # and the window's remembered place neither comes from nor goes to the user's settings.
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config
    # The window in English, whatever the session's language: the scripts pick menu entries
    # by their English letters. A script that wants a language sets it for its own start.
    export LANGUAGE=en
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE WAYLAND_DISPLAY
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

xvfb_cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if declare -F cleanup_more >/dev/null; then cleanup_more || true; fi
    if [ -d "$scratch/prefix" ]; then WINEPREFIX=$scratch/prefix wineserver -k 2>/dev/null || true; fi
    rm -rf "$scratch"
}

# A wine prefix in the scratch folder, quiet, without the Mono and Gecko installers a new
# prefix offers; names in UTF-8 between X, wine and the files.
wine_prefix() {
    export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
    wineboot -i >/dev/null 2>&1 || fail "could not create a wine prefix"
}

# click_item WINDOW X Y WIDTH HEIGHT [OPTION...]: clicks the centre of an item of the main
# window, given its place in dialog units in the 173 x 94 template, whose client area the
# window is, Qt or Win32; the options go to xdotool's click (--repeat 2 for a double-click).
click_item() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + WIDTH * ($2 + $4 / 2) / 173)) $((Y + HEIGHT * ($3 + $5 / 2) / 94)) \
        click "${@:6}" 1
}

# expect_totals WINDOW KEY TOTALS [LETTER]: KEY opens the Qt window's menu at the focus,
# LETTER (t, for the English Copy Totals) picks Copy Totals, and the clipboard must then
# read TOTALS (the window may still be counting: try for a while).
expect_totals() {
    local got=
    # What a click on the window would do; its keys act only while it has the focus.
    xdotool windowfocus "$1"
    for _ in $(seq 20); do
        echo none | xclip -selection clipboard -i
        xdotool key --window "$1" "$2"
        sleep 0.3
        # Qt hands the window's keys to its open menu; without a window manager nothing
        # gives the menu the focus.
        xdotool key --window "$1" "${4:-t}"
        sleep 0.2
        got=$(xclip -selection clipboard -o 2>/dev/null)
        # No Escape to close a menu that missed the letter: with no menu open it closes the
        # window.
        [ "$got" = "$3" ] && return 0
    done
    fail "after $2 and ${4:-t}, Copy Totals gave '$got', expected '$3'"
}
