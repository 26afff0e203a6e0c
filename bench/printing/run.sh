#!/usr/bin/env bash
# Builds and runs the preview paint benchmark: the test page at zoom 5 against an empty paint of
# the same window. Usage: bench/printing/run.sh [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" --target printing_paint_bench -j 2 >/dev/null
QT_QPA_PLATFORM=offscreen "$root/build/bench/printing/printing_paint_bench" "$@"
