#!/usr/bin/env bash
# The real program under Xvfb, driven as a user would: files on the command line, a later
# start handing its files to the running window, paste from another program, the menu on
# Shift+F10 and on the Menu key, a socket left by a window that was killed, --new-window, a
# folder handed over with -r and without it.
# Totals are read back as a user would: "Copy Totals" from the menu, then the clipboard.
#   hand_over_test.sh POMVANE
# Needs xvfb, xauth, xdotool and xclip.
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=hand_over_test usage=POMVANE tools=(xdotool xclip)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 1 1 "$@"
pomvane=${args[0]}
cd "$scratch" || exit 1
printf 'a\nb\n' >a        # 4 characters, 2 lines
printf 'hello' >b         # 5, 1
printf 'x\n' >./-platform     # 2, 1

# Starts the program in the background; its window's id in $window.
open_window() {
    local before
    before=$(xdotool search --onlyvisible --name '^Pomvane$' 2>/dev/null | sort)
    "$pomvane" "$@" &
    pids+=($!)
    for _ in $(seq 300); do   # 30 s: the machine may be busy
        window=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '^Pomvane$' 2>/dev/null | sort) | head -n 1)
        [ -n "$window" ] && return 0
        sleep 0.1
    done
    kill -0 "${pids[-1]}" 2>/dev/null || fail "pomvane $* ended without showing a window"
    fail "pomvane $* showed no window of its own: $(xdotool search --name '^Pomvane$' | tr '\n' ' ')"
}

# A later start exits 0 at once, having handed over its files.
hand_over() {
    timeout 20 "$pomvane" "$@" || fail "pomvane $* exited with status $? instead of handing over"
}

open_window a
first=$window
# Relative names, a name after -- that starts with a dash, in order, as one batch.
hand_over b -- -platform
expect_totals "$first" shift+F10 "files=3 failed=0 characters=11 lines=4"
[ "$(xdotool search --onlyvisible --name '^Pomvane$' | wc -l)" -eq 1 ] || fail "a second window opened"
hand_over   # no files: raises the window

# Files copied in a file manager, pasted with Ctrl+V.
printf 'copy\nfile://%s/a' "$scratch" | xclip -selection clipboard -t x-special/gnome-copied-files -i
xdotool key --window "$first" ctrl+v
expect_totals "$first" Menu "files=4 failed=0 characters=15 lines=6"

# A window killed outright leaves its socket behind; the next start replaces it.
kill -KILL "${pids[0]}"
wait "${pids[0]}" 2>/dev/null
open_window b
second=$window
expect_totals "$second" shift+F10 "files=1 failed=0 characters=5 lines=1"

# --new-window opens one more window, which takes no files from later starts.
# Qt takes -platform NAME for its own when given the arguments; here they are files.
open_window --new-window -- -platform b
expect_totals "$window" shift+F10 "files=2 failed=0 characters=7 lines=2"
hand_over a
expect_totals "$second" shift+F10 "files=2 failed=0 characters=9 lines=3"
expect_totals "$window" shift+F10 "files=2 failed=0 characters=7 lines=2"

# -r has the window count a folder by its files, whatever its setting; without it the folder
# fails to open.
mkdir -p tree/inner && printf 'x\n' >tree/inner/c    # 2, 1
hand_over -r tree
hand_over tree
expect_totals "$second" shift+F10 "files=3 failed=1 characters=11 lines=4"
echo "hand_over_test: files handed over, pasted and counted once; stale socket replaced"
