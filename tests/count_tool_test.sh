#!/usr/bin/env bash
# pomvane-count against GNU wc on thousands of real files, and against bad input.
# Usage: count_tool_test.sh PATH/TO/pomvane-count
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Characters equal wc -c; lines equal wc -l plus one for each non-empty file whose last
# byte is not LF. Reads NUL-separated paths from $1.
expected_for() {
    local list=$1 files chars lines unterminated
    files=$(tr -cd '\0' <"$list" | wc -c)
    read -r lines chars _ < <(wc -lc --files0-from="$list" | tail -n 1)
    unterminated=$(perl -0ne 'chomp; open(my $f, "<:raw", $_) or next; my $s = -s $f;
        next unless $s; seek($f, -1, 2); read($f, my $b, 1); $n++ if $b ne "\n";
        END { print $n + 0 }' "$list")
    echo "files=$files failed=0 characters=$chars lines=$((lines + unterminated))"
}

# Thousands of real files: whatever this machine keeps in its system folders.
find /usr/include /usr/share/perl5 /usr/lib/python3* -type f -print0 2>/dev/null \
    | head -z -n 4000 >"$work/real.list" || true
# And files made to sit on every boundary that matters.
mkdir "$work/made"
for size in 0 1 1023 1024 1025 131071 131072 131073 400000; do
    head -c "$size" /dev/urandom >"$work/made/random-$size"
    head -c "$size" /dev/zero | tr '\0' '\n' >"$work/made/newlines-$size"
done
printf 'a\r\nb' >"$work/made/crlf"
printf 'caf\xe9\n' >"$work/made/$(printf 'caf\xe9 name with spaces')"
find "$work/made" -type f -print0 >>"$work/real.list"
count=$(tr -cd '\0' <"$work/real.list" | wc -c)
[ "$count" -gt 1000 ] || fail "only $count real files found"

got=$("$tool" - <"$work/real.list")
real_want=$(expected_for "$work/real.list")
[ "$got" = "$real_want" ] || fail "real files: got '$got', want '$real_want'"

# Bad input: every one fails to open, none hangs.
mkdir "$work/bad"
mkfifo "$work/bad/fifo"
ln -s "$work/bad/nowhere" "$work/bad/dangling"
bad=("$work/bad" "$work/bad/fifo" "$work/bad/dangling" "$work/bad/missing" /dev/null)
got=$(timeout 20 "$tool" "${bad[@]}" 2>"$work/bad.err") || fail "bad input: exit $?"
[ "$got" = "files=0 failed=5 characters=0 lines=0" ] || fail "bad input: got '$got'"
# Each failure named on standard error with its reason, as wc names them.
printf 'pomvane-count: %s\n' "$work/bad: is a folder; use -r" "$work/bad/fifo: not a regular file" \
    "$work/bad/dangling: No such file or directory" "$work/bad/missing: No such file or directory" \
    "/dev/null: not a regular file" >"$work/bad.want"
cmp -s "$work/bad.err" "$work/bad.want" || fail "bad input: standard error: $(cat "$work/bad.err")"

# A name cannot forge a line: each failure is one line, a newline, a control character and a
# byte that is not UTF-8 written as \xNN, and a backslash that could be taken for an escape
# doubled, so that the name reads back whole.
forged=$(printf 'x\npomvane-count: forged: Permission denied')
odd=$(printf 'a\\x41\xff\e\\')
"$tool" -- "$work/$forged" "$work/$odd" >/dev/null 2>"$work/names.err" || fail "odd names: exit $?"
printf 'pomvane-count: %s: No such file or directory\n' "$work/x\\x0Apomvane-count: forged: Permission denied" \
    "$work/a\\\\x41\\xFF\\x1B\\\\" >"$work/names.want"
cmp -s "$work/names.err" "$work/names.want" || fail "odd names: standard error: $(cat -A "$work/names.err")"

# Past the 10,000 failures kept, the others are summed up in one line after the last named.
seq -f "$work/absent-%g" 10005 | tr '\n' '\0' >"$work/absent.list"
got=$("$tool" --files0-from="$work/absent.list" 2>"$work/absent.err") || fail "10,005 absent: exit $?"
[ "$got" = "files=0 failed=10005 characters=0 lines=0" ] || fail "10,005 absent: got '$got'"
printf 'pomvane-count: %s\n' "$work/absent-10000: No such file or directory" "5 more failed paths not named" \
    >"$work/absent.want"
[ "$(wc -l <"$work/absent.err")" -eq 10001 ] && tail -n 2 "$work/absent.err" | cmp -s - "$work/absent.want" \
    || fail "10,005 absent: standard error ends: $(tail -n 2 "$work/absent.err")"

# -r: a folder counted by its regular files, hidden and empty ones and odd names included.
# Links (one to a file, one back to a parent: a loop if followed) and a FIFO are passed by;
# a file and a folder that cannot be read fail with their reasons. Root reads anything, so
# there the tool runs as nobody.
tree=$work/tree
mkdir -p "$tree/sub/deeper" "$tree/locked-folder"
cp "$work/made/random-1025" "$work/made/newlines-1024" "$tree/sub/deeper/"
printf 'hidden\n' >"$tree/.hidden"
: >"$tree/empty"
printf 'a\nb' >"$tree/sub/$(printf 'new\nline')"
ln -s ../empty "$tree/sub/link"
ln -s .. "$tree/sub/deeper/loop"
mkfifo "$tree/fifo"
printf 'secret' >"$tree/locked"
printf 'inner' >"$tree/locked-folder/inner"
chmod 000 "$tree/locked" "$tree/locked-folder"
as_other=()
walker=$tool
if [ "$(id -u)" -eq 0 ]; then
    as_other=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    chmod 755 "$work"
    walker=$work/pomvane-count
    cp "$tool" "$walker" # where nobody may run it
fi
if "${as_other[@]}" cat "$tree/locked" >/dev/null 2>&1; then
    fail "-r: the locked file reads: no failure to see"
fi
find "$tree" -type f ! -path "$tree/locked*" -print0 >"$work/tree.list"
want=$(expected_for "$work/tree.list")
want=${want/failed=0/failed=2}
printf 'pomvane-count: %s: Permission denied\n' "$tree/locked" "$tree/locked-folder" >"$work/tree.want"
got=$(timeout 20 "${as_other[@]}" "$walker" -r "$tree" 2>"$work/tree.err") || fail "-r: exit $?"
[ "$got" = "$want" ] || fail "-r: got '$got', want '$want'"
cmp -s "$work/tree.err" "$work/tree.want" || fail "-r: standard error: $(cat "$work/tree.err")"
got=$(printf '%s\0' "$tree" | timeout 20 "${as_other[@]}" "$walker" --recursive - 2>/dev/null) || fail "-r -: exit $?"
[ "$got" = "$want" ] || fail "-r from a list: got '$got', want '$want'"

# -r skips what the person's Git would: it counts exactly what git ls-files -o lists (nested
# .gitignore files, info/exclude, a global excludes file; from the root and from a folder
# below, whose rules above are loaded), and --no-ignore what find -type f lists.
if git --version >/dev/null 2>&1; then
    repo=$work/repo
    git init -q "$repo"
    mkdir -p "$repo/src/gen" "$repo/src/keep" "$repo/doc/build" "$repo/lib/a/b" "$work/home/xdg/git"
    n=0
    for f in a.c a.o b.log x.tmp src/m.c src/m.o src/gen/g.c src/gen/keep.c src/keep/k.o \
        src/keep/k.c doc/r.md doc/build/o.html lib/a/b/deep.c lib/a/b/deep.bak lib/a/only.tmp; do
        n=$((n + 1)); head -c $((n * 7)) /dev/zero | tr '\0' '\n' >"$repo/$f"
    done
    printf '*.o\n/b.log\nbuild/\n' >"$repo/.gitignore"
    printf 'gen/*\n!gen/keep.c\n!*.o\nkeep/k.o\n' >"$repo/src/.gitignore"
    printf '*.bak\n' >"$repo/lib/a/.gitignore"
    printf '**/a/*.tmp\n' >"$repo/.git/info/exclude"
    printf 'x.tmp\n' >"$work/home/xdg/git/ignore"
    git_like() { HOME=$work/home XDG_CONFIG_HOME=$work/home/xdg GIT_CONFIG_NOSYSTEM=1 "$@"; }
    for at in "$repo" "$repo/src"; do
        git_like git -C "$at" ls-files -o --exclude-standard -z | perl -0pe "s|^|$at/|" >"$work/git.list"
        [ "$(tr -cd '\0' <"$work/git.list" | wc -c)" -gt 3 ] || fail "ignore: git lists too little in $at"
        want=$(expected_for "$work/git.list")
        got=$(git_like "$tool" -r "$at") || fail "ignore: exit $?"
        [ "$got" = "$want" ] || fail "ignore: $at: got '$got', want '$want' (git's)"
    done
    find "$repo" -type f -print0 >"$work/all.list"
    want=$(expected_for "$work/all.list")
    got=$(git_like "$tool" -r --no-ignore "$repo") || fail "--no-ignore: exit $?"
    [ "$got" = "$want" ] || fail "--no-ignore: got '$got', want '$want' (find's)"
elif [ -n "${CI:-}" ]; then
    fail "ignore: git is needed to compare with"
else
    echo "count_tool: ignore rules not compared: no git" >&2
fi

# A folder bind-mounted below itself (same file system) would be walked for ever: it fails.
loop=$work/loop
mkdir -p "$loop/inner/back"
printf 'x\n' >"$loop/inner/file"
if mount --bind "$loop" "$loop/inner/back" 2>/dev/null; then
    got=$(timeout 20 "$tool" -r "$loop" 2>"$work/loop.err") || fail "bind loop: exit $?"
    umount "$loop/inner/back"
    [ "$got" = "files=1 failed=1 characters=2 lines=1" ] || fail "bind loop: got '$got'"
    [ "$(cat "$work/loop.err")" = "pomvane-count: $loop/inner/back: file system loop" ] \
        || fail "bind loop: standard error: $(cat "$work/loop.err")"
elif [ -n "${CI:-}" ]; then
    fail "bind loop: cannot bind-mount (CI runs as root)"
else
    echo "count_tool: bind loop not tried: bind-mounting needs root" >&2
fi

# Paths are bytes used whole: a name that is not UTF-8, deeper than 260 bytes.
deep="$work/$(printf 'd%.0s' {1..200})/$(printf 'e%.0s' {1..200})"
mkdir -p "$deep"
printf 'x\ny' >"$deep/$(printf '\xff\xfe')"
got=$("$tool" "$deep/$(printf '\xff\xfe')")
[ "$got" = "files=1 failed=0 characters=3 lines=2" ] || fail "odd path: got '$got'"

# A 5 GiB sparse file: sizes and counts past 32 bits.
truncate -s 5G "$work/sparse"
got=$(timeout 120 "$tool" "$work/sparse") || fail "sparse: exit $?"
[ "$got" = "files=1 failed=0 characters=5368709120 lines=1" ] || fail "sparse: got '$got'"

# -m: UTF-8 characters. A byte-order mark is one; each maximal part of bytes that are not
# UTF-8 is one, as U+FFFD replaces them; lines stay as they are.
printf '\xef\xbb\xbfa\xc3\xa9\n' >"$work/bom"   # BOM, a, é, LF
printf 'a\x80\x80\xc3\xa9\n' >"$work/stray"    # a, two stray continuation bytes, é, LF
printf 'x\n\xf0\x9f\x98' >"$work/cut"          # x, LF, a 4-byte sequence cut by the end
for case in "bom 4 1" "stray 5 1" "cut 3 2"; do
    read -r name chars lines <<<"$case"
    got=$("$tool" -m "$work/$name")
    [ "$got" = "files=1 failed=0 characters=$chars lines=$lines" ] || fail "-m $name: got '$got'"
done
got=$(printf '%s\0' "$work/bom" "$work/cut" | "$tool" --chars -)
[ "$got" = "files=2 failed=0 characters=7 lines=3" ] || fail "--chars -: got '$got'"

# Arguments: options are refused before --, and - alone reads standard input.
"$tool" -x "$work/sparse" >/dev/null 2>"$work/usage" && fail "-x accepted"
"$tool" -x >/dev/null 2>&1 || [ $? -eq 2 ] || fail "-x: exit status is not 2"
grep -q '^usage:' "$work/usage" || fail "no usage line for -x"
got=$("$tool" -- -x 2>/dev/null)
[ "$got" = "files=0 failed=1 characters=0 lines=0" ] || fail "-- -x: got '$got'"
got=$(printf '%s\0%s\0' "$work/made/crlf" "$work/made/crlf" | "$tool" -)
[ "$got" = "files=2 failed=0 characters=8 lines=4" ] || fail "stdin: got '$got'"
# The same list from a file, named either way wc takes it; - is standard input.
got=$("$tool" --files0-from="$work/real.list")
[ "$got" = "$real_want" ] || fail "--files0-from=LIST: got '$got', want '$real_want'"
got=$("$tool" --files0-from - <"$work/real.list")
[ "$got" = "$real_want" ] || fail "--files0-from -: got '$got', want '$real_want'"
# One path of 1 MiB without a NUL: too long to open anywhere, so it fails to open.
got=$(head -c 1048576 /dev/zero | tr '\0' a | "$tool" -)
[ "$got" = "files=0 failed=1 characters=0 lines=0" ] || fail "1 MiB path: got '$got'"
# Usage errors exit 2 with the usage on standard error: no paths at all, or paths beside a list.
for args in "" "--files0-from=$work/real.list $work/made/crlf" "- $work/made/crlf" "--files0-from"; do
    status=0
    # shellcheck disable=SC2086 # the words are the arguments
    "$tool" $args >"$work/out" 2>"$work/usage" </dev/null || status=$?
    [ "$status" -eq 2 ] && [ ! -s "$work/out" ] && grep -q '^usage:' "$work/usage" \
        || fail "'$args': exit $status, stdout '$(cat "$work/out")'"
done
# Asked-for help and version go to standard output with exit status 0.
"$tool" --help >"$work/out" && grep -q '^usage:' "$work/out" || fail "--help"
got=$("$tool" --version) && [[ $got =~ ^pomvane-count\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version: '$got'"

# Each file's own count, in every per-file form, equals wc's for that file under the last-line
# rule, whatever its name holds; CSV and JSON read back by their parsers, names unescaped.
mkdir "$work/per"
printf 'a\nb' >"$work/per/with space, comma"
printf 'x\n\n' >"$work/per/$(printf 'quote" and\nnewline')"
printf 'caf\xc3\xa9\n\xff' >"$work/per/$(printf 'caf\xc3\xa9 \xff\\x41')"
: >"$work/per/empty"
per=("$work/per"/* "$work/per/missing")
if command -v python3 >/dev/null; then
    for form in by-file format=csv format=json format=ndjson; do
        "$tool" --"$form" -- "${per[@]}" >"$work/per.$form" 2>"$work/per.$form.err" || fail "--$form: exit $?"
    done
    printf '%s\0' "${per[@]}" >"$work/per.list"
    python3 - "$work" <<'PYTHON' || fail "per-file forms disagree with wc (above)"
import csv, json, re, subprocess, sys
work = sys.argv[1]
def unescape(name):  # the reversible form: \\ is one backslash, \xNN one byte
    return re.sub(rb'\\(\\|x[0-9A-F]{2})', lambda m: b'\\' if m[1] == b'\\' else bytes([int(m[1][1:], 16)]),
                  name.encode())
def wc(path):
    data = open(path, 'rb').read()
    lines = int(subprocess.run(['wc', '-l'], stdin=open(path, 'rb'), capture_output=True).stdout)
    return [len(data), lines + (1 if data and not data.endswith(b'\n') else 0)]
given = open(work + '/per.list', 'rb').read().split(b'\0')[:-1]
want = [[p] + (wc(p) if not p.endswith(b'/missing') else ['No such file or directory']) for p in given]
def check(form, got):
    if got != want:
        print(f'--{form}: got {got}\nwant {want}'); sys.exit(1)
text = open(work + '/per.by-file', encoding='utf-8').read().split('\n')
assert text[-1] == '' and re.fullmatch(r'files=4 failed=1 characters=\d+ lines=\d+', text[-2]), text
check('by-file', [[unescape(line.split(' ', 2)[2]), int(line.split(' ')[0]), int(line.split(' ')[1])]
                  for line in text[:-2]] + [want[-1]])
rows = list(csv.reader(open(work + '/per.format=csv', encoding='utf-8', newline='')))
assert rows[0] == ['path', 'characters', 'lines', 'failed'], rows[0]
check('csv', [[unescape(r[0])] + ([int(r[1]), int(r[2])] if not r[3] else [r[3]]) for r in rows[1:]])
def objects(form, files):
    check(form, [[unescape(f['path'])] + ([f['characters'], f['lines']] if 'failed' not in f else [f['failed']])
                 for f in files])
document = json.load(open(work + '/per.format=json', encoding='utf-8'))
objects('json', document['files'])
assert document['totals']['files'] == 4 and document['totals']['failed'] == 1, document['totals']
records = [json.loads(line) for line in open(work + '/per.format=ndjson', encoding='utf-8')]
objects('ndjson', records[:-1])
assert records[-1]['totals'] == document['totals'], records[-1]
PYTHON
    grep -qx "pomvane-count: $work/per/missing: No such file or directory" "$work/per.by-file.err" \
        || fail "--by-file: failure not on standard error: $(cat "$work/per.by-file.err")"
elif [ "${CI:-}" = true ]; then
    fail "per-file forms: python3 is missing"
else
    echo "SKIP: per-file forms need python3" >&2
fi
# --total as wc has it: auto writes the totals for more than one file only, never not at all.
[ "$("$tool" --by-file "$work/per/empty")" = "0 0 $work/per/empty" ] || fail "--total=auto with one file"
[ "$("$tool" --total=never "$work/per/empty" "$work/per/empty" | wc -l)" -eq 2 ] || fail "--total=never"

# The tool's own read and write errors: one line on standard error and exit status 1.
own_error() {
    local name=$1 status lines
    shift
    status=0
    "$@" 2>"$work/own.err" || status=$?
    lines=$(wc -l <"$work/own.err")
    [ "$status" -eq 1 ] && [ "$lines" -eq 1 ] && grep -q '^pomvane-count: ' "$work/own.err" \
        || fail "$name: exit $status, stderr: $(cat "$work/own.err")"
}
own_error "output to /dev/full" sh -c '"$0" "$1" >/dev/full' "$tool" "$work/made/crlf"
own_error "standard input a folder" sh -c '"$0" - <"$1"' "$tool" "$work"
own_error "standard input closed" sh -c '"$0" - <&-' "$tool"
own_error "list missing" "$tool" --files0-from="$work/missing"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "count_tool: $count real files and every bad input agree"
