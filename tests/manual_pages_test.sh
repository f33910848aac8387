#!/usr/bin/env bash
# The manual pages and --help name the same options: every option --help shows has its
# entry in the page's OPTIONS, and every option the page describes is
# one --help shows.
# Usage: manual_pages_test.sh PATH/TO/pomvane PATH/TO/pomvane-count PAGES_DIR
set -euo pipefail
window=$1
tool=$2
pages=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Option names (-x, --long) of the option column of --help, one a line, sorted.
help_options() {
    "$1" --help | sed -n 's/^  \(-[^ ].*\)/\1/p' | sed 's/   .*//' \
        | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | tr -d ' ,' | sort -u
}
# The same from the entries of the page's OPTIONS section (lines such as *-h*, *--help*).
page_options() {
    sed -n '/^# OPTIONS/,/^# /p' "$1" | grep '^\*-' \
        | grep -oE -- '\*--?[A-Za-z][A-Za-z0-9-]*' | tr -d '*' | sort -u
}

compare() {
    local program=$1 page=$2 both_ways=$3 shown described
    shown=$(help_options "$program")
    described=$(page_options "$page")
    [ -n "$shown" ] || fail "$(basename "$program") --help shows no option"
    local missing extra
    missing=$(comm -23 <(echo "$shown") <(echo "$described"))
    [ -z "$missing" ] || fail "$(basename "$page"): no entry for $(echo $missing) that --help shows"
    if [ "$both_ways" = yes ]; then
        extra=$(comm -13 <(echo "$shown") <(echo "$described"))
        [ -z "$extra" ] || fail "$(basename "$page") describes $(echo $extra), which --help does not show"
    fi
}

# Both programs: every option on one side is on the other.
compare "$window" "$pages/pomvane.1.scd" yes
compare "$tool" "$pages/pomvane-count.1.scd" yes

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "manual_pages: the pages describe every option --help shows"
