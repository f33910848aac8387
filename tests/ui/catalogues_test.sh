#!/usr/bin/env bash
# The shipped catalogues are complete: lupdate run over the window's sources changes none of
# them (no text missing, none left over) and no translation is unfinished.
#   catalogues_test.sh TS_DIR LUPDATE [OPTION...] SOURCE...
# with the command the update_translations target runs, but its -ts. After changing the
# window's texts, `cmake --build build --target update_translations` brings the catalogues
# up to date; then translate what it marks unfinished.
set -uo pipefail

[ $# -ge 3 ] || { echo "usage: $0 TS_DIR LUPDATE [OPTION...] SOURCE..." >&2; exit 2; }
translations=$(cd "$1" && pwd)
shift
scratch=$(mktemp -d /tmp/catalogues_test.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "catalogues_test: $*" >&2; exit 1; }

shopt -s nullglob
catalogues=("$translations"/*.ts)
[ ${#catalogues[@]} -ge 2 ] || fail "expected the German and French catalogues in $translations"
copies=()
for ts in "${catalogues[@]}"; do
    cp "$ts" "$scratch/" && copies+=("$scratch/$(basename "$ts")")
done
"$1" -silent "${@:2}" -ts "${copies[@]}" || fail "lupdate failed"
for ts in "${catalogues[@]}"; do
    diff -u "$ts" "$scratch/$(basename "$ts")" >&2 \
        || fail "$(basename "$ts") is out of date with the sources (run the update_translations target)"
    ! grep -n 'type="unfinished"\|type="vanished"\|type="obsolete"' "$ts" >&2 \
        || fail "$(basename "$ts") has unfinished or stale entries"
done
echo "catalogues_test: ${#catalogues[@]} catalogues complete"
