#!/usr/bin/env bash
# The real program under Xvfb, counting a file whose read never returns (on a FUSE mount
# served by stallfs): Escape must end it within half a second, with status 0.
#   stalled_close_test.sh POMVANE STALLFS
# The file is given on the command line. Linux kernels keep a process whose thread waits on
# a FUSE server from finishing its exit, so what must happen within the limit is what the program
# does itself: its window goes and its main thread ends. The rest follows once the test ends
# the stall. Needs root for the mount; exits 77 (skipped) without /dev/fuse, but fails in CI.
set -uo pipefail

# shellcheck disable=SC2034  # read by xvfb_helper.sh
name=stalled_close_test usage="POMVANE STALLFS" tools=(xdotool)
# shellcheck source=../xvfb_helper.sh
. "$(dirname "$0")/../xvfb_helper.sh"
under_xvfb 2 2 "$@"
pomvane=${args[0]}
stallfs=${args[1]}
stallfs_pid=
# Ending the server answers every held read, so nothing stays blocked after the test.
cleanup_more() {
    [ -n "$stallfs_pid" ] && kill "$stallfs_pid" 2>/dev/null && wait "$stallfs_pid"
}
mkdir "$scratch/mount"

coproc served { exec "$stallfs" "$scratch/mount" 2>&1; }
stallfs_pid=$served_PID
read -r -t 20 answer <&"${served[0]}"
if [ "${answer:-}" != ready ]; then
    stallfs_pid=
    [ -n "${CI:-}" ] && fail "cannot mount the stalling file system: ${answer:-no answer}"
    echo "stalled_close_test: skipped, cannot mount the stalling file system: ${answer:-no answer}"
    exit 77
fi

"$pomvane" --new-window "$scratch/mount/stall" &
pid=$!
pids+=("$pid")
window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "$pomvane showed no window"

# The worker is blocked once one of the program's threads waits for the FUSE server.
blocked=
for _ in $(seq 300); do
    if grep -qs '^request_wait_answer$' /proc/"$pid"/task/*/wchan; then
        blocked=yes
        break
    fi
    sleep 0.1
done
[ -n "$blocked" ] || fail "no thread of the program came to wait on the stalled read"

# The main thread has ended once its task is a zombie or gone.
main_ended() {
    local state
    state=$(sed -n 's/^State:[[:space:]]*\(.\).*/\1/p' /proc/"$pid"/task/"$pid"/status 2>/dev/null)
    [ -z "$state" ] || [ "$state" = Z ]
}
start=$(date +%s%N)
xdotool key --window "$window" Escape 2>/dev/null
ended=
while [ $(($(date +%s%N) - start)) -lt 500000000 ]; do
    if main_ended; then
        ended=$(($(date +%s%N) - start))
        break
    fi
    sleep 0.01
done
[ -n "$ended" ] || fail "the main thread still runs half a second after Escape, with a read held"
xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1 && fail "the window is still shown"

kill "$stallfs_pid"
wait "$stallfs_pid"
stallfs_pid=
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Escape, expected 0"
echo "stalled_close_test: main thread ended $((ended / 1000000)) ms after Escape, with the read held"
