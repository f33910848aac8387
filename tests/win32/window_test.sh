#!/usr/bin/env bash
# The Windows program under wine on Xvfb, driven as a user would: started with one file on
# its command line, it is top-most; a second start hands its file over and leaves one
# window, and one that finds the window stopped gives up within seconds; files dragged from
# another program (a non-ASCII name, CRLF lines, a folder) are counted, the hint's band lit
# while they are over the window; the three fields are read back through the clipboard;
# Ctrl+Shift+C copies the totals; a double-click on the files field lists the failed one,
# under Pomvane's icon, Ctrl+C copies its row and Enter closes the list; Reset zeroes them;
# Count Files in Folders is remembered; Ctrl+V adds files (and a folder's file) another
# Windows program put on the clipboard; Ctrl+O's chooser adds the names typed into it; About
# opens from the system menu and closes; Escape ends the process with status 0.
# Started again, it comes back onto the screen from a place remembered off it, and
# --new-window opens cascaded from it.
#   window_test.sh POMVANE.EXE HELPER CLIPBOARD.EXE
# HELPER is the pomvane-screenshot-helper of a Linux build, the X drag source; CLIPBOARD.EXE
# the pomvane-clipboard-helper.exe of the Windows build.
# Needs wine, xvfb, xauth, xdotool, x11-utils and xclip.
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=window_test usage="POMVANE.EXE HELPER CLIPBOARD.EXE" tools=(wine xdotool xprop xclip)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 3 3 "$@"
pomvane=${args[0]}
helper=${args[1]}
clipboard=${args[2]}
wine_prefix

mkdir -p "$scratch/files/a folder"
cd "$scratch/files" || exit 1
printf 'abc\n' >'a folder/inner.txt'                    # 4 characters, 1 line
printf 'one\r\ntwo\r\nthree' >crlf.txt                   # 15 characters, 3 lines
printf 'h\xc3\xa9llo\nw\xc3\xb6rld\n' >'naïve ✓.txt'      # 14 characters, 2 lines
printf 'x\n' >argument.txt                               # 2 characters, 1 line
printf 'ab\n' >handed.txt                                # 3 characters, 1 line

# Polls a command until it succeeds, for at most $1 tenths of a second.
eventually() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

wine "$pomvane" argument.txt &
pid=$!
pids+=("$pid")
window=
eventually 300 eval 'window=$(window_named Pomvane); [ -n "$window" ]' \
    || fail "no window named Pomvane appeared"

state=$(xprop -id "$window" _NET_WM_STATE)
[[ $state == *_NET_WM_STATE_ABOVE* ]] || fail "the window is not kept above others: $state"

read_field() {
    case $1 in
    files) click_item "$window" 66 8 100 12 ;;
    characters) click_item "$window" 66 21 100 12 ;;
    lines) click_item "$window" 66 34 100 12 ;;
    esac
    # A mark first, so that a copy that did not happen cannot pass for one.
    printf unread | xclip -selection clipboard -i >/dev/null 2>&1
    # Keys go to the X focus, which the drag source may hold. Ctrl+A does not select in an
    # edit control.
    xdotool windowfocus --sync "$window" key Home shift+End ctrl+c
    sleep 0.2
    # An owner that does not answer must not hold the test.
    timeout 5 xclip -o -selection clipboard 2>/dev/null
    # Past the double-click time (half a second) before the next click, which may hit the same
    # field: two clicks taken for a double-click open a list over the window.
    sleep 0.5
}
# Waits for a field to show the expected text, 20 reads of about a second each; counting
# takes its time.
expect_field() {
    local seen
    for _ in $(seq 20); do
        seen=$(read_field "$1")
        [ "$seen" = "$2" ] && return 0
    done
    fail "the $1 field shows '$seen', expected '$2'"
}
# The colour of the main window at a place in dialog units, as click_item places them.
colour_at() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$window")"
    "$helper" colour "$window" $((WIDTH * $1 / 173)) $((HEIGHT * $2 / 94)) 2>/dev/null
}

# The file on the command line is counted as if dropped.
expect_field files 1
expect_field characters 2

# A second start hands its file to the window and ends at once.
timeout 30 wine "$pomvane" handed.txt
status=$?
[ "$status" -eq 0 ] || fail "the second start ended with status $status, expected 0"
expect_field files 2
expect_field characters 5
windows=$(xdotool search --onlyvisible --name '^Pomvane$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows windows named Pomvane after the second start, expected 1"

# A window that stopped answering holds a later start a few seconds at most: it says so in
# a message box and ends with status 1.
kill -STOP "$pid"
wine "$pomvane" handed.txt &
hung_start=$!
pids+=("$hung_start")
box=
eventually 100 eval 'box=$(xdotool search --onlyvisible --name "^Pomvane\$" | grep -vx "$window" | head -n 1); [ -n "$box" ]' \
    || fail "a start was held over 10 s by a window that does not answer"
xdotool windowfocus --sync "$box" key Return
wait "$hung_start"
status=$?
kill -CONT "$pid"
[ "$status" -eq 1 ] || fail "a start that could not hand over ended with status $status, expected 1"

# Press on the drag source, travel to the window in small steps so that the XDND handshake
# keeps up, and let go there.
"$helper" drag crlf.txt 'naïve ✓.txt' 'a folder' >"$scratch/drag.out" 2>/dev/null &
pids+=($!)
source=
eventually 300 eval 'source=$(window_named "drag source"); [ -n "$source" ]' \
    || fail "the drag source showed no window"
eval "$(xdotool getwindowgeometry --shell "$source")"
from_x=$((X + WIDTH / 2)) from_y=$((Y + HEIGHT / 2))
eval "$(xdotool getwindowgeometry --shell "$window")"
to_x=$((X + WIDTH / 2)) to_y=$((Y + HEIGHT / 2))
# The hint's band (7, 52 to 166, 68), its top left corner clear of the words, against the
# window's background just above it: hidden once files are counted, lit while files are
# dragged over the window, unlit once they leave it, and hidden again after the drop.
background=$(colour_at 9 49)
band() { [ "$(colour_at 9 53)" "$1" "$background" ]; }
band = || fail "the hint's band shows while nothing is dragged: $(colour_at 9 53) on $background"
travel() {
    for step in $(seq 1 10); do
        xdotool mousemove $(($1 + ($3 - $1) * step / 10)) $(($2 + ($4 - $2) * step / 10)) sleep 0.1
    done
}
xdotool mousemove $from_x $from_y sleep 0.2 mousedown 1 sleep 0.2
travel $from_x $from_y $to_x $to_y
eventually 50 band != || fail "the hint's band did not light up while files were dragged over the window"
travel $to_x $to_y $from_x $from_y
eventually 50 band = || fail "the hint's band stayed lit after the files left the window"
travel $from_x $from_y $to_x $to_y
eventually 50 band != || fail "the hint's band did not light up when the files came back"
xdotool sleep 0.3 mouseup 1
eventually 300 test -s "$scratch/drag.out"
[ "$(cat "$scratch/drag.out")" = dropped ] \
    || fail "the window did not take the drop ($(cat "$scratch/drag.out"))"
eventually 50 band = || fail "the hint's band stayed lit after the drop: $(colour_at 9 53) on $background"

expect_field files '4 (1 failed to open)'
expect_field characters 34
expect_field lines 7

click_item "$window" 66 34 100 12
printf unread | xclip -selection clipboard -i
xdotool windowfocus --sync "$window" key ctrl+shift+c
copied=
eventually 50 eval 'copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null); [ "$copied" != unread ]'
[ "$copied" = "files=4 failed=1 characters=34 lines=7" ] || fail "Copy Totals put '$copied' on the clipboard"

# A double-click on the files field lists the failed files; Copy takes the list.
click_item "$window" 66 8 100 12 --repeat 2 --delay 80
failed_list=
eventually 100 eval 'failed_list=$(window_named "Failed Files"); [ -n "$failed_list" ]' \
    || fail "a double-click on the files field did not list the failed files"
icon() { xprop -id "$1" _NET_WM_ICON | md5sum; }
[ "$(icon "$failed_list")" = "$(icon "$window")" ] || fail "the failed files list does not show Pomvane's icon"
eval "$(xdotool getwindowgeometry --shell "$failed_list")"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 640 ] && [ $((Y + HEIGHT)) -le 480 ] \
    || fail "the failed files list is not wholly on the screen: ${X},${Y} (${WIDTH}x${HEIGHT})"
# The list has the focus: Down selects its row, which Ctrl+C copies as PATH: REASON, read
# from the list view's own rows.
printf unread | xclip -selection clipboard -i >/dev/null 2>&1
xdotool windowfocus --sync "$failed_list" key Down ctrl+c
eventually 50 eval 'copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null); [ "$copied" != unread ]'
[[ $copied == 'Z:\'*'\files\a folder: is a folder; turn on Count Files in Folders'* ]] \
    || fail "Ctrl+C in the failed files list copied '$copied'"
# Enter closes, as Close is the default button, rather than pressing Copy.
printf unread | xclip -selection clipboard -i >/dev/null 2>&1
xdotool windowfocus --sync "$failed_list" key Return
eventually 50 eval '[ -z "$(window_named "Failed Files")" ]' || fail "Enter did not close the failed files list"
[ "$(timeout 5 xclip -o -selection clipboard 2>/dev/null)" = unread ] || fail "Enter in the failed files list copied"
# Opened again, the list is the one kept; Copy takes it whole.
click_item "$window" 66 8 100 12 --repeat 2 --delay 80
eventually 100 eval 'failed_list=$(window_named "Failed Files"); [ -n "$failed_list" ]' \
    || fail "a double-click on the files field did not list the failed files again"
printf unread | xclip -selection clipboard -i >/dev/null 2>&1
xdotool windowfocus --sync "$failed_list" key alt+c
eventually 50 eval 'copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null); [ "$copied" != unread ]'
[[ $copied == *"a folder: is a folder"* ]] || fail "the failed files list copied '$copied'"
xdotool windowfocus --sync "$failed_list" key Escape
eventually 50 eval '[ -z "$(window_named "Failed Files")" ]' || fail "the failed files list did not close"

# Reset: the next stop after the lines field.
click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key Tab space
expect_field files 0
expect_field characters 0
expect_field lines 0

# Count Files in Folders, the system menu's entry above Skip Ignored Files, Count Unicode
# Characters and About, is remembered in the registry.
click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key alt+space sleep 0.5 key Up Up Up Up Return
eventually 50 eval 'wine reg query "HKCU\\Software\\Pomvane" /v CountFilesInFolders 2>/dev/null | grep -q 0x1' \
    || fail "Count Files in Folders was not remembered"

# Files another Windows program put on the clipboard, as Explorer's Copy does; the folder
# now counts by its file.
wine "$clipboard" crlf.txt argument.txt 'a folder' || fail "could not put files on the clipboard"
click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key ctrl+v
expect_field files 3
expect_field characters 21
expect_field lines 5

# The chooser takes the names typed into it, several at once, in Windows form (Unix paths
# are on drive Z:).
click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key ctrl+o
chooser=
eventually 100 eval 'chooser=$(window_named "Add Files"); [ -n "$chooser" ]' || fail "Ctrl+O opened no chooser"
in_windows_form() { printf '"Z:%s"' "${1//\//\\}"; }
sleep 1
xdotool windowfocus --sync "$chooser" type --delay 20 \
    "$(in_windows_form "$PWD/handed.txt") $(in_windows_form "$PWD/argument.txt")"
xdotool windowfocus --sync "$chooser" key Return
eventually 100 eval '[ -z "$(window_named "Add Files")" ]' || fail "the chooser did not close"
expect_field files 5
expect_field characters 26

# The system menu's last entry is About (wine adds an entry of its own above it).
click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key alt+space sleep 0.5 key Up Return
about=
eventually 50 eval 'about=$(window_named "About Pomvane"); [ -n "$about" ]' \
    || fail "About did not open from the system menu"
xdotool windowfocus --sync "$about" key Return
eventually 50 eval '[ -z "$(window_named "About Pomvane")" ]' || fail "About did not close"

click_item "$window" 66 34 100 12
xdotool windowfocus --sync "$window" key Escape
# Wine may take a second or two to pass on keys after a change of focus.
eventually 100 eval '! kill -0 "$pid" 2>/dev/null' || fail "still running 10 s after Escape"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Escape, expected 0"

# The place is remembered for each arrangement of monitors, before the last place at all: one
# off the screen, past its bottom right corner, brings the window back wholly onto it there.
placement='HKCU\Software\Pomvane\Placement'
layout='Screens 640x480+0+0'
wine reg query "$placement" /v "$layout" >/dev/null 2>&1 || fail "the window's place was not remembered on closing"
wine reg add "$placement" /v "$layout" /d 5000,5000 /f >/dev/null 2>&1
wine reg add "$placement" /v Last /d 40,40 /f >/dev/null 2>&1
wine "$pomvane" &
pids+=($!)
window=
eventually 300 eval 'window=$(window_named Pomvane); [ -n "$window" ]' || fail "no window came into view on starting again"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 640 ] && [ $((Y + HEIGHT)) -le 480 ] \
    && [ $((X + WIDTH)) -gt 600 ] && [ $((Y + HEIGHT)) -gt 440 ] \
    || fail "remembered past the screen's corner, the window came back at ${X},${Y} (${WIDTH}x${HEIGHT})"
first_x=$X first_y=$Y

# Another window, cascaded by a caption's height: up and left here, where the screen ends.
wine "$pomvane" --new-window &
pids+=($!)
second=
eventually 300 eval 'second=$(xdotool search --onlyvisible --name "^Pomvane\$" | grep -vx "$window" | head -n 1); [ -n "$second" ]' \
    || fail "--new-window opened no second window"
eval "$(xdotool getwindowgeometry --shell "$second")"
step=$((first_x - X))
[ "$step" -gt 0 ] && [ "$step" -le 64 ] && [ $((first_y - Y)) -eq "$step" ] \
    || fail "--new-window opened at ${X},${Y}, not cascaded from the first window at ${first_x},${first_y}"
for open in "$second" "$window"; do
    click_item "$open" 66 34 100 12
    xdotool windowfocus --sync "$open" key Escape
    eventually 100 eval '[ -z "$(xdotool search --onlyvisible --name "^Pomvane\$" | grep -x "$open")" ]' \
        || fail "a window did not close on Escape"
done
echo "window_test: one window for two starts; a drop, paste, folder and choice counted; failed list, copy, reset, About;"
echo "window_test: back on the screen from a place off it; --new-window cascaded"
