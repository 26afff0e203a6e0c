#!/usr/bin/env bash
# Installs the Debian packages the project needs (every list in scripts/packages/), skipping
# what is installed already. Run as root on Debian 12.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -hv '^\s*#' "$here"/packages/*.txt | awk 'NF {print $1}' | sort -u)
missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
