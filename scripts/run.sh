#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -x "$root/build/src/mainwindow/spylerom" ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
        exec "$root/build/src/mainwindow/spylerom" "$@"
    fi
    echo "run: no display (DISPLAY is not set), so the window program cannot open;" >&2
    echo "run: here is spylerom-cli, the same fill engine without a window." >&2
fi
if [ $# -eq 0 ]; then
    "$root/build/src/cli/spylerom-cli" --help
    exec "$root/build/src/cli/spylerom-cli" --list-drives
fi
exec "$root/build/src/cli/spylerom-cli" "$@"
