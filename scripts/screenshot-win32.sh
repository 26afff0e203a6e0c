#!/usr/bin/env bash
# Takes docs/spylerom-win32.png: the real spylerom.exe under Wine on an Xvfb display, idle, as
# it opens. Run as root on Debian 12. The Wine prefix (and with it the program's APPDATA) and
# the display are made here for this one picture and removed again; nothing is filled.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win32"
out="$root/docs/spylerom-win32.png"
title="SpyleRom 2.07"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPYLEROM_GUI=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target spylerom
exe="$build/src/mainwindow/spylerom.exe"

# Wine takes a Norwegian Windows's formats from LC_ALL, which glibc must know.
if ! locale -a 2>/dev/null | grep -qix 'nb_NO.utf8'; then
    localedef -i nb_NO -f UTF-8 nb_NO.UTF-8
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d /tmp/spylerom-shot-XXXXXX)
export WINEPREFIX="$work/prefix"
xvfb=""
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    # Only this prefix's server: the test prefix of build-win32 is left alone.
    "$wineserver" -k 2>/dev/null || true
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A Norwegian Windows of our own (the prefix above), drawing through the ordinary X11 driver.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
export LC_ALL=nb_NO.UTF-8
unset WAYLAND_DISPLAY

# The display first: Wine's desktop takes its size and driver when the prefix boots.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
xvfb=$!
read -r -t 30 number <"$work/displayfd"
export DISPLAY=":$number"

timeout 300 "$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
# Debian's Wine draws the caption buttons with Marlett but does not find its own copy from a new
# prefix (the buttons would show the letters "0 1 r"); in the prefix's Fonts folder it does.
marlett=/usr/share/wine/fonts/marlett.ttf
[ -f "$marlett" ] && cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
# No window manager runs here: Wine draws the title bar and frame itself, so the picture shows
# the whole window as Windows draws it.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
"$wineserver" -w

# Settings and log go to APPDATA, which Wine sets to the profile of this run's prefix whatever
# the environment says; a solvarek.ini in the folder the program starts in would be read first,
# so it starts in an empty one.
mkdir -p "$work/cwd"
(cd "$work/cwd" && exec "$wine" "$exe") >"$work/program.log" 2>&1 &
program=$!

window=""
for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || {
        echo "screenshot-win32: spylerom.exe ended before its window showed" >&2
        cat "$work/program.log" >&2
        exit 1
    }
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "screenshot-win32: no window \"$title\" within 60 s" >&2
    exit 1
fi
sleep 2 # the first paint, and the emblem decoded

xdotool mousemove 1000 750 # the pointer off the window: no tooltip or hot control
sleep 1

mkdir -p "$(dirname "$out")"
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$out.tmp"
mv "$out.tmp" "$out"
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "screenshot-win32: saved $out (${WIDTH}x${HEIGHT})"

# Ended as a user would, through Fil > Avslutt's Ctrl+Q, which also stores the choices. With no
# window manager the keyboard follows the pointer unless the window is given the focus.
xdotool windowfocus --sync "$window"
xdotool key ctrl+q
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
    echo "screenshot-win32: spylerom.exe did not end on Ctrl+Q" >&2
    exit 1
fi
status=0
wait "$program" || status=$?
program=""
if [ "$status" != 0 ]; then
    echo "screenshot-win32: spylerom.exe ended with status $status" >&2
    cat "$work/program.log" >&2
    exit 1
fi
