#!/usr/bin/env bash
# Installs Spylerom silently through Wine (the default place, then again over it, then with /D=),
# checks the files, the uninstall key, the Start-menu shortcuts and the installed program's
# --version, uninstalls silently and checks that only what the installer put down is gone: a
# file of the user's in the program's folder and the settings under APPDATA stay.
# Usage: installer_test.sh <wine> <setup.exe> <version> [window]
#   window: the build made spylerom.exe, so the installer must carry it.
set -uo pipefail
wine=$1
setup=$2
version=$3
window_program=${4:-}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
prefix=${WINEPREFIX:-$HOME/.wine}
export WINEPREFIX=$prefix
[ -f "$setup" ] || { echo "no installer at $setup"; exit 1; }

# A fresh prefix is made here (Wine would make it on first use, with a slower, chattier start).
if [ ! -d "$prefix/drive_c" ]; then
    timeout 300 "$wine" wineboot --init >/dev/null 2>&1 || { echo "cannot make the Wine prefix"; exit 77; }
fi

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Spylerom'
c="$prefix/drive_c"
default_dir="$c/Program Files/Solvarek/Spylerom"
menu_dir="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Spylerom"
custom_parent="$c/SpyleromTest"
custom_dir="$custom_parent/Spylerom"
settings_dir="$c/users/$(id -un)/AppData/Roaming/Solvarek/etc"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The value of $key's $1 as reg.exe shows it, without the carriage returns.
reg_value() {
    "$wine" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
key_exists() { "$wine" reg query "$key" >/dev/null 2>&1; }

# Leftovers of an earlier, broken run go first, so this run starts from no install.
clean() {
    "$wine" reg delete "$key" /f >/dev/null 2>&1
    rm -rf "$default_dir" "$menu_dir" "$custom_parent"
    rmdir "$c/Program Files/Solvarek" 2>/dev/null
}
clean
trap clean EXIT

# Runs the installer silently with the extra arguments given; it returns when done.
install() {
    timeout 120 "$wine" "$setup" /S "$@" >/dev/null 2>&1 || fail "the installer $* ended with $?"
}

# Runs the uninstaller in $1 silently. It copies itself to the temp folder, starts the copy and
# returns at once, so this waits until the copy has removed the uninstall key (its last step).
uninstall() {
    local dir=$1 windows_dir
    windows_dir=$("$wine" winepath -w "$dir" 2>/dev/null | tr -d '\r')
    timeout 60 "$wine" "$dir/uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller ended with $?"
    for _ in $(seq 600); do
        key_exists || break
        sleep 0.1
    done
    key_exists && fail "the uninstall key is still there 60 s after the uninstaller in $windows_dir"
    sleep 0.5 # the copy ends right after its last step
}

# Checks an install in $1 (a Unix path) whose Windows path is $2.
check_install() {
    local dir=$1 windows_dir=$2 out
    for f in spylerom-cli.exe uninstall.exe; do
        [ -f "$dir/$f" ] || fail "$f missing in $dir"
    done
    [ "$(reg_value DisplayName)" = "Spylerom" ] || fail "DisplayName is '$(reg_value DisplayName)'"
    [ "$(reg_value DisplayVersion)" = "$version" ] || fail "DisplayVersion is '$(reg_value DisplayVersion)'"
    [ "$(reg_value Publisher)" = "Solvarek" ] || fail "Publisher is '$(reg_value Publisher)'"
    [ "$(reg_value InstallLocation)" = "$windows_dir" ] || fail "InstallLocation is '$(reg_value InstallLocation)'"
    [ "$(reg_value UninstallString)" = "\"$windows_dir\\uninstall.exe\"" ] ||
        fail "UninstallString is '$(reg_value UninstallString)'"
    [ "$(reg_value QuietUninstallString)" = "\"$windows_dir\\uninstall.exe\" /S" ] ||
        fail "QuietUninstallString is '$(reg_value QuietUninstallString)'"
    case "$(reg_value DisplayIcon)" in
        "$windows_dir\\spylerom"*.exe,0) ;;
        *) fail "DisplayIcon is '$(reg_value DisplayIcon)'" ;;
    esac
    local size=$(($(reg_value EstimatedSize))) kib
    kib=$(du -k --apparent-size -c "$dir"/*.exe | tail -1 | cut -f1)
    [ "$size" -ge $((kib - 8)) ] && [ "$size" -le $((kib + 8)) ] ||
        fail "EstimatedSize is $size KiB, the programs take $kib KiB"
    [ -f "$menu_dir/Avinstaller Spylerom.lnk" ] || fail "no uninstaller shortcut in $menu_dir"
    grep -qa uninstall.exe <(iconv -f UTF-16LE -t UTF-8 -c "$menu_dir/Avinstaller Spylerom.lnk" 2>/dev/null;
                             cat "$menu_dir/Avinstaller Spylerom.lnk") ||
        fail "the uninstaller shortcut does not point to uninstall.exe"
    if [ -n "$window_program" ] && [ ! -f "$dir/spylerom.exe" ]; then
        fail "spylerom.exe was built but not installed in $dir"
    fi
    if [ -f "$dir/spylerom.exe" ]; then
        [ -f "$menu_dir/Spylerom.lnk" ] || fail "no shortcut to spylerom.exe in $menu_dir"
    else
        [ ! -e "$menu_dir/Spylerom.lnk" ] || fail "a shortcut to a spylerom.exe that is not installed"
    fi
    out=$(timeout 60 "$wine" "$dir/spylerom-cli.exe" --version 2>/dev/null | tr -d '\r')
    [ "$out" = "spylerom-cli (Spylerom) $version" ] || fail "the installed spylerom-cli --version says '$out'"
}

# Checks that nothing of the install in $1 is left.
check_gone() {
    local dir=$1
    [ ! -e "$dir" ] || fail "$dir is left: $(ls -A "$dir" | tr '\n' ' ')"
    [ ! -e "$menu_dir" ] || fail "the Start-menu folder is left: $(ls -A "$menu_dir" | tr '\n' ' ')"
    key_exists && fail "the uninstall key is left"
}

echo "== install to the default place"
install
check_install "$default_dir" 'C:\Program Files\Solvarek\Spylerom'

echo "== install again over it: an upgrade in place"
touch -d '2000-01-01' "$default_dir/spylerom-cli.exe"
mkdir -p "$settings_dir"
marker="$settings_dir/installer_test.ini" # a file of the user's where the settings live
echo "[Innstillinger]" >"$marker"
install
check_install "$default_dir" 'C:\Program Files\Solvarek\Spylerom'
[ "$(stat -c %Y "$default_dir/spylerom-cli.exe")" -gt 946684800 ] || fail "spylerom-cli.exe was not replaced"
[ "$(find "$c/Program Files" -name 'Spylerom*' -type d | wc -l)" = 1 ] || fail "a second install folder"

echo "== uninstall"
uninstall "$default_dir"
check_gone "$default_dir"
[ ! -e "$c/Program Files/Solvarek" ] || fail "the empty Solvarek folder is left"
[ -f "$marker" ] || fail "the uninstaller removed the user's settings"

echo "== install with /D=, a file of the user's beside the programs"
mkdir -p "$custom_parent"
install '/D=C:\SpyleromTest\Spylerom'
check_install "$custom_dir" 'C:\SpyleromTest\Spylerom'
[ ! -e "$default_dir" ] || fail "/D= installed to the default place too"
echo "mine" >"$custom_dir/notater.txt"
uninstall "$custom_dir"
[ "$(cat "$custom_dir/notater.txt" 2>/dev/null)" = mine ] || fail "the uninstaller removed the user's file"
[ "$(ls -A "$custom_dir" 2>/dev/null)" = notater.txt ] || fail "left in $custom_dir: $(ls -A "$custom_dir" | tr '\n' ' ')"
[ ! -e "$menu_dir" ] || fail "the Start-menu folder is left"
key_exists && fail "the uninstall key is left"
rm -f "$marker"

[ "$failures" = 0 ] && echo "installer: all checks passed"
[ "$failures" = 0 ]
