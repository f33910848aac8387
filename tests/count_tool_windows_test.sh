#!/usr/bin/env bash
# pomvane-count.exe under wine must print exactly what the Linux pomvane-count prints, with the
# same exit status, on the same files: names that are not ASCII, CRLF, a path of 300
# characters, a folder, a missing file, boundary sizes, and a list on standard input.
# Usage: count_tool_windows_test.sh PATH/TO/pomvane-count PATH/TO/pomvane-count.exe
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
wine=${WINE:-wine}
command -v "$wine" >/dev/null || { echo "FAIL: $wine is not installed" >&2; exit 1; }
export WINEDEBUG=${WINEDEBUG:--all}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Under wine a Unix path is on drive Z:, the current one while we stand outside the prefix.
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Runs both with the same arguments and standard input ($input, a file); compares output and
# exit status.
input=/dev/null
same() {
    local want got want_status=0 got_status=0
    want=$("$linux" "$@" <"$input" 2>/dev/null) || want_status=$?
    got=$(timeout 60 "$wine" "$windows" "$@" <"$input" 2>/dev/null) || got_status=$?
    [ "$got" = "$want" ] && [ "$got_status" = "$want_status" ] \
        || fail "$(printf '%q ' "$@"): Windows printed '$got' ($got_status), Linux '$want' ($want_status)"
}

mkdir made
for size in 0 1 1023 1024 1025 131072 131073; do
    head -c "$size" /dev/urandom >"made/random-$size"
    head -c "$size" /dev/zero | tr '\0' '\n' >"made/newlines-$size"
done
printf 'a\r\nb' >made/crlf
printf 'one\r\ntwo\r\n' >made/crlf-terminated
printf 'caf\xc3\xa9\n' >"made/café ü 日本.txt"
deep="$work/$(printf 'd%.0s' {1..140})/$(printf 'e%.0s' {1..140})"
mkdir -p "$deep"
printf 'x\ny\n\n' >"$deep/file.txt"
[ ${#deep} -gt 290 ] || fail "the long path has only ${#deep} characters"
mkdir made/folder

for file in made/*; do
    same "$file"
done
same "$work/made/crlf"                   # absolute
same "$deep/file.txt"                    # over 260 characters
same "made/café ü 日本.txt" "$deep/file.txt" made/folder made/missing made/crlf
same -- -x
same -r "$work"                          # a walk: long paths, names beyond ASCII, an empty folder
same --recursive made/folder made/crlf
same -x made/crlf                         # usage, status 2
same

# A wildcard for the .exe, as cmd.exe passes it on; for Linux, the names bash finds for it,
# dot files too (Windows matches its hidden files), or the pattern itself when none match.
wildcard() {
    local pattern=$1 names
    shopt -s dotglob nullglob
    # shellcheck disable=SC2206  # the pattern is to be expanded
    names=($pattern)
    shopt -u dotglob nullglob
    [ ${#names[@]} -gt 0 ] || names=("$pattern")
    local want got want_status=0 got_status=0
    want=$("$linux" "${names[@]}" </dev/null 2>/dev/null) || want_status=$?
    got=$(timeout 60 "$wine" "$windows" "$pattern" </dev/null 2>/dev/null) || got_status=$?
    [ "$got" = "$want" ] && [ "$got_status" = "$want_status" ] \
        || fail "wildcard $pattern: Windows printed '$got' ($got_status), Linux '$want' ($want_status)"
}
printf 'secret\n' >made/.hidden
for pattern in 'made/*' 'made/random-1*' 'made/newlines-?' 'made/caf*' 'made/*.none' "$deep/*"; do
    wildcard "$pattern"
done
same 'm?de/crlf'                          # only the last part is expanded
same made/crlf 'made/*.none'              # no match: the pattern itself, which fails

# The same 300-character path in Windows form, as a Windows user would type it (winepath
# cuts paths at 260 characters; wine puts / on Z:).
windows_form="Z:${deep//\//\\}\\file.txt"
got=$(timeout 60 "$wine" "$windows" "$windows_form")
[ "$got" = "files=1 failed=0 characters=5 lines=3" ] || fail "Windows form of the long path: got '$got'"
got=$(timeout 60 "$wine" "$windows" "${windows_form%file.txt}f*.txt")
[ "$got" = "files=1 failed=0 characters=5 lines=3" ] || fail "a wildcard in the long path's Windows form: got '$got'"

# A NUL-separated list on standard input, in UTF-8.
find made "$deep" -print0 >list
printf '%s\0' made/missing "made/café ü 日本.txt" 'made/*' >>list   # lists are taken as given
input=list same -
same --files0-from=list
same --version

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "count_tool_windows: pomvane-count.exe under wine agrees with the Linux build"
