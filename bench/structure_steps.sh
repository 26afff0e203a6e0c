#!/usr/bin/env bash
# What the steps past the free space cost beside the fill's own time, on fresh 1 GiB images of
# ext4, xfs and btrfs (as root): each pass runs with the detail log on, which times every step
# ("Steget <name> tok N ms"), and the whole process is timed. Then btrfs's metadata relocation
# against the amount of metadata: images that keep 0, 20 000 and 80 000 small files.
# Usage (as root): bench/structure_steps.sh [RUNS]   (build first: scripts/build.sh build)
# Prints the median of RUNS for each figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/src/cli/spylerom-cli
runs=${1:-3}
[ -x "$cli" ] || { echo "build first: scripts/build.sh build" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root for the loop mounts" >&2; exit 2; }

work=$(mktemp -d /tmp/spylerom-steps-XXXXXX)
mnt=$work/mnt
cleanup() {
    if mountpoint -q "$mnt"; then
        umount "$mnt" 2>/dev/null || { sleep 2 && umount "$mnt"; } || {
            echo "left $work in place: its image is still mounted" >&2
            return
        }
    fi
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$mnt" "$work/appdata/Solvarek/etc"
export APPDATA=$work/appdata
printf '[STANDARD]\r\nLogToFile=1\r\nVerboseLogging=1\r\n' >"$work/appdata/Solvarek/etc/solvarek.ini"
log=$work/appdata/Solvarek/log/spylerom-cli.log

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR ? a[int((NR + 1) / 2)] : "-") }'; }

# A fresh image of type $1 that keeps $2 small files, mounted at $mnt.
make_image() {
    umount "$mnt" 2>/dev/null || true
    rm -f "$work/disk.img"
    truncate -s 1G "$work/disk.img"
    case $1 in
    ext4) mkfs.ext4 -q -F -m 0 -E lazy_itable_init=0,lazy_journal_init=0 "$work/disk.img" ;;
    xfs) mkfs.xfs -q -f "$work/disk.img" ;;
    btrfs) mkfs.btrfs -q -f "$work/disk.img" >/dev/null ;;
    esac
    mount -o loop "$work/disk.img" "$mnt"
    if (($2 > 0)); then
        mkdir "$mnt/kept"
        head -c 1500 /dev/urandom >"$work/note"
        for ((i = 0; i < $2; i++)); do cp "$work/note" "$mnt/kept/$i"; done
    fi
    sync
}

# One pass; prints "<whole ms> <step>=<ms> ..." of it.
one_pass() {
    rm -f "$log"
    local start end
    start=$(date +%s%N)
    "$cli" --debug "$mnt" >/dev/null 2>&1
    end=$(date +%s%N)
    printf '%s' $(((end - start) / 1000000))
    grep -o 'Steget [a-z]* tok [0-9]* ms' "$log" | awk '{ printf " %s=%s", $2, $4 }'
    echo
}

steps="flytting metadata logg journal trim"
echo "| file system | whole pass ms | fill ms | $(echo $steps | sed 's/ / ms | /g') ms |"
echo "|---|---:|---:|$(for s in $steps; do printf -- '---:|'; done)"
for fs in ext4 xfs btrfs; do
    results=()
    for ((r = 0; r < runs; r++)); do
        make_image "$fs" 0
        results+=("$(one_pass)")
    done
    row="| $fs | $(printf '%s\n' "${results[@]}" | awk '{print $1}' | median)"
    stepsum=()
    for ((r = 0; r < runs; r++)); do
        stepsum+=("$(echo "${results[$r]}" | tr ' ' '\n' | awk -F= 'NF == 2 { s += $2 } END { print s + 0 }')")
    done
    fill=$(for ((r = 0; r < runs; r++)); do
        echo $(($(echo "${results[$r]}" | awk '{print $1}') - ${stepsum[$r]}))
    done | median)
    row="$row | $fill"
    for s in $steps; do
        row="$row | $(printf '%s\n' "${results[@]}" | grep -o "$s=[0-9]*" | cut -d= -f2 | median)"
    done
    echo "$row |"
done

echo
echo "btrfs metadata relocation against the metadata it moves:"
echo "| small files kept | metadata MiB | relocation ms |"
echo "|---:|---:|---:|"
for files in 0 20000 80000; do
    times=()
    meta=0
    for ((r = 0; r < runs; r++)); do
        make_image btrfs "$files"
        meta=$(btrfs filesystem df -b "$mnt" | awk -F'used=' '/^Metadata/ { split($2, a, /[ ,]/); printf "%.1f", a[1] / 1048576 }')
        times+=("$(one_pass | grep -o 'flytting=[0-9]*' | cut -d= -f2)")
    done
    echo "| $files | $meta | $(printf '%s\n' "${times[@]}" | median) |"
done
