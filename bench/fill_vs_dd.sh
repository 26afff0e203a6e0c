#!/usr/bin/env bash
# Fill speed of spylerom-cli against dd on the same 1 GiB ext4 image, in one run.
# Usage (as root): bench/fill_vs_dd.sh [RUNS]   (build first: scripts/build.sh build)
# Prints MiB/s per fill and the ratio to dd, and the CLI's peak memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/src/cli/spylerom-cli
runs=${1:-3}
[ -x "$cli" ] || { echo "build first: scripts/build.sh build" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root for the loop mount" >&2; exit 2; }

work=$(mktemp -d /tmp/spylerom-bench-XXXXXX)
mnt=$work/mnt
cleanup() { umount "$mnt" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$mnt" "$work/appdata"
truncate -s 1G "$work/disk.img"
# No lazy initialisation: a background thread zeroing tables would slow whichever fill runs first.
mkfs.ext4 -q -F -b 4096 -m 0 -E lazy_itable_init=0,lazy_journal_init=0 "$work/disk.img"
mount -o loop "$work/disk.img" "$mnt"
export APPDATA=$work/appdata

now() { date +%s.%N; }
free_bytes() { stat -f -c '%a*%S' "$mnt" | bc; }

# Seconds for one fill by dd: zeros in 1 MiB blocks until the disk is full, then fsync.
time_dd() {
    local t0 t1
    sync
    t0=$(now)
    dd if=/dev/zero of="$mnt/dd.fill" bs=1M conv=fsync status=none 2>/dev/null || true
    t1=$(now)
    rm -f "$mnt/dd.fill"
    sync
    echo "$t1 - $t0" | bc -l
}

# Seconds for one fill by spylerom-cli with the given fill and block size; peak KiB to $work/peak.
time_cli() {
    local t0 t1
    sync
    t0=$(now)
    /usr/bin/time -f %M -o "$work/peak" "$cli" --fill "$1" --block-size "$2" "$mnt" 2>/dev/null
    t1=$(now)
    sync
    echo "$t1 - $t0" | bc -l
}

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

bytes=$(free_bytes)
mib=$(echo "$bytes / 1048576" | bc -l)
printf 'image: 1 GiB ext4, %.0f MiB free, %d runs each (median)\n\n' "$mib" "$runs"

declare -A seconds
peak=0
cases=("dd" "null 65536" "en 65536" "tilfeldig 65536" "null 4096")
for ((r = 0; r < runs; r++)); do
    for c in "${cases[@]}"; do
        if [ "$c" = dd ]; then
            s=$(time_dd)
        else
            s=$(time_cli $c)
            k=$(cat "$work/peak")
            ((k > peak)) && peak=$k
        fi
        seconds[$c]+="$s "
    done
done

dd_s=$(echo "${seconds[dd]}" | tr ' ' '\n' | grep . | median)
dd_speed=$(echo "$mib / $dd_s" | bc -l)
printf '%-32s %10s %8s %8s\n' fill 'MiB/s' ratio target
printf '%-32s %10.0f %8s %8s\n' "dd bs=1M conv=fsync" "$dd_speed" 1.00 -
declare -A target=(["null 65536"]=0.90 ["en 65536"]=0.90 ["tilfeldig 65536"]=0.75 ["null 4096"]=0.70)
status=0
for c in "${cases[@]:1}"; do
    s=$(echo "${seconds[$c]}" | tr ' ' '\n' | grep . | median)
    speed=$(echo "$mib / $s" | bc -l)
    ratio=$(echo "$speed / $dd_speed" | bc -l)
    ok=$(echo "$ratio >= ${target[$c]}" | bc)
    ((ok)) || status=1
    printf '%-32s %10.0f %8.2f %8s%s\n' "spylerom-cli $c" "$speed" "$ratio" "${target[$c]}" "$( ((ok)) || echo '  (below)')"
done
printf '\npeak memory of spylerom-cli: %.1f MiB (target below 32 MiB)\n' "$(echo "$peak / 1024" | bc -l)"
((peak < 32768)) || status=1
exit $status
