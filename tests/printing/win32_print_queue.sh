# shellcheck shell=bash
# Sourced by the Windows print tests (win32_print_check.sh, win32_print_run.sh): the cups-pdf queue
# of a private cupsd that scripts/test-win32.sh made (CUPS_SERVER; its PDFs land in
# SPYLEROM_WIN32_PRINT_DIR), and the runs of a test program's print tests on it.

# Sets print_dir to the queue's PDF folder. Where there is no queue, the script ends as skipped
# (77), or as failed (1) under SPYLEROM_REQUIRE_PRINTER=1, which scripts/test.sh (CI) sets: there
# the queue must be up and the print tests must run.
need_print_queue() {
    print_dir=${SPYLEROM_WIN32_PRINT_DIR:-}
    local why=""
    if [ -z "$print_dir" ]; then
        why="no printer queue of the test's own (scripts/test-win32.sh makes one as root)"
    elif ! lpstat -r 2>/dev/null | grep -q 'is running'; then
        why="the test's own cupsd (CUPS_SERVER=${CUPS_SERVER:-}) does not answer"
    fi
    [ -z "$why" ] && return 0
    skip_or_fail "$why"
}

# Ends the script: skipped (77) with the reason, or failed (1) where printing is required.
skip_or_fail() {
    if [ -n "${SPYLEROM_REQUIRE_PRINTER:-}" ] && [ "$SPYLEROM_REQUIRE_PRINTER" != 0 ]; then
        echo "FAILED: SPYLEROM_REQUIRE_PRINTER is set, but $1: printing would go untested"
        exit 1
    fi
    echo "skipped: $1"
    exit 77
}

# Waits until the queue has no job left and its PDF folder has stopped changing, so that a PDF
# written late by one test is never counted as another's. Gives up after 60 s (the check that
# follows then says what it found).
wait_for_idle_queue() {
    local dir=$1 last="" now
    for _ in $(seq 120); do
        now=$(ls -l --time-style=+%s.%N "$dir" 2>/dev/null | md5sum)
        if [ -z "$(lpstat -o 2>/dev/null)" ] && [ "$now" = "$last" ]; then
            return 0
        fi
        last=$now
        sleep 0.5
    done
}

# run_print_tests WINE EXE FILTER: runs the tests of EXE that FILTER names under Wine, with the
# queue's folder handed over as SPYLEROM_WIN32_PRINT_OUT (a Windows path through drive Z:).
# Returns the program's exit status; a run that ran no test fails, and one in which a test skipped
# itself ends the script as skip_or_fail does.
run_print_tests() {
    local wine=$1 exe=$2 filter=$3 log status=0 ran
    log=$(mktemp)
    SPYLEROM_WIN32_PRINT_OUT="Z:${print_dir//\//\\}" "$wine" "$exe" --gtest_filter="$filter" 2>&1 |
        tr -d '\r' | tee "$log" || status=$?
    ran=$(sed -En 's/^\[==========\] ([0-9]+) tests? from .* ran\..*/\1/p' "$log")
    if grep -q '^\[  SKIPPED \]' "$log"; then
        rm -f "$log"
        skip_or_fail "a print test skipped itself"
    fi
    rm -f "$log"
    if [ "$status" = 0 ] && [ "${ran:-0}" = 0 ]; then
        echo "FAILED: no test ran (--gtest_filter=$filter)"
        return 1
    fi
    return "$status"
}
