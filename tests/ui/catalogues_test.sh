#!/usr/bin/env bash
# The shipped catalogues are complete: lupdate run over the window's sources changes none of
# them (no text missing, none left over) and no translation is unfinished.
#   catalogues_test.sh LUPDATE UI_DIR
# After changing the window's texts, `cmake --build build --target update_translations`
# brings the catalogues up to date; then translate what it marks unfinished.
set -uo pipefail

[ $# -eq 2 ] || { echo "usage: $0 LUPDATE UI_DIR" >&2; exit 2; }
lupdate=$1
ui=$(cd "$2" && pwd)
scratch=$(mktemp -d /tmp/catalogues_test.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "catalogues_test: $*" >&2; exit 1; }

shopt -s nullglob
catalogues=("$ui"/translations/*.ts)
[ ${#catalogues[@]} -ge 2 ] || fail "expected the German and French catalogues in $ui/translations"
copies=()
for ts in "${catalogues[@]}"; do
    cp "$ts" "$scratch/" && copies+=("$scratch/$(basename "$ts")")
done
# The same options as the update_translations target.
(cd "$ui" && "$lupdate" -silent -no-obsolete -locations none . -ts "${copies[@]}") \
    || fail "lupdate failed"
for ts in "${catalogues[@]}"; do
    diff -u "$ts" "$scratch/$(basename "$ts")" >&2 \
        || fail "$(basename "$ts") is out of date with the sources (run the update_translations target)"
    ! grep -n 'type="unfinished"\|type="vanished"\|type="obsolete"' "$ts" >&2 \
        || fail "$(basename "$ts") has unfinished or stale entries"
done
echo "catalogues_test: ${#catalogues[@]} catalogues complete"
