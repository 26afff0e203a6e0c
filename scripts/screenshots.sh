#!/usr/bin/env bash
# Takes the screenshots in docs/ of the real window under Xvfb (as root: the fill shown runs on
# a loop-mounted image of its own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" --target take_screenshots
mkdir -p "$root/docs"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x500x24 -dpi 96" \
    "$root/build/tests/mainwindow/take_screenshots" "$root/docs"
