#!/usr/bin/env bash
# Runs the print-run tests of a Windows test program (under Wine) on the cups-pdf queue that
# scripts/test-win32.sh made, handing its PDF folder over as SPYLEROM_WIN32_PRINT_OUT.
#   win32_print_run.sh WINE TEST_EXE GTEST_FILTER
# Exit status 77 (skipped) when no such queue was set up (SPYLEROM_WIN32_PRINT_DIR: its PDFs).
set -euo pipefail
wine=$1
exe=$2
filter=$3
dir=${SPYLEROM_WIN32_PRINT_DIR:-}
if [ -z "$dir" ]; then
    echo "no printer queue of the test's own (scripts/test-win32.sh makes one as root)"
    exit 77
fi
# shellcheck source=print_queue_idle.sh
. "$(dirname "$0")/print_queue_idle.sh"
wait_for_idle_queue "$dir"
status=0
SPYLEROM_WIN32_PRINT_OUT="Z:${dir//\//\\}" "$wine" "$exe" --gtest_filter="$filter" || status=$?
# Jobs of this test still in the queue are its own business, not the next test's.
wait_for_idle_queue "$dir"
exit $status
