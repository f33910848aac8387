#!/usr/bin/env bash
# Times pomvane-count against GNU wc, dd and cat on a corpus made for the purpose, with the
# files cached and cold (taken out of the page cache before every timed run), checks that
# the counts agree with wc, and runs the engine's own benchmarks. Each figure is also shown
# beside the machine's own limit for it, as a percentage: the rate this core reads memory
# (cached big file), dd's rate (big file) and the disk's random-read floor, as many 8 KiB
# reads as there are small files at queue depth 32 (cold small files). Run it as
# ./dev.sh bench.
#   bench/run.sh BUILD_DIR [RUNS]
# BUILD_DIR holds pomvane-count and bench/ (built with POMVANE_BUILD_BENCH); each time is the
# median of RUNS runs (default 7, at least 5), the commands taking turns. The corpus (about
# 1.1 GiB) lives in a temporary folder under ${TMPDIR:-/tmp}, which must be on a disk (not
# tmpfs) for the cold runs, and is removed on exit. Takes about ten minutes.
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
for program in "$count" "$make_corpus" "$reset_latency" "$count_bench" "$read_paths" "$evict" "$disk_floor"; do
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

echo "== machine"
echo "date:    $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "kernel:  $(uname -srm)"
echo "cpu:     $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "memory:  $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "wc:      $(wc --version | head -n 1)"
echo "load:    $(cut -d ' ' -f 1-3 /proc/loadavg) (1, 5, 15 min) before the runs"
echo "folder:  $corpus ($(df -h --output=source,fstype "$corpus" | tail -n 1 | tr -s ' '))"

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
check_counts "20,000 small files" "$list" 20000 "$("$count" - <"$list")"

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

# One set of timed runs: $1 is cached or cold. Each command takes its turn in every run; a
# cold command has its files evicted just before it starts. Sets t_<temperature>_<what>.
time_all() {
    local temperature=$1 run before_big=: before_small=: floor
    if [ "$temperature" = cold ]; then
        before_big=evict_big
        before_small=evict_small
    fi
    local big_count=() big_wc=() big_dd=() small_count=() small_wc=() small_cat=() small_floor=()
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
        time_us "$count" - <"$list"
        small_count+=("$elapsed")
        $before_small
        time_us wc -lc --files0-from="$list"
        small_wc+=("$elapsed")
        $before_small
        time_us xargs -0 cat <"$list"
        small_cat+=("$elapsed")
        if [ "$temperature" = cold ]; then
            # O_DIRECT: nothing to evict. Its own clock: no process start in the time.
            floor=$("$disk_floor" "$big" 20000 32) || fail "disk_floor"
            small_floor+=("$(awk -F 'ms=' '{ printf "%.0f", $2 * 1000 }' <<<"$floor")")
        fi
    done
    local a b c d e f
    a=$(median "${big_count[@]}")
    b=$(median "${big_wc[@]}")
    c=$(median "${big_dd[@]}")
    d=$(median "${small_count[@]}")
    e=$(median "${small_wc[@]}")
    f=$(median "${small_cat[@]}")
    printf -v "t_${temperature}_big_count" '%s' "$a"
    printf -v "t_${temperature}_big_dd" '%s' "$c"
    printf -v "t_${temperature}_small_count" '%s' "$d"
    printf -v "t_${temperature}_small_wc" '%s' "$e"
    local worst
    worst=$(worst_pair big_dd big_count)
    printf -v "w_${temperature}_big_dd" '%s' "$worst"
    show_runs "$temperature 1 GiB: pomvane-count FILE" "$a" "${big_count[@]}"
    show_runs "$temperature 1 GiB: wc -lc FILE" "$b" "${big_wc[@]}"
    show_runs "$temperature 1 GiB: dd if=FILE of=/dev/null bs=128k" "$c" "${big_dd[@]}"
    show_runs "$temperature 20,000 files: pomvane-count - <LIST" "$d" "${small_count[@]}"
    show_runs "$temperature 20,000 files: wc -lc --files0-from=LIST" "$e" "${small_wc[@]}"
    show_runs "$temperature 20,000 files: xargs -0 cat <LIST" "$f" "${small_cat[@]}"
    if [ "$temperature" = cold ]; then
        t_cold_small_floor=$(median "${small_floor[@]}")
        show_runs "disk's floor: 20,000 random 8 KiB reads, depth 32" "$t_cold_small_floor" "${small_floor[@]}"
    fi
    echo "$temperature rates, 1 GiB: pomvane-count $(rate "$a") GB/s, wc $(rate "$b") GB/s, dd $(rate "$c") GB/s"
    echo "$temperature ratios: 1 GiB vs wc $(ratio "$b" "$a") x, vs dd $(ratio "$c" "$a") of dd's rate" \
        "(worst run $worst); 20,000 files vs wc $(ratio "$e" "$d") x, vs cat $(ratio "$f" "$d") x"
    # The fastest run of each says what the program can do when nothing else holds the disk
    # or a core; on a shared machine the medians carry the others' noise.
    echo "$temperature ratios of the fastest runs: 1 GiB vs dd $(ratio "$(fastest "${big_dd[@]}")" "$(fastest "${big_count[@]}")")" \
        "of dd's rate; 20,000 files vs wc $(ratio "$(fastest "${small_wc[@]}")" "$(fastest "${small_count[@]}")") x"
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
echo "read-in ratio: 1 GiB vs dd $(ratio "$t_again_dd" "$t_again_count") of dd's rate"

echo "== what bounds reading the cached 1 GiB file, in one process (median of $runs runs)"
cat "$big" >/dev/null
paths=$("$read_paths" "$big" "$runs") || fail "read_paths"
echo "$paths"
memory_us=$(awk '$1 == "memory" { printf "%.0f", $2 * 1000 }' <<<"$paths")

echo "== beside the limits: each limit's time as a percentage of pomvane-count's"
echo "cached 1 GiB: $(percent "$memory_us" "$t_cached_big_count") of the memory-read rate" \
    "($(ms "$memory_us") ms, read_paths memory), $(percent "$t_cached_big_dd" "$t_cached_big_count") of dd's rate"
echo "cold 1 GiB: $(percent "$t_cold_big_dd" "$t_cold_big_count") of dd's rate, $(percent "$w_cold_big_dd" 1) in the worst run"
echo "cold 20,000 files: $(percent "$t_cold_small_floor" "$t_cold_small_count") of the disk's random-read floor" \
    "($(ms "$t_cold_small_floor") ms, disk_floor; files laid out side by side may beat it)"

echo "== peak memory of pomvane-count (/usr/bin/time -v)"
peak_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { print $2 + 0 }'
}
cat "$big" >/dev/null
xargs -0 cat <"$list" >/dev/null
m_cached_big=$(peak_kib "$count" "$big")
m_cached_small=$(peak_kib "$count" - <"$list")
evict_big
m_cold_big=$(peak_kib "$count" "$big")
evict_small
m_cold_small=$(peak_kib "$count" - <"$list")
m_max=$(printf '%s\n' "$m_cached_big" "$m_cached_small" "$m_cold_big" "$m_cold_small" | sort -n | tail -n 1)
echo "cached: 1 GiB file $m_cached_big KiB, 20,000 files $m_cached_small KiB;" \
    "cold: 1 GiB file $m_cold_big KiB, 20,000 files $m_cold_small KiB"

echo "== 1,000,000 paths: the 20,000 small files 50 times over, cached; median of 3 runs, taking turns"
# Three runs, not RUNS: wc takes half a minute or more on this list.
million=$corpus/million.list
for ((i = 0; i < 50; ++i)); do cat "$list"; done >"$million"
small_line=$("$count" - <"$list")
read -r want_files want_failed want_chars want_lines < <(sed 's/[a-z]*=//g' <<<"$small_line")
want_million="files=$((want_files * 50)) failed=$((want_failed * 50)) characters=$((want_chars * 50)) lines=$((want_lines * 50))"
million_count=() million_wc=() million_peak=()
for ((run = 0; run < 3; ++run)); do
    now_us_into start
    /usr/bin/time -f %M -o "$corpus/peak" "$count" - <"$million" >"$corpus/million.out" || fail "pomvane-count on 1,000,000 paths"
    now_us_into end
    million_count+=("$((end - start))")
    million_peak+=("$(cat "$corpus/peak")")
    [ "$(cat "$corpus/million.out")" = "$want_million" ] \
        || fail "1,000,000 paths: pomvane-count says '$(cat "$corpus/million.out")', 50 times the small files' line is '$want_million'"
    time_us wc -lc --files0-from="$million"
    million_wc+=("$elapsed")
done
t_million_count=$(median "${million_count[@]}")
t_million_wc=$(median "${million_wc[@]}")
m_million=$(printf '%s\n' "${million_peak[@]}" | sort -n | tail -n 1)
show_runs "1,000,000 paths: pomvane-count - <LIST" "$t_million_count" "${million_count[@]}"
show_runs "1,000,000 paths: wc -lc --files0-from=LIST" "$t_million_wc" "${million_wc[@]}"
echo "1,000,000 paths: peak memory of pomvane-count $(printf '%s KiB ' "${million_peak[@]}")(largest $m_million KiB)"
# Each file's own line as it is counted: nothing may pile up, however many files pass.
/usr/bin/time -f %M -o "$corpus/peak" "$count" --format=ndjson - <"$million" | tail -n 1 >"$corpus/million.out" \
    || fail "pomvane-count --format=ndjson on 1,000,000 paths"
m_million_by_file=$(cat "$corpus/peak")
echo "1,000,000 paths: peak memory of pomvane-count --format=ndjson $m_million_by_file KiB"

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
"$reset_latency" --walk "$small" 50 || fail "reset_latency --walk"

echo "== Google Benchmark: count_file, add_file, add_files, line_feeds (median of 5 repetitions)"
bench_csv=$corpus/bench.csv
TMPDIR=$corpus "$count_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$bench_csv" --benchmark_out_format=csv | grep -E '_median|^-|^Benchmark' || true
bench_ms() { awk -F, -v name="\"$1_median\"" '$1 == name { print $3 }' "$bench_csv"; }
add_ms=$(bench_ms add_file/queued/100000/manual_time)
adds_ms=$(bench_ms add_files/queued/100000/manual_time)
[ -n "$add_ms" ] && [ -n "$adds_ms" ] || fail "count_bench gave no add_file or add_files time"

echo "== goals"
goal() {
    printf '%-50s %-14s %-24s %s\n' "$1" "$2" "$3" "$4"
}
met() { if "$@"; then echo met; else echo MISSED; fi; }
r_cold_small=$(ratio "$t_cold_small_wc" "$t_cold_small_count")
r_cold_big=$(ratio "$t_cold_big_dd" "$t_cold_big_count")
r_cached_small=$(ratio "$t_cached_small_wc" "$t_cached_small_count")
r_cached_big=$(ratio "$t_cached_big_dd" "$t_cached_big_count")
m_big=$(printf '%s\n' "$m_cached_big" "$m_cold_big" | sort -n | tail -n 1)
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
goal "what" "goal" "measured" "verdict"
goal "20,000 cold small files vs wc --files0-from" ">= 12 x" "$r_cold_small x" "$(met at_least "$r_cold_small" 12)"
goal "1 GiB cold file vs dd bs=128k, every run" ">= 0.95 of dd" "$w_cold_big_dd (median $r_cold_big)" \
    "$(met at_least "$w_cold_big_dd" 0.95)"
goal "20,000 cached small files vs wc --files0-from" ">= 10 x" "$r_cached_small x" "$(met at_least "$r_cached_small" 10)"
goal "1 GiB cached file vs dd bs=128k" ">= 1.3 x" "$r_cached_big x" "$(met at_least "$r_cached_big" 1.3)"
r_again_big=$(ratio "$t_again_dd" "$t_again_count")
goal "  the same, read in from the disk" ">= 1.3 x" "$r_again_big x" "$(met at_least "$r_again_big" 1.3)"
goal "peak memory of pomvane-count, 1 GiB file" "<= 16 MiB" "$(mib "$m_big") MiB" "$(met at_least 16384 "$m_big")"
goal "peak memory of pomvane-count, any run" "<= 16 MiB" "$(mib "$m_max") MiB" "$(met at_least 16384 "$m_max")"
r_million=$(ratio "$t_million_wc" "$t_million_count")
goal "1,000,000 paths vs wc --files0-from" ">= 8.0 x" "$r_million x" "$(met at_least "$r_million" 8.0)"
goal "peak memory of pomvane-count, 1,000,000 paths" "<= 32 MiB" "$(mib "$m_million") MiB" "$(met at_least 32768 "$m_million")"
goal "  the same, --format=ndjson" "<= 32 MiB" "$(mib "$m_million_by_file") MiB" \
    "$(met at_least 32768 "$m_million_by_file")"
goal "reset latency, cached, median" "< 5 ms" "$reset_median ms" "$(met under "$reset_median" 5)"
goal "reset latency, cached, maximum" "< 20 ms" "$reset_max ms" "$(met under "$reset_max" 20)"
goal "reset latency, cold, median" "< 5 ms" "$cold_reset_median ms" "$(met under "$cold_reset_median" 5)"
goal "reset latency, cold, maximum" "< 20 ms" "$cold_reset_max ms" "$(met under "$cold_reset_max" 20)"
goal "add_file of 100,000 paths, one call each" "< 100 ms" "$(awk -v t="$add_ms" 'BEGIN { printf "%.1f", t }') ms" \
    "$(met under "$add_ms" 100)"
goal "add_files of 100,000 paths, one call" "< 100 ms" "$(awk -v t="$adds_ms" 'BEGIN { printf "%.1f", t }') ms" \
    "$(met under "$adds_ms" 100)"
