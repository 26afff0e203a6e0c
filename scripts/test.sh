#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the core tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen

# Tests that need root skip themselves elsewhere; here (what CI runs) each such skip is a failure,
# so a green run has done what they test: the tests that fill loop-mounted images have filled real
# file systems (a loop device), the print tests, Linux's and Windows's (through Wine), have printed
# on a cups-pdf queue of a private cupsd, and the package test has installed the Debian package.
export SPYLEROM_REQUIRE_LOOP=1 SPYLEROM_REQUIRE_PRINTER=1 SPYLEROM_REQUIRE_PACKAGE=1

"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$root/build" && ctest --output-on-failure --timeout 600 -j 2)

"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DSPYLEROM_SANITIZE=ON -DSPYLEROM_GUI=OFF
(cd "$root/build-asan" && env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --timeout 900 -j 2 -L core)

# The core again as Windows programs: cross-built with MinGW-w64 and run through Wine.
"$root/scripts/test-win32.sh"
