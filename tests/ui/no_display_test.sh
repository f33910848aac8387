#!/bin/sh
# Without a display the program must say so in one line and exit 1, not abort.
#   no_display_test.sh POMVANE   (run with DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset)
err=$(mktemp)
trap 'rm -f "$err"' EXIT
"$1" 2>"$err" </dev/null
status=$?
if [ "$status" -ne 1 ]; then
    echo "no_display_test: exit status $status, expected 1" >&2
    exit 1
fi
if [ "$(wc -l <"$err")" -ne 1 ] || ! grep -q 'no display' "$err"; then
    echo "no_display_test: expected one line about the missing display, got:" >&2
    cat "$err" >&2
    exit 1
fi
