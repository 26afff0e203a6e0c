#!/usr/bin/env bash
# Fill speed of spylerom-cli against the fastest free-space fillers of Linux, in one run,
# alternating, on images of its own: a fresh 1 GiB ext4 image (scrub -X -p fillzero, dd with
# O_DIRECT, dd buffered with fsync, the CLI with each pattern and block size) and a 256 MiB
# exFAT image through exfat-fuse (dd buffered against the CLI).
# Usage (as root): bench/fill_vs_peers.sh [RUNS]   (build first: scripts/build.sh build)
# Prints MiB/s (median of RUNS), the ratio to each case's peer and its target, the CLI's peak
# memory and how far the page cache ("Cached" in /proc/meminfo) grew during each pass.
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
cleanup() {
    umount "$ext4" 2>/dev/null || true
    umount "$exfat" 2>/dev/null || true
    rm -rf "$work"
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
cached_kib() { awk '$1 == "Cached:" {print $2}' /proc/meminfo; }
free_mib() { echo "$(stat -f -c '%a*%S' "$1") / 1048576" | bc -l; }

# Runs one fill (the command in "$@", its files under folder $1) and records, in $work/last:
# seconds (the fill and the file system's sync, as the CLI syncs its own), peak KiB of the
# process, and the growth of the page cache in KiB while it ran. Its files are deleted after.
measure() {
    local folder=$1 t0 t1 before peak=0 now_kib pid
    shift
    sync
    before=$(cached_kib)
    peak=$before
    t0=$(now)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        now_kib=$(cached_kib)
        ((now_kib > peak)) && peak=$now_kib
        sleep 0.05
    done
    wait "$pid" || true # dd and scrub end at a full disk with an error
    sync -f "$folder"
    t1=$(now)
    now_kib=$(cached_kib)
    ((now_kib > peak)) && peak=$now_kib
    echo "$(echo "$t1 - $t0" | bc -l) $(tail -n 1 "$work/rss") $((peak - before))" >"$work/last"
    find "$folder" -mindepth 1 -maxdepth 1 ! -name lost+found -exec rm -rf {} +
    sync
}

# Each case: name | folder | command. The CLI's cases start with "cli".
declare -a names folders commands
add() { names+=("$1"); folders+=("$2"); commands+=("$3"); }
add "scrub -X -p fillzero" "$ext4" "scrub -X -p fillzero $ext4/x"
add "dd bs=4M oflag=direct" "$ext4" "dd if=/dev/zero of=$ext4/dd.fill bs=4M oflag=direct status=none"
add "dd bs=1M conv=fsync" "$ext4" "dd if=/dev/zero of=$ext4/dd.fill bs=1M conv=fsync status=none"
for fill in null en tilfeldig; do
    add "cli $fill 65536" "$ext4" "$cli --fill $fill --block-size 65536 $ext4"
done
add "cli null 4096" "$ext4" "$cli --fill null --block-size 4096 $ext4"
add "cli null 512" "$ext4" "$cli --fill null --block-size 512 $ext4"
add "exFAT dd bs=1M conv=fsync" "$exfat" "dd if=/dev/zero of=$exfat/dd.fill bs=1M conv=fsync status=none"
add "exFAT cli null 65536" "$exfat" "$cli --fill null --block-size 65536 $exfat"

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
printf '%s runs each, alternating (median); %s, %s cores\n\n' "$runs" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" "$(nproc)"

declare -A seconds peak_kib cache_kib
for ((r = 0; r < runs; r++)); do
    for i in "${!names[@]}"; do
        # shellcheck disable=SC2086 # the command is split into words on purpose
        measure "${folders[$i]}" ${commands[$i]}
        read -r s k c <"$work/last"
        seconds[${names[$i]}]+="$s "
        ((k > ${peak_kib[${names[$i]}]:-0})) && peak_kib[${names[$i]}]=$k
        ((c > ${cache_kib[${names[$i]}]:-0})) && cache_kib[${names[$i]}]=$c
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
printf '%-26s %8s %7s %7s  %-22s %9s %11s\n' fill 'MiB/s' ratio target 'peer' 'peak MiB' 'cache MiB'
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
    peak_mib=$(echo "${peak_kib[$name]} / 1024" | bc -l)
    cache_mib=$(echo "${cache_kib[$name]} / 1024" | bc -l)
    if [[ $name == *cli* ]]; then
        (($(echo "$peak_mib >= 64" | bc))) && { mark+='  (memory)'; status=1; }
        (($(echo "$cache_mib >= 64" | bc))) && { mark+='  (cache)'; status=1; }
    fi
    printf '%-26s %8.0f %7s %7s  %-22s %9.1f %11.0f%s\n' "$name" "${speed[$name]}" "$ratio" "$goal" \
        "${peer[$name]:--}" "$peak_mib" "$cache_mib" "$mark"
done
printf '\ntargets: the ratio to the peer; peak memory of spylerom-cli and the growth of the page\n'
printf 'cache during a pass below 64 MiB each (the cache figure is the whole machine'"'"'s)\n'
exit $status
