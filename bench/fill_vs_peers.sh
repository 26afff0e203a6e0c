#!/usr/bin/env bash
# Fill speed of spylerom-cli against the fastest free-space fillers of Linux, in one run,
# alternating, on images of its own: a fresh 1 GiB ext4 image (scrub -X -p fillzero, dd with
# O_DIRECT, dd buffered with fsync, the CLI with each pattern and block size) and a 256 MiB
# exFAT image through exfat-fuse (dd buffered against the CLI).
# Usage (as root): bench/fill_vs_peers.sh [RUNS]   (build first: scripts/build.sh build)
# Prints MiB/s (median of RUNS), the ratio to each case's peer and its target, the CLI's peak
# memory and how far the page cache ("Cached" in /proc/meminfo, less the images' own pages)
# grew during a pass (watched in one extra run of each case, untimed).
# Exits 1 when a target is missed. scrub is installed (Debian package scrub) when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/src/cli/spylerom-cli
runs=${1:-3}
[ -x "$cli" ] || { echo "build first: scripts/build.sh build" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root for the loop mounts" >&2; exit 2; }
need=()
command -v scrub >/dev/null || need+=(scrub)
command -v mount.exfat-fuse >/dev/null || need+=(exfat-fuse)
command -v mkfs.exfat >/dev/null || need+=(exfatprogs)
[ -x /usr/bin/time ] || need+=(time)
command -v bc >/dev/null || need+=(bc)
if ((${#need[@]})); then
    echo "installing ${need[*]} (for this benchmark only)" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

work=$(mktemp -d /tmp/spylerom-bench-XXXXXX)
ext4=$work/ext4
exfat=$work/exfat
running=""
cleanup() {
    [ -n "$running" ] && kill "$running" 2>/dev/null && wait "$running" 2>/dev/null
    local busy=0
    for m in "$ext4" "$exfat"; do
        if mountpoint -q "$m"; then
            umount "$m" 2>/dev/null || { sleep 2 && umount "$m"; } || busy=1
        fi
    done
    # Never remove through a mount that is still there: it is the image's content.
    if ((busy)); then
        echo "left $work in place: an image is still mounted there" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
mkdir -p "$ext4" "$exfat" "$work/appdata"
export APPDATA=$work/appdata

truncate -s 1G "$work/ext4.img"
# No lazy initialisation: a background thread zeroing tables would slow whichever fill runs first.
mkfs.ext4 -q -F -b 4096 -m 0 -E lazy_itable_init=0,lazy_journal_init=0 "$work/ext4.img"
mount -o loop "$work/ext4.img" "$ext4"
truncate -s 256M "$work/exfat.img"
mkfs.exfat "$work/exfat.img" >/dev/null
mount -o loop -t exfat-fuse "$work/exfat.img" "$exfat"

now() { date +%s.%N; }
# The page cache less the images' own pages: a loop device writes through the cache of its
# image file, which a real disk does not have.
cached_kib() {
    local images
    images=$(fincore --bytes --noheadings --output RES "$work/ext4.img" "$work/exfat.img" | awk '{s += $1} END {print int(s / 1024)}')
    echo $(($(awk '$1 == "Cached:" {print $2}' /proc/meminfo) - images))
}
free_mib() { echo "$(stat -f -c '%a*%S' "$1") / 1048576" | bc -l; }

# KiB of the fill's own files (anything in the folder) that the page cache holds.
fill_pages_kib() {
    find "$1" -path "$1/lost+found" -prune -o -type f -print0 |
        xargs -0 -r fincore --bytes --noheadings --output RES 2>/dev/null | awk '{s += $1} END {print int(s / 1024)}' ||
        true # a file the fill deleted meanwhile
}

# Runs one fill (the command in "$@", its files under folder $2) and records, in $work/last:
# seconds (the fill and the file system's sync, as the CLI syncs its own), peak KiB of the
# process, the growth of Cached in KiB while it ran, and the peak KiB of the fill's own files in
# the page cache. $1 is "timed" or "watched": the page cache is watched (by sampling every
# 50 ms, which takes CPU time of its own) only in watched runs, whose seconds are not counted.
# Its files are deleted after.
measure() {
    local mode=$1 folder=$2 t0 t1 before peak pages=0 kib pid
    shift 2
    sync
    before=$(cached_kib)
    peak=$before
    t0=$(now)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 &
    pid=$!
    running=$pid
    while [ "$mode" = watched ] && kill -0 "$pid" 2>/dev/null; do
        kib=$(cached_kib)
        ((kib > peak)) && peak=$kib
        kib=$(fill_pages_kib "$folder")
        ((kib > pages)) && pages=$kib
        sleep 0.05
    done
    wait "$pid" || true # dd and scrub end at a full disk with an error
    running=""
    sync -f "$folder"
    t1=$(now)
    echo "$(echo "$t1 - $t0" | bc -l) $(tail -n 1 "$work/rss") $((peak - before)) $pages" >"$work/last"
    find "$folder" -mindepth 1 -maxdepth 1 ! -name lost+found -exec rm -rf {} +
    sync
}

# Each case: name | folder | command. The CLI's cases start with "cli". They run without the
# trim, which no peer does: bench/structure_steps.sh gives its time, and the other steps', apart.
declare -a names folders commands
add() { names+=("$1"); folders+=("$2"); commands+=("$3"); }
add "scrub -X -p fillzero" "$ext4" "scrub -X -p fillzero $ext4/x"
add "dd bs=4M oflag=direct" "$ext4" "dd if=/dev/zero of=$ext4/dd.fill bs=4M oflag=direct status=none"
add "dd bs=1M conv=fsync" "$ext4" "dd if=/dev/zero of=$ext4/dd.fill bs=1M conv=fsync status=none"
for fill in null en tilfeldig; do
    add "cli $fill 65536" "$ext4" "$cli --no-trim --fill $fill --block-size 65536 $ext4"
done
add "cli null 4096" "$ext4" "$cli --no-trim --fill null --block-size 4096 $ext4"
add "cli null 512" "$ext4" "$cli --no-trim --fill null --block-size 512 $ext4"
add "exFAT dd bs=1M conv=fsync" "$exfat" "dd if=/dev/zero of=$exfat/dd.fill bs=1M conv=fsync status=none"
add "exFAT cli null 65536" "$exfat" "$cli --no-trim --fill null --block-size 65536 $exfat"

# Peer and target of each case that has one.
declare -A peer=(
    ["cli null 65536"]="scrub -X -p fillzero" ["cli en 65536"]="scrub -X -p fillzero"
    ["cli tilfeldig 65536"]="scrub -X -p fillzero"
    ["cli null 4096"]="cli null 65536" ["cli null 512"]="cli null 65536"
    ["exFAT cli null 65536"]="exFAT dd bs=1M conv=fsync")
declare -A target=(
    ["cli null 65536"]=1.00 ["cli en 65536"]=1.00 ["cli tilfeldig 65536"]=0.90
    ["cli null 4096"]=0.90 ["cli null 512"]=0.90 ["exFAT cli null 65536"]=0.90)

ext4_mib=$(free_mib "$ext4")
exfat_mib=$(free_mib "$exfat")
printf 'ext4: 1 GiB image, %.0f MiB free; exFAT (exfat-fuse): 256 MiB image, %.0f MiB free\n' \
    "$ext4_mib" "$exfat_mib"
printf '%s timed runs each, alternating (median), and one watched for the page cache; %s, %s cores\n\n' "$runs" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" "$(nproc)"

declare -A seconds peak_kib cache_kib pages_kib
# The timed runs, then one watched run of each case for the page cache.
for ((r = 0; r <= runs; r++)); do
    mode=timed
    ((r == runs)) && mode=watched
    for i in "${!names[@]}"; do
        # shellcheck disable=SC2086 # the command is split into words on purpose
        measure $mode "${folders[$i]}" ${commands[$i]}
        read -r s k c p <"$work/last"
        name=${names[$i]}
        [ $mode = timed ] && seconds[$name]+="$s "
        ((k > ${peak_kib[$name]:-0})) && peak_kib[$name]=$k
        ((c > ${cache_kib[$name]:-0})) && cache_kib[$name]=$c
        ((p > ${pages_kib[$name]:-0})) && pages_kib[$name]=$p
    done
done

median() { tr ' ' '\n' | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A speed
for name in "${names[@]}"; do
    mib=$ext4_mib
    [[ $name == exFAT* ]] && mib=$exfat_mib
    speed[$name]=$(echo "$mib / $(echo "${seconds[$name]}" | median)" | bc -l)
done

status=0
printf '%-26s %8s %6s %6s  %-22s %8s %8s %8s\n' fill 'MiB/s' ratio target peer 'peak' 'Cached+' 'pages'
for name in "${names[@]}"; do
    ratio=- goal=- mark=
    if [ -n "${peer[$name]:-}" ]; then
        ratio=$(printf '%.2f' "$(echo "${speed[$name]} / ${speed[${peer[$name]}]}" | bc -l)")
        goal=${target[$name]}
        if (($(echo "$ratio < $goal" | bc))); then
            mark='  (below)'
            status=1
        fi
    fi
    peak_mib=$(echo "${peak_kib[$name]:-0} / 1024" | bc -l)
    pages_mib=$(echo "${pages_kib[$name]:-0} / 1024" | bc -l)
    if [[ $name == *cli* ]]; then
        (($(echo "$peak_mib >= 64" | bc))) && { mark+='  (memory)'; status=1; }
        (($(echo "$pages_mib >= 64" | bc))) && { mark+='  (cache)'; status=1; }
    fi
    printf '%-26s %8.0f %6s %6s  %-22s %8.1f %8.0f %8.0f%s\n' "$name" "${speed[$name]}" "$ratio" "$goal" \
        "${peer[$name]:--}" "$peak_mib" "$(echo "${cache_kib[$name]:-0} / 1024" | bc -l)" "$pages_mib" "$mark"
done
cat <<'TEXT'

MiB/s: free space of the image over the time to fill it and sync; ratio: to the peer named.
peak: peak memory of the process (MiB; target for spylerom-cli below 64). Cached+: growth of
Cached in /proc/meminfo during the watched pass, less the images' own pages (MiB; the whole
machine's, so other work on it shows too). pages: the most of the fill's own files that the page
cache held at once in the watched pass (MiB; target for spylerom-cli below 64). The page cache is
sampled only in that pass, as the sampling's own work would slow the timed ones.
TEXT
exit $status
