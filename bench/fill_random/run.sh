#!/usr/bin/env bash
# Builds and runs the "Tilfeldig" generator benchmark: GiB/s per core of each kernel against
# memset. Usage: bench/fill_random/run.sh [seconds per kernel] [piece bytes]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" --target fill_random_bench -j 2 >/dev/null
"$root/build/bench/fill_random/fill_random_bench" "$@"
