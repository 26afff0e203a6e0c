#!/usr/bin/env bash
# The CLI's fixed cost of a pass against scrub's, on a RAM-backed ext4 image that is all but full
# (2 MiB free), with DEVICES more loop devices mounted beside it (the drive lookups must not grow
# with the machine's devices), alternating, in one run.
# Usage (as root): bench/cli_start.sh [RUNS] [DEVICES]   (build first: scripts/build.sh build)
# Prints the median milliseconds of each and the CLI's excess over scrub; the target is at most
# 10 ms more than scrub. Exits 1 when it is missed. scrub is installed when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/src/cli/spylerom-cli
runs=${1:-21}
devices=${2:-10}
[ -x "$cli" ] || { echo "build first: scripts/build.sh build" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root for the loop mounts" >&2; exit 2; }
command -v scrub >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq scrub >/dev/null

images=$(mktemp -d /dev/shm/spylerom-start-XXXXXX) # the images in memory: no disk's noise
mounts=$(mktemp -d /tmp/spylerom-start-XXXXXX)     # the mount points where drives are listed
loops=()
cleanup() {
    local m
    for m in "$mounts"/*; do
        mountpoint -q "$m" && umount "$m"
    done
    for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
    rm -rf "$images"
    rmdir "$mounts"/* "$mounts" 2>/dev/null || true
}
trap cleanup EXIT

for i in $(seq 1 "$devices"); do
    truncate -s 8M "$images/x$i.img"
    mkfs.ext4 -q -L "x$i" "$images/x$i.img"
    loops+=("$(losetup -f --show "$images/x$i.img")")
    mkdir "$mounts/x$i"
    mount "${loops[-1]}" "$mounts/x$i"
done
drive=$mounts/drive
mkdir "$drive"
truncate -s 64M "$images/drive.img"
mkfs.ext4 -q -m 0 "$images/drive.img"
mount -o loop "$images/drive.img" "$drive"
free=$(($(stat -f -c '%a*%S' "$drive")))
dd if=/dev/zero of="$drive/keep" bs=1M count=$((free / 1048576 - 2)) status=none
sync
export APPDATA=$images/appdata

ms() { # runs the command, prints its wall milliseconds
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true # scrub ends at the full disk with an error
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

ours=()
theirs=()
for _ in 1 2; do # warm-up
    ms "$cli" "$drive" >/dev/null
    ms scrub -X -p fillzero "$drive/scrub" >/dev/null
done
for _ in $(seq 1 "$runs"); do
    ours+=("$(ms "$cli" --no-trim "$drive")") # the trim is timed apart (bench/structure_steps.sh)
    theirs+=("$(ms scrub -X -p fillzero "$drive/scrub")")
done
a=$(printf '%s\n' "${ours[@]}" | median)
b=$(printf '%s\n' "${theirs[@]}" | median)
printf '%s runs each, alternating, %s more mounted loop devices; %s, %s cores\n' "$runs" "$devices" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" "$(nproc)"
printf 'spylerom-cli: %s ms   scrub -X: %s ms   excess: %s ms (target: at most 10)\n' "$a" "$b" "$((a - b))"
((a - b <= 10))
