#!/usr/bin/env bash
# Times pomvane-count against floors measured in the same runs on the same machine, with the
# files cached and cold (taken out of the page cache before every timed run), checks that the
# counts agree with wc's, and runs the engine's own benchmarks. The goals are shares of a
# floor's speed (the floor's time over pomvane-count's), as ratios against another program
# move with the host: bench/floor, a plain loop that opens, reads and counts each file on N
# threads, for many files (2 threads cached, 16 cold); dd for the 1 GiB file; rg -c '' -uuu
# for -r /usr/share. GNU wc and cat are timed beside them for reference, and each figure is also
# shown beside the machine's own limits: the rate this core reads memory (cached big file) and
# the disk's random-read floor, as many 8 KiB reads as there are small files at queue depth 32
# (cold small files). The output starts with the host, so that a recorded run says where it
# was measured. Run it as ./dev.sh bench.
#   bench/run.sh BUILD_DIR [RUNS]
# BUILD_DIR holds pomvane-count and bench/ (built with POMVANE_BUILD_BENCH); each time is the
# median of RUNS runs (default 7, at least 5), the commands taking turns; the 1,000,000 paths
# take 5 runs whatever RUNS is. The corpus (about 1.1 GiB) lives in a temporary folder under
# ${TMPDIR:-/tmp}, which must be on a disk (not tmpfs) for the cold runs, and is removed on
# exit. Takes about ten minutes on a quiet 2-core machine.
# Exit status: 0 when the counts agree (goals met or not: the table says), 1 when they do not,
# 2 on bad use.
set -euo pipefail
export LC_ALL=C

usage() {
    echo "usage: bench/run.sh BUILD_DIR [RUNS]" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
build=$1
runs=${2:-7}
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 5 ] || { echo "run.sh: RUNS must be 5 or more" >&2; exit 2; }

count=$build/pomvane-count
make_corpus=$build/bench/make_corpus
reset_latency=$build/bench/reset_latency
count_bench=$build/bench/count_bench
read_paths=$build/bench/read_paths
evict=$build/bench/evict
disk_floor=$build/bench/disk_floor
floor=$build/bench/floor
for program in "$count" "$make_corpus" "$reset_latency" "$count_bench" "$read_paths" "$evict" "$disk_floor" "$floor"; do
    [ -x "$program" ] || { echo "run.sh: $program is missing; build with -DPOMVANE_BUILD_BENCH=ON" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }
[[ $(wc --version 2>/dev/null) == *"GNU coreutils"* ]] \
    || { echo "run.sh: wc is not GNU coreutils' wc" >&2; exit 2; }

corpus=$(mktemp -d "${TMPDIR:-/tmp}/pomvane-bench.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
[ "$(stat -f -c %T "$corpus")" != tmpfs ] \
    || { echo "run.sh: $corpus is on tmpfs, which cannot be evicted; set TMPDIR to a folder on a disk" >&2; exit 2; }
big=$corpus/big.txt
small=$corpus/small
list=$corpus/small.list
# The floors' threads: as many as the cores of the 2-core machines the goals were set on for
# cached files, where the system calls bound the time; 16 for cold files, where the disk
# gains from many reads in flight (the gain stops between 8 and 16 on those machines).
cached_threads=2
cold_threads=16

fail() {
    echo "run.sh: FAILED: $*" >&2
    exit 1
}

# Microseconds from bash's own clock: no process is started to read it.
now_us() {
    local t=$EPOCHREALTIME
    echo "${t//[!0-9]/}"
}
# The same without a subshell, into the variable named by $1.
now_us_into() {
    local t=$EPOCHREALTIME
    printf -v "$1" '%s' "${t//[!0-9]/}"
}

# Runs a command with its output thrown away and sets elapsed to how long it took, in
# microseconds. No subshell: its start would fall inside the time.
time_us() {
    local start end
    now_us_into start
    "$@" >/dev/null || fail "$* exited with status $?"
    now_us_into end
    elapsed=$((end - start))
}

median() {
    printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

fastest() {
    printf '%s\n' "$@" | sort -n | head -n 1
}

ms() {
    awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

# How close a time comes to its limit's: the limit's time as a percentage of it.
percent() {
    awk -v limit="$1" -v t="$2" 'BEGIN { printf "%.0f%%", 100 * limit / t }'
}

# The smallest ratio $1[i] / $2[i] over runs taken in turn: arrays named by $1 and $2.
worst_pair() {
    local -n a=$1 b=$2
    local i
    for i in "${!a[@]}"; do ratio "${a[i]}" "${b[i]}"; echo; done | sort -n | head -n 1
}

# At least: $1 >= $2; under: $1 < $2.
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
under() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Non-empty files of the NUL-separated list on standard input whose last byte is not LF: wc
# does not count their last line, pomvane-count does.
unterminated() {
    perl -e '
        $/ = "\0"; my $n = 0;
        while (my $f = <STDIN>) {
            chomp $f;
            open(my $h, "<:raw", $f) or die "$f: $!\n";
            next unless -s $h;
            seek($h, -1, 2) and read($h, my $b, 1) == 1 or die "$f: $!\n";
            $n++ if $b ne "\n";
        }
        print "$n\n";'
}

# Checks pomvane-count's line for the files of the NUL-separated list against wc.
check_counts() {
    local what=$1 list_file=$2 files=$3 output=$4
    local wc_total wc_lines wc_chars extra expected
    wc_total=$(wc -lc --files0-from="$list_file" | tail -n 1)
    read -r wc_lines wc_chars _ <<<"$wc_total"
    extra=$(unterminated <"$list_file")
    expected="files=$files failed=0 characters=$wc_chars lines=$((wc_lines + extra))"
    [ "$output" = "$expected" ] || fail "$what: pomvane-count says '$output', wc says '$expected'"
    echo "counts agree with wc ($what): $output (wc -l $wc_lines + $extra last lines without LF)"
}

# What lscpu says of $1 ("Model name", "Socket(s)", ...), or "?".
cpu_fact() {
    local value
    value=$(lscpu 2>/dev/null | awk -F: -v key="$1" '{ gsub(/^ +| +$/, "", $1) } $1 == key { sub(/^ +/, "", $2); print $2; exit }')
    echo "${value:-?}"
}

# The file system holding folder $1 and the disks under it, as findmnt and lsblk tell.
describe_disk() {
    local source fstype options
    read -r source fstype options < <(findmnt -n -o SOURCE,FSTYPE,OPTIONS -T "$1")
    echo "  $1: $source, $fstype ($options)"
    if [ -b "$source" ]; then
        lsblk -s -o NAME,TYPE,SIZE,ROTA,SCHED,RA,MODEL,TRAN "$source" | sed 's/^/    /'
    else
        echo "    $source is no block device: lsblk cannot say what lies under it"
    fi
}

echo "== host"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "kernel:  $(uname -srm)"
l3=$(getconf LEVEL3_CACHE_SIZE 2>/dev/null || true)
echo "cpu:     $(cpu_fact 'Model name') (family $(cpu_fact 'CPU family'), model $(cpu_fact 'Model')):" \
    "$(nproc) cores online; $(cpu_fact 'Socket(s)') socket(s), $(cpu_fact 'Core(s) per socket') core(s) each," \
    "$(cpu_fact 'Thread(s) per core') thread(s) per core; L3 $([[ $l3 =~ ^[1-9][0-9]*$ ]] && echo "$((l3 >> 20)) MiB" || echo unknown)"
# "none" when there is none (and exit status 1).
virtual() { systemd-detect-virt "$1" 2>/dev/null || true; }
echo "virtual: virtual machine $(virtual --vm), container $(virtual --container) (systemd-detect-virt)"
echo "memory:  $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "disks (findmnt, lsblk):"
describe_disk "$corpus"
[ "$(findmnt -n -o TARGET -T /usr/share)" = "$(findmnt -n -o TARGET -T "$corpus")" ] || describe_disk /usr/share
echo "wc:      $(wc --version | head -n 1)"
# sed, not head: rg would die of SIGPIPE, failing the pipe.
echo "rg:      $(command -v rg >/dev/null && rg --version | sed -n 1p || echo missing)"
echo "load:    $(cut -d ' ' -f 1-3 /proc/loadavg) (1, 5, 15 min) before the runs"

echo "== corpus"
start=$(now_us)
"$make_corpus" big "$big"
"$make_corpus" small "$small" 20000
find "$small" -type f -print0 | sort -z >"$list"
echo "made in $(ms $(($(now_us) - start))) ms: $(stat -c %s "$big") bytes in one file;" \
    "$(tr -cd '\0' <"$list" | wc -c) small files of $(du -sb "$small" | cut -f 1) bytes in all"
# Into the page cache, with the small files' folders and inodes.
cat "$big" >/dev/null
xargs -0 cat <"$list" >/dev/null

echo "== counts"
printf '%s\0' "$big" >"$corpus/big.list"
check_counts "1 GiB file" "$corpus/big.list" 1 "$("$count" "$big")"
small_line=$("$count" --files0-from="$list")
check_counts "20,000 small files" "$list" 20000 "$small_line"
check_counts "20,000 small files as a folder, -r" "$list" 20000 "$("$count" -r "$small")"

# The floors must count what pomvane-count counts, or they measure something else.
check_floor() {
    local what=$1 output=$2
    [ "$output" = "$small_line" ] || fail "$what: floor says '$output', pomvane-count '$small_line'"
    echo "floor agrees ($what)"
}
check_floor "list, $cached_threads threads" "$("$floor" --threads "$cached_threads" --files0-from="$list")"
check_floor "list, $cold_threads threads" "$("$floor" --threads "$cold_threads" --files0-from="$list")"
check_floor "folder, $cached_threads threads" "$("$floor" --threads "$cached_threads" -r "$small")"
check_floor "folder, $cold_threads threads" "$("$floor" --threads "$cold_threads" -r "$small")"

# Takes the files out of the page cache (their folders and inodes stay cached) and checks,
# with mincore, that their data left; fails the run otherwise.
evict_big() { "$evict" "$big" >/dev/null || fail "$big stays in the page cache"; }
evict_small() { "$evict" - <"$list" >/dev/null || fail "the small files stay in the page cache"; }

show_runs() {
    local label=$1 median_us=$2
    shift 2
    local all=() t
    for t in "$@"; do all+=("$(ms "$t")"); done
    printf '%-50s %8s ms   (runs: %s)\n' "$label" "$(ms "$median_us")" "${all[*]}"
}
gib=1073741824
rate() { awk -v t="$1" -v b=$gib 'BEGIN { printf "%.2f", b / t / 1000 }'; }

# Sets t_$1 to the median of the runs given after the label $2, and shows them under it.
keep_median() {
    local name=$1 label=$2
    shift 2
    local m
    m=$(median "$@")
    printf -v "t_$name" '%s' "$m"
    show_runs "$label" "$m" "$@"
}

# What keep_median kept under the name $1.
median_of() {
    local name=t_$1
    echo "${!name}"
}

# A floor's time as a share of pomvane-count's: 1.00 is the floor's speed, above it faster.
share() { ratio "$1" "$2"; }

# One set of timed runs: $1 is cached or cold. Each command takes its turn in every run; a
# cold command has its files evicted just before it starts. Sets t_<temperature>_<what>.
time_all() {
    local temperature=$1 run before_big=: before_small=: threads=$cached_threads disk
    if [ "$temperature" = cold ]; then
        before_big=evict_big
        before_small=evict_small
        threads=$cold_threads
    fi
    local big_count=() big_wc=() big_dd=() small_count=() small_floor=() small_checked=() walk_count=() walk_floor=()
    local small_wc=() small_cat=() small_disk=()
    for ((run = 0; run < runs; ++run)); do
        $before_big
        time_us "$count" "$big"
        big_count+=("$elapsed")
        $before_big
        time_us wc -lc "$big"
        big_wc+=("$elapsed")
        $before_big
        time_us dd if="$big" of=/dev/null bs=128k status=none
        big_dd+=("$elapsed")
        $before_small
        time_us "$count" --files0-from="$list"
        small_count+=("$elapsed")
        $before_small
        time_us "$floor" --threads "$threads" --files0-from="$list"
        small_floor+=("$elapsed")
        $before_small
        time_us "$floor" --threads "$threads" --checked --files0-from="$list"
        small_checked+=("$elapsed")
        $before_small
        time_us "$count" -r "$small"
        walk_count+=("$elapsed")
        $before_small
        time_us "$floor" --threads "$threads" -r "$small"
        walk_floor+=("$elapsed")
        $before_small
        time_us wc -lc --files0-from="$list"
        small_wc+=("$elapsed")
        $before_small
        time_us xargs -0 cat <"$list"
        small_cat+=("$elapsed")
        if [ "$temperature" = cold ]; then
            # O_DIRECT: nothing to evict. Its own clock: no process start in the time.
            disk=$("$disk_floor" "$big" 20000 32) || fail "disk_floor"
            small_disk+=("$(awk -F 'ms=' '{ printf "%.0f", $2 * 1000 }' <<<"$disk")")
        fi
    done
    local t=$temperature
    keep_median "${t}_big_count" "$t 1 GiB: pomvane-count FILE" "${big_count[@]}"
    keep_median "${t}_big_wc" "$t 1 GiB: wc -lc FILE" "${big_wc[@]}"
    keep_median "${t}_big_dd" "$t 1 GiB: dd if=FILE of=/dev/null bs=128k" "${big_dd[@]}"
    keep_median "${t}_small_count" "$t 20,000 files: pomvane-count --files0-from=LIST" "${small_count[@]}"
    keep_median "${t}_small_floor" "$t 20,000 files: floor, $threads threads, LIST" "${small_floor[@]}"
    keep_median "${t}_small_checked" "$t 20,000 files: floor --checked, $threads threads, LIST" "${small_checked[@]}"
    keep_median "${t}_walk_count" "$t 20,000 files: pomvane-count -r FOLDER" "${walk_count[@]}"
    keep_median "${t}_walk_floor" "$t 20,000 files: floor, $threads threads, -r FOLDER" "${walk_floor[@]}"
    keep_median "${t}_small_wc" "$t 20,000 files: wc -lc --files0-from=LIST" "${small_wc[@]}"
    keep_median "${t}_small_cat" "$t 20,000 files: xargs -0 cat <LIST" "${small_cat[@]}"
    if [ "$t" = cold ]; then
        keep_median cold_small_disk "disk's floor: 20,000 random 8 KiB reads, depth 32" "${small_disk[@]}"
    fi
    local big_t dd_t wc_big_t listed_t listed_floor_t walked_t walked_floor_t wc_small_t cat_small_t
    big_t=$(median_of "${t}_big_count")
    dd_t=$(median_of "${t}_big_dd")
    wc_big_t=$(median_of "${t}_big_wc")
    listed_t=$(median_of "${t}_small_count")
    listed_floor_t=$(median_of "${t}_small_floor")
    walked_t=$(median_of "${t}_walk_count")
    walked_floor_t=$(median_of "${t}_walk_floor")
    wc_small_t=$(median_of "${t}_small_wc")
    cat_small_t=$(median_of "${t}_small_cat")
    local worst
    worst=$(worst_pair big_dd big_count)
    printf -v "w_${t}_big_dd" '%s' "$worst"
    echo "$t rates, 1 GiB: pomvane-count $(rate "$big_t") GB/s, wc $(rate "$wc_big_t") GB/s, dd $(rate "$dd_t") GB/s"
    echo "$t shares of the floors' speed: 20,000 files $(share "$listed_floor_t" "$listed_t") (list)," \
        "$(share "$walked_floor_t" "$walked_t") (-r) of the $threads-thread floor's; 1 GiB $(share "$dd_t" "$big_t") of dd's" \
        "(worst run $worst)"
    echo "$t beside wc and cat: 1 GiB $(ratio "$wc_big_t" "$big_t") x wc; 20,000 files $(ratio "$wc_small_t" "$listed_t") x wc," \
        "$(ratio "$cat_small_t" "$listed_t") x cat"
    # The fastest run of each says what the program can do when nothing else holds the disk
    # or a core; on a shared machine the medians carry the others' noise.
    echo "$t shares of the fastest runs: 1 GiB $(share "$(fastest "${big_dd[@]}")" "$(fastest "${big_count[@]}")") of dd's;" \
        "20,000 files $(share "$(fastest "${small_floor[@]}")" "$(fastest "${small_count[@]}")") (list)," \
        "$(share "$(fastest "${walk_floor[@]}")" "$(fastest "${walk_count[@]}")") (-r) of the floor's"
}

echo "== cached times: median of $runs runs, the commands taking turns"
xargs -0 cat <"$list" >/dev/null
time_all cached
echo "== cold times: median of $runs runs, the commands taking turns, the files evicted before each"
# The first read from the disk of data just written takes several times as long as later
# ones here (a cold 1 GiB read by dd: 2.7 s, then 0.5 s), whoever reads it: one untimed read
# each, so that the first command in turn does not pay for it.
evict_big
cat "$big" >/dev/null
evict_small
xargs -0 cat <"$list" >/dev/null
time_all cold

echo "== the cached 1 GiB file once more, read in from the disk: median of $runs runs, taking turns"
# The cached runs above meet the file's pages as make_corpus wrote them. Read in from the disk
# instead (a file counted a second time), the page cache holds them in large folios, which a
# mapping takes a 2 MiB page at a time: fewer faults, fewer TLB misses.
evict_big
cat "$big" >/dev/null
again_count=() again_dd=()
for ((run = 0; run < runs; ++run)); do
    time_us "$count" "$big"
    again_count+=("$elapsed")
    time_us dd if="$big" of=/dev/null bs=128k status=none
    again_dd+=("$elapsed")
done
t_again_count=$(median "${again_count[@]}")
t_again_dd=$(median "${again_dd[@]}")
show_runs "read-in 1 GiB: pomvane-count FILE" "$t_again_count" "${again_count[@]}"
show_runs "read-in 1 GiB: dd if=FILE of=/dev/null bs=128k" "$t_again_dd" "${again_dd[@]}"
echo "read-in share: 1 GiB $(share "$t_again_dd" "$t_again_count") of dd's speed"

echo "== what bounds reading the cached 1 GiB file, in one process (median of $runs runs)"
cat "$big" >/dev/null
paths=$("$read_paths" "$big" "$runs") || fail "read_paths"
echo "$paths"
memory_us=$(awk '$1 == "memory" { printf "%.0f", $2 * 1000 }' <<<"$paths")

echo "== beside the limits: each limit's time as a percentage of pomvane-count's"
echo "cached 1 GiB: $(percent "$memory_us" "$t_cached_big_count") of the memory-read rate" \
    "($(ms "$memory_us") ms, read_paths memory), $(percent "$t_cached_big_dd" "$t_cached_big_count") of dd's rate"
echo "cold 1 GiB: $(percent "$t_cold_big_dd" "$t_cold_big_count") of dd's rate, $(percent "$w_cold_big_dd" 1) in the worst run"
echo "cold 20,000 files: $(percent "$t_cold_small_disk" "$t_cold_small_count") of the disk's random-read floor" \
    "($(ms "$t_cold_small_disk") ms, disk_floor; files laid out side by side may beat it)"

echo "== peak memory of pomvane-count (/usr/bin/time -v)"
peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { print $2 + 0 }'
}
cat "$big" >/dev/null
xargs -0 cat <"$list" >/dev/null
m_cached_big=$(peak_kib "$count" "$big")
m_cached_small=$(peak_kib "$count" --files0-from="$list")
evict_big
m_cold_big=$(peak_kib "$count" "$big")
evict_small
m_cold_small=$(peak_kib "$count" --files0-from="$list")
m_max=$(printf '%s\n' "$m_cached_big" "$m_cached_small" "$m_cold_big" "$m_cold_small" | sort -n | tail -n 1)
echo "cached: 1 GiB file $m_cached_big KiB, 20,000 files $m_cached_small KiB;" \
    "cold: 1 GiB file $m_cold_big KiB, 20,000 files $m_cold_small KiB"

million_runs=5
echo "== 1,000,000 paths: the 20,000 small files 50 times over, cached; median of $million_runs runs, taking turns"
# Five runs, not RUNS: the pair takes several seconds a run.
million=$corpus/million.list
for ((i = 0; i < 50; ++i)); do cat "$list"; done >"$million"
read -r want_files want_failed want_chars want_lines < <(sed 's/[a-z]*=//g' <<<"$small_line")
want_million="files=$((want_files * 50)) failed=$((want_failed * 50)) characters=$((want_chars * 50)) lines=$((want_lines * 50))"
million_count=() million_floor=() million_peak=()
for ((run = 0; run < million_runs; ++run)); do
    now_us_into start
    /usr/bin/time -f %M -o "$corpus/peak" "$count" --files0-from="$million" >"$corpus/million.out" \
        || fail "pomvane-count on 1,000,000 paths"
    now_us_into end
    million_count+=("$((end - start))")
    million_peak+=("$(cat "$corpus/peak")")
    [ "$(cat "$corpus/million.out")" = "$want_million" ] \
        || fail "1,000,000 paths: pomvane-count says '$(cat "$corpus/million.out")', 50 times the small files' line is '$want_million'"
    now_us_into start
    "$floor" --threads "$cached_threads" --files0-from="$million" >"$corpus/million.out" || fail "floor on 1,000,000 paths"
    now_us_into end
    million_floor+=("$((end - start))")
    [ "$(cat "$corpus/million.out")" = "$want_million" ] \
        || fail "1,000,000 paths: floor says '$(cat "$corpus/million.out")', 50 times the small files' line is '$want_million'"
done
m_million=$(printf '%s\n' "${million_peak[@]}" | sort -n | tail -n 1)
keep_median million_count "1,000,000 paths: pomvane-count --files0-from=LIST" "${million_count[@]}"
keep_median million_floor "1,000,000 paths: floor, $cached_threads threads, LIST" "${million_floor[@]}"
echo "1,000,000 paths: $(share "$t_million_floor" "$t_million_count") of the floor's speed;" \
    "peak memory of pomvane-count $(printf '%s KiB ' "${million_peak[@]}")(largest $m_million KiB)"

# Each file's own line as it is counted: nothing may pile up, however many files pass.
/usr/bin/time -f %M -o "$corpus/peak" "$count" --format=ndjson - <"$million" | tail -n 1 >"$corpus/million.out" \
    || fail "pomvane-count --format=ndjson on 1,000,000 paths"
m_million_by_file=$(cat "$corpus/peak")
echo "1,000,000 paths: peak memory of pomvane-count --format=ndjson $m_million_by_file KiB"
# rg exits 1 when nothing matched and 2 when a file could not be read: it did the work all the
# same. Its per-file counts are thrown away, as time_us does with the others' output.
rg_lines() {
    local status=0
    rg -c '' -uuu -- "$1" >/dev/null 2>&1 || status=$?
    [ "$status" -le 2 ]
}
# pomvane-count names the files it could not read; the row times the counting.
count_quietly() { "$count" "$@" 2>/dev/null; }

tree=/usr/share
tree_least=20000
echo "== -r $tree, cached: pomvane-count against rg -c '' -uuu; median of $runs runs, taking turns"
tree_note=
if ! command -v rg >/dev/null; then
    tree_note="skipped: rg is missing (Debian package ripgrep)"
elif ! tree_line=$("$floor" --threads "$cached_threads" -r "$tree"); then
    tree_note="skipped: the floor cannot walk $tree"
else
    # The walk above brought its folders into the cache; these bring the files'.
    read -r tree_files _ tree_bytes _ < <(sed 's/[a-z]*=//g' <<<"$tree_line")
    if [ "$tree_files" -lt "$tree_least" ]; then
        tree_note="skipped: $tree holds $tree_files files, fewer than $tree_least"
    fi
fi
if [ -n "$tree_note" ]; then
    echo "$tree_note"
else
    echo "$tree: $tree_files files, $tree_bytes bytes (the floor's walk)"
    rg_lines "$tree" || fail "rg -c '' -uuu $tree"
    tree_count_line=$(count_quietly -r "$tree") || fail "pomvane-count -r $tree"
    tree_line=$("$floor" --threads "$cached_threads" -r "$tree") || fail "floor -r $tree"
    # A live folder: a package installed meanwhile changes it. The counts are shown, not held to.
    if [ "$tree_count_line" = "$tree_line" ]; then
        echo "counts agree (pomvane-count and the floor): $tree_line"
    else
        echo "counts differ: pomvane-count '$tree_count_line', floor '$tree_line'"
    fi
    tree_count=() tree_rg=() tree_floor=()
    for ((run = 0; run < runs; ++run)); do
        time_us count_quietly -r "$tree"
        tree_count+=("$elapsed")
        time_us rg_lines "$tree"
        tree_rg+=("$elapsed")
        time_us "$floor" --threads "$cached_threads" -r "$tree"
        tree_floor+=("$elapsed")
    done
    keep_median tree_count "$tree: pomvane-count -r" "${tree_count[@]}"
    keep_median tree_rg "$tree: rg -c '' -uuu" "${tree_rg[@]}"
    keep_median tree_floor "$tree: floor, $cached_threads threads, -r" "${tree_floor[@]}"
    echo "$tree: $(ratio "$t_tree_rg" "$t_tree_count") x rg's speed; $(share "$t_tree_floor" "$t_tree_count")" \
        "of the floor's"
fi

# -m: a cached 1 GiB file of mixed scripts, against GNU wc -m in UTF-8 and against counting
# its bytes.
chars_row() {
    local text=$corpus/mixed.txt line run m=() wc_m=() bytes=()
    line='Grüße, Καλημέρα, Здравствуйте, こんにちは世界, مرحبا, 😀 ok!'
    head -c $gib <(yes "$line") >"$text" # not a pipe: yes dies of SIGPIPE, failing it
    cat "$text" >/dev/null
    [ "$("$count" -m "$text" | sed 's/.*characters=\([0-9]*\).*/\1/')" = "$(LC_ALL=C.UTF-8 wc -m <"$text")" ] \
        || fail "-m: pomvane-count and wc -m disagree on $text"
    for ((run = 0; run < runs; ++run)); do
        time_us "$count" -m "$text"
        m+=("$elapsed")
        time_us env LC_ALL=C.UTF-8 wc -m "$text"
        wc_m+=("$elapsed")
        time_us "$count" "$text"
        bytes+=("$elapsed")
    done
    keep_median chars_m "cached 1 GiB mixed: pomvane-count -m" "${m[@]}"
    keep_median chars_wc "cached 1 GiB mixed: LC_ALL=C.UTF-8 wc -m" "${wc_m[@]}"
    keep_median chars_bytes "cached 1 GiB mixed: pomvane-count" "${bytes[@]}"
    rm -f "$text"
}
echo "== characters (-m), cached"
chars_row

# Ignore rules: a work tree (a .git folder suffices) with a .gitignore in every folder, walked
# with the rules and without (--no-ignore); the rules match little, so both read alike.
ignored=$corpus/ignored
echo "== -r with ignore rules against --no-ignore: /usr/share/doc copied, a .gitignore per folder; median of $runs runs"
cp -r /usr/share/doc "$ignored" 2>/dev/null || true
mkdir -p "$ignored/.git"
find "$ignored" -type d ! -path "$ignored/.git" -exec sh -c \
    'for d; do printf "*.tmp\n/build/\n!keep.tmp\n**/cache/*.o\n*~\n" >"$d/.gitignore"; done' sh {} +
echo "$(find "$ignored" -type f | wc -l) files in $(find "$ignored" -type d | wc -l) folders"
count_quietly -r "$ignored" >/dev/null # into the cache
rules_on=() rules_off=()
for ((run = 0; run < runs; ++run)); do
    time_us count_quietly -r "$ignored"
    rules_on+=("$elapsed")
    time_us count_quietly -r --no-ignore "$ignored"
    rules_off+=("$elapsed")
done
keep_median rules_on "pomvane-count -r (rules)" "${rules_on[@]}"
keep_median rules_off "pomvane-count -r --no-ignore" "${rules_off[@]}"

echo "== reset latency: reset() while the 1 GiB file is counted; cached 100 tries, cold 20"
cat "$big" >/dev/null
latency=$("$reset_latency" "$big" 100) || fail "reset_latency"
echo "$latency"
reset_median=$(sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p' <<<"$latency")
reset_max=$(sed -n 's/.*max_ms=\([0-9.]*\).*/\1/p' <<<"$latency")
latency=$("$reset_latency" --cold "$big" 20) || fail "reset_latency --cold"
echo "$latency"
cold_reset_median=$(sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p' <<<"$latency")
cold_reset_max=$(sed -n 's/.*max_ms=\([0-9.]*\).*/\1/p' <<<"$latency")
echo "== reset latency: reset() while the 20,000 small files are walked as a folder, cached, 50 tries"
latency=$("$reset_latency" --walk "$small" 50) || fail "reset_latency --walk"
echo "$latency"
walk_reset_median=$(sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p' <<<"$latency")
walk_reset_max=$(sed -n 's/.*max_ms=\([0-9.]*\).*/\1/p' <<<"$latency")

echo "== Google Benchmark: count_file, add_file, add_files, line_feeds (median of 5 repetitions)"
bench_csv=$corpus/bench.csv
TMPDIR=$corpus "$count_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$bench_csv" --benchmark_out_format=csv | grep -E '_median|^-|^Benchmark' || true
bench_ms() { awk -F, -v name="\"$1_median\"" '$1 == name { print $3 }' "$bench_csv"; }
add_ms=$(bench_ms add_file/queued/100000/manual_time)
adds_ms=$(bench_ms add_files/queued/100000/manual_time)
[ -n "$add_ms" ] && [ -n "$adds_ms" ] || fail "count_bench gave no add_file or add_files time"

echo "== goals: shares are the floor's time over pomvane-count's (1.00: the floor's speed; above: faster)"
goal() {
    printf '%-40s %-26s %-11s %-28s %s\n' "$1" "$2" "$3" "$4" "$5"
}
met() { if "$@"; then echo met; else echo MISSED; fi; }
# A share's goal row: what, floor, least share, the floor's time, pomvane-count's time.
share_goal() {
    local r
    r=$(share "$4" "$5")
    goal "$1" "$2" ">= $3" "$r ($(ms "$4") / $(ms "$5") ms)" "$(met at_least "$r" "$3")"
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
at_most() { at_least "$2" "$1"; }
goal "what" "floor" "goal" "measured" "verdict"
share_goal "20,000 cached small files, list" "floor, $cached_threads threads" 0.87 "$t_cached_small_floor" "$t_cached_small_count"
# Not a goal: the floor making pomvane-count's calls, a stat before each open and an fstat after.
share_goal "  beside the same calls" "floor --checked" 0.87 "$t_cached_small_checked" "$t_cached_small_count"
share_goal "20,000 cached small files, -r" "floor walking, $cached_threads threads" 0.87 "$t_cached_walk_floor" "$t_cached_walk_count"
share_goal "20,000 cold small files, list" "floor, $cold_threads threads" 0.87 "$t_cold_small_floor" "$t_cold_small_count"
share_goal "  beside the same calls" "floor --checked" 0.87 "$t_cold_small_checked" "$t_cold_small_count"
share_goal "20,000 cold small files, -r" "floor walking, $cold_threads threads" 0.87 "$t_cold_walk_floor" "$t_cold_walk_count"
share_goal "1 GiB cached file, as just written" "dd bs=128k" 1.2 "$t_cached_big_dd" "$t_cached_big_count"
share_goal "  the same, read in from the disk" "dd bs=128k" 1.2 "$t_again_dd" "$t_again_count"
r_cold_big=$(share "$t_cold_big_dd" "$t_cold_big_count")
goal "1 GiB cold file, median" "dd bs=128k" ">= 0.95" "$r_cold_big (worst run $w_cold_big_dd)" "$(met at_least "$r_cold_big" 0.95)"
if [ -n "$tree_note" ]; then
    goal "-r $tree, cached" "rg -c '' -uuu" ">= 3.0" "-" "SKIPPED: ${tree_note#skipped: }"
else
    r_tree=$(ratio "$t_tree_rg" "$t_tree_count")
    goal "-r $tree, cached" "rg -c '' -uuu" ">= 3.0" "$r_tree ($(ms "$t_tree_rg") / $(ms "$t_tree_count") ms)" \
        "$(met at_least "$r_tree" 3)"
fi
r_chars=$(ratio "$t_chars_wc" "$t_chars_m")
goal "1 GiB cached mixed scripts, -m" "LC_ALL=C.UTF-8 wc -m" ">= 20x" "$r_chars ($(ms "$t_chars_wc") / $(ms "$t_chars_m") ms)" \
    "$(met at_least "$r_chars" 20)"
share_goal "  the same" "pomvane-count without -m" 0.8 "$t_chars_bytes" "$t_chars_m"
r_rules=$(ratio "$t_rules_on" "$t_rules_off")
goal "-r with a .gitignore per folder" "-r --no-ignore" "<= 1.10" "$r_rules ($(ms "$t_rules_on") / $(ms "$t_rules_off") ms)" \
    "$(met at_most "$r_rules" 1.10)"
share_goal "1,000,000 cached paths" "floor, $cached_threads threads" 0.87 "$t_million_floor" "$t_million_count"
goal "  peak memory of pomvane-count" "" "<= 32 MiB" "$(mib "$m_million") MiB" "$(met at_most "$m_million" 32768)"
goal "  the same, --format=ndjson" "" "<= 32 MiB" "$(mib "$m_million_by_file") MiB" "$(met at_most "$m_million_by_file" 32768)"
m_big=$(printf '%s\n' "$m_cached_big" "$m_cold_big" | sort -n | tail -n 1)
goal "peak memory of pomvane-count, 1 GiB file" "" "<= 16 MiB" "$(mib "$m_big") MiB" "$(met at_most "$m_big" 16384)"
goal "peak memory of pomvane-count, any run" "" "<= 16 MiB" "$(mib "$m_max") MiB" "$(met at_most "$m_max" 16384)"
reset_goal() {
    goal "reset latency, $1, median" "" "<= 1 ms" "$2 ms" "$(met at_most "$2" 1)"
    goal "reset latency, $1, worst" "" "<= 20 ms" "$3 ms" "$(met at_most "$3" 20)"
}
reset_goal "cached" "$reset_median" "$reset_max"
reset_goal "cold" "$cold_reset_median" "$cold_reset_max"
reset_goal "walking" "$walk_reset_median" "$walk_reset_max"
goal "add_file of 100,000 paths, one call each" "" "< 100 ms" "$(awk -v t="$add_ms" 'BEGIN { printf "%.1f", t }') ms" \
    "$(met under "$add_ms" 100)"
goal "add_files of 100,000 paths, one call" "" "< 100 ms" "$(awk -v t="$adds_ms" 'BEGIN { printf "%.1f", t }') ms" \
    "$(met under "$adds_ms" 100)"
