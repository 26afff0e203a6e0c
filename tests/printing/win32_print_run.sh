#!/usr/bin/env bash
# Runs the print-run tests of a Windows test program (under Wine) on the cups-pdf queue that
# scripts/test-win32.sh made, handing its PDF folder over as SPYLEROM_WIN32_PRINT_OUT.
#   win32_print_run.sh WINE TEST_EXE GTEST_FILTER
# Exit status 77 (skipped) when no such queue was set up (SPYLEROM_WIN32_PRINT_DIR: its PDFs) or a
# test skipped itself; 1 (failed) instead under SPYLEROM_REQUIRE_PRINTER=1 (win32_print_queue.sh).
set -euo pipefail
wine=$1
exe=$2
filter=$3
# shellcheck source=win32_print_queue.sh
. "$(dirname "$0")/win32_print_queue.sh"
need_print_queue
wait_for_idle_queue "$print_dir"
status=0
run_print_tests "$wine" "$exe" "$filter" || status=$?
# Jobs of this test still in the queue are its own business, not the next test's.
wait_for_idle_queue "$print_dir"
exit $status
