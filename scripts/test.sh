#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite, then the core tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen

# The tests that fill loop-mounted images fail, rather than skip, on a machine without root or
# a loop device: a green run has filled real file systems.
require_loop=SPYLEROM_REQUIRE_LOOP=1

"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$root/build" && env "$require_loop" ctest --output-on-failure --timeout 600 -j 2)

"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DSPYLEROM_SANITIZE=ON -DSPYLEROM_GUI=OFF
(cd "$root/build-asan" && env "$require_loop" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure --timeout 900 -j 2 -L core)

# The core again as Windows programs: cross-built with MinGW-w64 and run through Wine.
"$root/scripts/test-win32.sh"
