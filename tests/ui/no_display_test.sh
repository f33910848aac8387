#!/bin/sh
# Without a display, or with one that cannot be reached, the program must say so in one line
# and exit 1, not abort; --help and --version need no display; a bad option exits 2.
#   no_display_test.sh POMVANE   (run with DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset)
pomvane=$1
out=$(mktemp)
err=$(mktemp)
export XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$out" "$err" "$XDG_RUNTIME_DIR"' EXIT
failed=0
fail() { echo "no_display_test: $*" >&2; cat "$out" "$err" >&2; failed=1; }

# expect STATUS STREAM PATTERN LINES [NAME=VALUE...] -- ARGS...: the exit status, and what
# the named stream holds; the other stream must stay empty.
expect() {
    status=$1 stream=$2 pattern=$3 lines=$4
    shift 4
    assignments=
    while [ "$1" != -- ]; do assignments="$assignments $1"; shift; done
    shift
    # shellcheck disable=SC2086  # the assignments hold no blanks
    env $assignments "$pomvane" "$@" 2>"$err" >"$out" </dev/null
    got=$?
    if [ "$stream" = out ]; then said=$out quiet=$err; else said=$err quiet=$out; fi
    [ "$got" -eq "$status" ] || { fail "$*: exit status $got, expected $status"; return; }
    grep -q -- "$pattern" "$said" || { fail "$*: no '$pattern' in std$stream"; return; }
    [ -z "$lines" ] || [ "$(wc -l <"$said")" -eq "$lines" ] || { fail "$*: expected $lines line(s)"; return; }
    [ ! -s "$quiet" ] || fail "$*: unexpected output on the other stream"
}

expect 1 err 'no display' 1 -- a.txt
# Qt would abort with a core dump here.
expect 1 err 'could not connect to display :97' 1 DISPLAY=:97 -- a.txt
expect 0 out 'Usage: pomvane' '' -- --help
expect 0 out '^ *-r, --recursive$' '' -- --help
expect 0 out '^pomvane 1\.' 1 -- --version
expect 2 err "Unknown option '--bogus'" '' -- --bogus a.txt
exit $failed
