#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -x "$root/build/src/mainwindow/spylerom" ]; then
    exec "$root/build/src/mainwindow/spylerom" "$@"
fi
if [ $# -eq 0 ]; then
    "$root/build/src/cli/spylerom-cli" --help
    exec "$root/build/src/cli/spylerom-cli" --list-drives
fi
exec "$root/build/src/cli/spylerom-cli" "$@"
