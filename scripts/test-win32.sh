#!/usr/bin/env bash
# Cross-builds the core, spylerom-cli.exe and the core tests for Windows (MinGW-w64) into
# build-win32 and runs the tests through Wine, the FTP tests against Linux FTP servers that a
# launcher started here hands out. As root it also loop-mounts a small ext4 image of its own and
# gives it a drive letter in the Wine prefix, for the tests that fill a drive.
#   test-win32.sh [CTEST ARGUMENTS...]   e.g. -R print: the printing tests alone
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-win32"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" build-win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPYLEROM_GUI=OFF

# Wine takes a Norwegian Windows's formats from LC_ALL, and the file names' encoding from the
# same locale, which glibc must therefore know.
if ! locale -a 2>/dev/null | grep -qix 'nb_NO.utf8'; then
    localedef -i nb_NO -f UTF-8 nb_NO.UTF-8
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX="$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer prompts
export LC_ALL=nb_NO.UTF-8                    # a Norwegian Windows (code page 1252), as Wine reads it
unset DISPLAY WAYLAND_DISPLAY                  # console programs only; no window may open

image_dir=""
drive_link=""
ftp_launcher=""
cups_dir=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    if [ -n "$cups_dir" ]; then
        bash "$root/tests/printing/cups_fixture.sh" stop "$cups_dir" || true
        rm -rf "$cups_dir"
    fi
    if [ -n "$ftp_launcher" ]; then
        kill "$ftp_launcher" 2>/dev/null || true
        wait "$ftp_launcher" 2>/dev/null || true
    fi
    [ -n "$drive_link" ] && rm -f "$drive_link"
    if [ -n "$image_dir" ]; then
        mountpoint -q "$image_dir/mnt" && umount "$image_dir/mnt"
        rm -rf "$image_dir"
    fi
}
trap cleanup EXIT

# A prefix of our own, made once (about 5 s and 700 MB); Wine's own background processes
# are started here, outside ctest, so that none of them holds ctest's output pipe open.
"$wineserver" -k 2>/dev/null || true
if [ ! -d "$WINEPREFIX/drive_c" ]; then
    timeout 300 "$wine" wineboot --init >/dev/null 2>&1
    "$wineserver" -w
fi
# The window tests create their windows in-process; with no display Wine's null graphics driver
# serves them (nothing appears anywhere). Set before Wine boots for the tests: a desktop started
# with another driver keeps it.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$wineserver" -w

# Drive Q: is a 64 MiB image of ours, mapped before Wine starts, since Wine reads the drive
# letters when it boots. FAT, the file system of a memory stick, where the kernel has it; else
# an ext4 made to behave like a Windows volume: no journal (a flush then writes a file's extent
# blocks home), no delayed allocation, and no blocks held back from writers.
if [ "$(id -u)" = 0 ] && { [ -e /dev/loop-control ] || [ -e /dev/loop0 ]; }; then
    image_dir=$(mktemp -d /tmp/spylerom-win32-XXXXXX)
    truncate -s 64M "$image_dir/disk.img"
    mkdir "$image_dir/mnt"
    modprobe vfat 2>/dev/null || true
    if grep -qw vfat /proc/filesystems; then
        mkfs.vfat -n SPYLETEST "$image_dir/disk.img" >/dev/null
        mount_options=loop
    else
        mkfs.ext4 -q -F -b 4096 -m 0 -O ^has_journal -L SPYLETEST "$image_dir/disk.img"
        mount_options=loop,nodelalloc
    fi
    if mount -o "$mount_options" "$image_dir/disk.img" "$image_dir/mnt"; then
        device=$(findmnt -n -o SOURCE "$image_dir/mnt")
        reserve=/sys/fs/ext4/${device##*/}/reserved_clusters
        [ -w "$reserve" ] && echo 0 >"$reserve"
        # Wine reads the label of a FAT volume; of the ext4 stand-in it shows none.
        grep -qw vfat /proc/filesystems && export SPYLEROM_WIN32_LABEL=SPYLETEST
        drive_link="$WINEPREFIX/dosdevices/q:"
        rm -f "$drive_link"
        ln -s "$image_dir/mnt" "$drive_link"
        export SPYLEROM_WIN32_DRIVE=Q
        export SPYLEROM_WIN32_IMAGE="Z:${image_dir//\//\\}\\disk.img"
    else
        echo "test-win32: cannot loop-mount an image; the drive tests are skipped" >&2
    fi
else
    echo "test-win32: not root or no loop device; the drive tests are skipped" >&2
fi

# The FTP tests need a real server, and a Windows program cannot start the Linux one: a launcher
# of ours starts one for every test that connects to it (tests/ftp/ftp_test_server.py).
ftp_ports=$(mktemp)
/usr/bin/python3 "$root/tests/ftp/ftp_test_server.py" --launcher --user spyler --password "hemmelig æ" \
    --lifetime 3600 >"$ftp_ports" &
ftp_launcher=$!
for _ in $(seq 100); do
    grep -q '^PORT ' "$ftp_ports" && break
    sleep 0.1
done
SPYLEROM_FTP_LAUNCHER_PORT=$(sed -n 's/^PORT //p' "$ftp_ports")
rm -f "$ftp_ports"
export SPYLEROM_FTP_LAUNCHER_PORT

# The system's printer, as Wine sees it through CUPS: a cups-pdf queue of a private cupsd (root
# only), whose PDFs tests/printing/win32_print_check.sh and win32_print_run.sh read back. Without
# it those tests skip, or fail under SPYLEROM_REQUIRE_PRINTER=1 (scripts/test.sh, CI).
unset SPYLEROM_WIN32_PRINT_DIR
if [ "$(id -u)" = 0 ]; then
    cups_dir=$(mktemp -d /tmp/spylerom-win32-cups-XXXXXX)
    if socket=$(bash "$root/tests/printing/cups_fixture.sh" start "$cups_dir" spylerom_win32); then
        lpadmin -h "$socket" -d spylerom_win32
        export CUPS_SERVER="$socket"
        export SPYLEROM_WIN32_PRINT_DIR="$cups_dir/out"
        echo "test-win32: printer queue spylerom_win32 on $socket"
    else
        echo "test-win32: no printer queue; the printing tests through Wine cannot print" >&2
    fi
else
    echo "test-win32: not root; no printer queue, the printing tests through Wine cannot print" >&2
fi

"$wineserver" -p
timeout 300 "$wine" wineboot >/dev/null 2>&1

cd "$build"
# Now and then a Wine process ends at its start, before the test program prints a line (seen
# once in some thousand starts, with two running at once); such a test is run once more. A test
# that fails for real fails both times. When it is the listing of a test program's tests that
# ends so, ctest stops before it runs anything ("Error running test executable"): the whole run
# is then started once more.
ctest_log=$(mktemp)
status=0
ctest --output-on-failure --timeout 300 -j 2 --repeat until-pass:2 "$@" 2>&1 | tee "$ctest_log" || status=$?
if ((status != 0)) && grep -q 'Error running test executable' "$ctest_log"; then
    echo "test-win32: a Wine process ended while listing a program's tests; the run starts once more" >&2
    status=0
    ctest --output-on-failure --timeout 300 -j 2 --repeat until-pass:2 "$@" || status=$?
fi
rm -f "$ctest_log"
exit "$status"
