#!/usr/bin/env bash
# Builds the Debian package of a build folder, checks it with lintian, installs it on this
# machine, runs the installed programs and checks the installed menu entry, metainfo, icons,
# manual pages and bash completion, then purges the package again.
#   package_test.sh BUILD_FOLDER [CPACK]
# Needs root (dpkg): exit status 77 (skipped) for a user without, or 1 (failed) under
# SPYLEROM_REQUIRE_PACKAGE=1, which scripts/test.sh (CI) sets. A spylerom package the machine had
# is kept: copied with dpkg-repack into $saved_dir, purged for the test, and installed again
# afterwards, even when the test fails (or, where the test was killed, by its next run). The
# whole test holds /tmp/spylerom-dpkg.lock, so no other test of the kind (another build's, another
# work tree's) installs or purges the package at the same time.
set -euo pipefail
build=$(cd "$1" && pwd)
cpack=${2:-cpack} # the CPack of the CMake that configured the build
app_id=no.solvarek.spylerom
saved_dir=/var/tmp/spylerom-package-test # the machine's own spylerom package, while the test runs

skip() {
    if [[ -n ${SPYLEROM_REQUIRE_PACKAGE:-} && $SPYLEROM_REQUIRE_PACKAGE != 0 ]]; then
        echo "package_test: FAILED: SPYLEROM_REQUIRE_PACKAGE is set, but $*: the package would go untested" >&2
        exit 1
    fi
    echo "package_test: skipped: $*"
    exit 77
}
fail() {
    echo "package_test: FAILED: $*" >&2
    exit 1
}

((EUID == 0)) || skip "installing a package needs root"
for tool in "$cpack" dpkg dpkg-deb dpkg-repack lintian desktop-file-validate appstreamcli man xvfb-run xdotool flock; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

exec 9>/tmp/spylerom-dpkg.lock
flock -w 900 9 || fail "another test has held /tmp/spylerom-dpkg.lock for 15 minutes"

# apt waits for the package database's lock where another install holds it.
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=300 "$@"
}
package_status() {
    dpkg-query -W -f='${Status}' spylerom 2>/dev/null || true
}

# Installs the machine's own package from $saved_dir again, in place of any spylerom installed
# now, with its mark as installed automatically where apt had one; then drops the copy.
restore_saved() {
    local deb
    deb=$(ls "$saved_dir"/spylerom_*.deb)
    echo "package_test: installing the machine's own package again: $deb"
    case $(package_status) in
        "" | *not-installed) ;;
        *) apt_get purge spylerom >/dev/null || return 1 ;;
    esac
    apt_get install "$deb" >"$saved_dir/restore.log" 2>&1 || { cat "$saved_dir/restore.log"; return 1; }
    [[ $(package_status) == "install ok installed" ]] || return 1
    if [[ -e $saved_dir/auto ]]; then
        apt-mark auto spylerom >/dev/null || return 1
    fi
    rm -rf "$saved_dir"
}

# A copy left by a run that was killed before it could put the package back.
if compgen -G "$saved_dir/spylerom_*.deb" >/dev/null; then
    echo "package_test: an earlier run left the machine's own package aside"
    restore_saved || fail "could not install $saved_dir/spylerom_*.deb again"
fi
rm -rf "$saved_dir"

saved=0
installed=0
cleanup() {
    local status=$?
    if ((installed)); then
        apt_get purge spylerom >/dev/null || echo "package_test: could not purge spylerom" >&2
    fi
    [[ -z ${scratch:-} ]] || rm -rf "$scratch"
    if ((saved)); then
        if restore_saved; then
            echo "package_test: the machine's own spylerom package is installed again"
        else
            echo "package_test: FAILED: could not install the machine's own package again; it is in $saved_dir" >&2
            status=1
        fi
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 143' TERM INT # a timeout's kill still purges, puts the machine's package back and cleans up

case $(package_status) in
    "" | "unknown ok not-installed" | "deinstall ok not-installed" | "purge ok not-installed") ;;
    "install ok installed")
        # dpkg-repack builds a package of the files as installed, conffiles as they are now.
        mkdir -m 755 "$saved_dir"
        (cd "$saved_dir" && dpkg-repack spylerom >repack.log 2>&1) ||
            { cat "$saved_dir/repack.log"; rm -rf "$saved_dir"; fail "dpkg-repack spylerom"; }
        chmod 644 "$saved_dir"/spylerom_*.deb # apt reads the package as its own user
        if apt-mark showauto spylerom | grep -qx spylerom; then
            touch "$saved_dir/auto"
        fi
        saved=1
        echo "package_test: the machine's own spylerom package ($(dpkg-query -W -f='${Version}' spylerom)) is kept in $saved_dir during the test"
        apt_get purge spylerom >/dev/null || fail "could not purge the machine's own spylerom package"
        ;;
    *) fail "spylerom is in the state '$(package_status)'; this test would purge it: put it right by hand first" ;;
esac

scratch=$(mktemp -d)
chmod 755 "$scratch" # apt reads the package as its own user

echo "== cpack"
(cd "$scratch" && "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/cpack" >cpack.log 2>&1) ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/cpack/spylerom_*.deb)
echo "$deb"
dpkg-deb --info "$deb"

echo "== the dependencies come from the programs' libraries"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libqt6printsupport6 libcurl4 libjpeg62-turbo libmount1; do
    [[ $depends == *"$lib "* || $depends == *"$lib," || $depends == *"$lib" ]] || fail "Depends lacks $lib: $depends"
done

echo "== lintian"
lintian --fail-on error,warning --info "$deb" || fail "lintian reports errors or warnings"

echo "== apt-get install"
# The package must install with what the machine has: nothing else may come with it.
plan=$(apt_get --simulate install "$deb") || { echo "$plan"; fail "the package cannot be installed"; }
if [[ $(grep -c '^Inst ' <<<"$plan") != 1 ]] || ! grep -q '^Inst spylerom ' <<<"$plan"; then
    echo "$plan"
    fail "installing the package would install other packages too"
fi
installed=1
apt_get install "$deb" || fail "the package does not install"
dpkg-query -W -f='${Status}\n' spylerom | grep -qx 'install ok installed' || fail "not fully installed"
for file in /usr/bin/spylerom /usr/bin/spylerom-cli /usr/share/applications/$app_id.desktop \
    /usr/share/metainfo/$app_id.metainfo.xml /usr/share/man/man1/spylerom.1.gz \
    /usr/share/man/man1/spylerom-cli.1.gz /usr/share/bash-completion/completions/spylerom-cli \
    /usr/share/doc/spylerom/copyright /usr/share/doc/spylerom/changelog.gz; do
    [[ -f $file ]] || fail "$file is not installed"
done

echo "== spylerom-cli"
version=$(/usr/bin/spylerom-cli --version)
[[ $version == "spylerom-cli (Spylerom) "* ]] || fail "--version printed '$version'"
drives=$(/usr/bin/spylerom-cli --list-drives)
echo "$drives"
grep -q '^C: \[/\]  [0-9]* MB free of [0-9]* MB$' <<<"$drives" || fail "--list-drives shows no C: [/]"

# A run of the installed window program in a folder of its own (working folder with the log
# switched on, APPDATA, home): run_folder NAME prints the folder; ran_cleanly NAME checks its log.
run_folder() {
    local dir=$scratch/$1
    mkdir -p "$dir/work" "$dir/appdata" "$dir/home"
    printf '[STANDARD]\r\nLogToFile=1\r\nVerboseLogging=1\r\n' >"$dir/work/solvarek.ini"
    echo "$dir"
}
ran_cleanly() {
    local log=$scratch/$1/appdata/Solvarek/log/spylerom.log
    [[ -f $log ]] || fail "$1: no log at $log"
    grep -q 'START: /usr/bin/spylerom' "$log" || fail "$1: the log does not show the installed program's start"
    grep -q 'AVSLUTTER PROGRAM' "$log" || fail "$1: the log does not show the program's end"
}

echo "== spylerom offscreen: start, then a termination request"
dir=$(run_folder offscreen)
(cd "$dir/work" && exec env APPDATA="$dir/appdata" HOME="$dir/home" USERPROFILE="$dir/home" \
    QT_QPA_PLATFORM=offscreen /usr/bin/spylerom >"$dir/out" 2>&1) &
pid=$!
# The program takes SIGTERM as an end request once its message loop runs: its handler shows in
# the process's caught signals (SigCgt, bit 15 = 0x4000).
caught=0
for _ in $(seq 300); do
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    if [[ -n $mask ]] && (((16#$mask & 16#4000) != 0)); then
        caught=1
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
((caught)) || { cat "$dir/out"; kill -KILL "$pid" 2>/dev/null; fail "spylerom did not start"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
cat "$dir/out"
# A termination request ends the program cleanly, with 128 + 15 as every signal's end does.
((status == 143)) || fail "spylerom ended with status $status after SIGTERM"
ran_cleanly offscreen

echo "== spylerom on an X display (Xvfb): start, then Ctrl+Q"
dir=$(run_folder xvfb)
status=0
# shellcheck disable=SC2016 # the script's own variables
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    set -uo pipefail
    dir=$1
    cd "$dir/work" || exit 5
    env APPDATA="$dir/appdata" HOME="$dir/home" USERPROFILE="$dir/home" QT_QPA_PLATFORM=xcb \
        /usr/bin/spylerom >"$dir/out" 2>&1 &
    pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "^SpyleRom " | head -n 1)
    [[ -n $window ]] || { kill -KILL $pid; exit 3; }
    xdotool windowfocus --sync "$window" && xdotool key --clearmodifiers ctrl+q
    for _ in $(seq 300); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null && { kill -KILL $pid; exit 4; }
    wait $pid' xvfb "$dir" || status=$?
cat "$dir/out"
case $status in
    0) ;;
    3) fail "the main window did not show" ;;
    4) fail "Ctrl+Q did not end spylerom" ;;
    *) fail "spylerom ended with status $status after Ctrl+Q" ;;
esac
ran_cleanly xvfb

echo "== validators"
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo does not name the menu entry"
grep -qx "Icon=$app_id" "/usr/share/applications/$app_id.desktop" || fail "the menu entry names another icon"
for size in 16 22 24 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [[ -f $icon ]] || fail "$icon is not installed"
    # A PNG's header: signature, IHDR, then width and height as 32-bit big-endian numbers.
    [[ $(head -c8 "$icon" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]] || fail "$icon is no PNG"
    header=$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')
    w=$((16#${header:0:8}))
    h=$((16#${header:8:8}))
    ((w == size && h == size)) || fail "$icon is ${w}x$h"
done

echo "== manual pages"
for page in spylerom spylerom-cli; do
    file=$(man -w "$page") || fail "man finds no page $page"
    [[ $file == /usr/share/man/man1/$page.1.gz ]] || fail "man $page reads $file"
    MANWIDTH=80 man --warnings -l "$file" >"$scratch/$page.txt" 2>"$scratch/$page.err" || fail "man -l $file"
    [[ ! -s $scratch/$page.err ]] || { cat "$scratch/$page.err"; fail "man warns about $page"; }
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "DRIVES ON LINUX" "RESERVES FOR ROOT" FILES "EXIT STATUS"; do
        grep -q "^$section\$" "$scratch/$page.txt" || fail "$page(1) has no section $section"
    done
done

echo "== bash completion"
completion=/usr/share/bash-completion/completions/spylerom-cli
complete_words() {
    bash --norc -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _spylerom_cli
        printf "%s\n" "${COMPREPLY[@]}"' complete "$completion" "$@" | tr '\n' ' '
}
[[ $(complete_words spylerom-cli --fill "") == "null en tilfeldig " ]] || fail "after --fill: $(complete_words spylerom-cli --fill "")"
[[ $(complete_words spylerom-cli --fill = t) == "tilfeldig " ]] || fail "after --fill=t"
[[ $(complete_words spylerom-cli --block-size 6) == "65536 " ]] || fail "after --block-size 6"
[[ $(complete_words spylerom-cli --list) == "--list-drives " ]] || fail "options"
[[ " $(cd "$scratch" && complete_words spylerom-cli "") " == *" C: "* ]] || fail "no drive letter C:"
bash --norc -c 'source "$1"; complete -p spylerom-cli' complete "$completion" | grep -q -- '-F _spylerom_cli' ||
    fail "the completion is not registered"

# ---- desktop integration: rights, menu entries, manual pages, units, hardening ----
# (its own script, so the checks above stay as they are)
bash "$(dirname "$0")/desktop_checks.sh" "$deb" "$scratch" || fail "desktop integration"
# ---- end of desktop integration ----

echo "== apt-get purge"
apt_get purge spylerom
installed=0
[[ ! -e /usr/bin/spylerom && ! -e /usr/bin/spylerom-cli && ! -e /usr/share/applications/$app_id.desktop ]] ||
    fail "files are left after the purge"
echo "package_test: passed"
