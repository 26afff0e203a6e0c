#!/usr/bin/env bash
# The installed package's place on a desktop, checked by package_test.sh while the package is
# installed: the polkit action and both menu entries, the manual pages' exit statuses against
# the README, --help and the programs' real statuses (a signal sent to a real fill), the
# Norwegian manual pages, the timer's units, and no hardening tags from lintian.
#   desktop_checks.sh DEB SCRATCH_FOLDER
# Needs root (a loop-mounted image of its own) and the package installed.
set -euo pipefail
deb=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)
readme=$here/../../README.md
app_id=no.solvarek.spylerom
policy=/usr/share/polkit-1/actions/$app_id.policy
entry=/usr/share/applications/$app_id.desktop
admin_entry=/usr/share/applications/$app_id-admin.desktop

fail() {
    echo "desktop_checks: FAILED: $*" >&2
    exit 1
}
for tool in xmllint desktop-file-validate systemd-analyze lintian man mkfs.ext4 pkexec; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

echo "== the polkit action"
[[ -f $policy ]] || fail "$policy is not installed"
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd "$policy" || fail "the polkit action is not valid"
annotation() {
    xmllint --xpath "string(//action[@id='$app_id.run']/annotate[@key='$1'])" "$policy"
}
[[ $(annotation org.freedesktop.policykit.exec.path) == /usr/bin/spylerom ]] ||
    fail "the action runs '$(annotation org.freedesktop.policykit.exec.path)'"
[[ $(annotation org.freedesktop.policykit.exec.allow_gui) == true ]] || fail "the action keeps no display"
[[ $(xmllint --xpath "string(//action[@id='$app_id.run']/defaults/allow_active)" "$policy") == auth_admin* ]] ||
    fail "the action does not ask for an administrator"
# Where polkitd runs, it must know the action as well.
if pkaction >/dev/null 2>&1; then
    pkaction --action-id "$app_id.run" --verbose | grep -q 'implicit active: *auth_admin' ||
        fail "polkitd does not know the action"
fi

echo "== the menu entries"
main_categories=" AudioVideo Audio Video Development Education Game Graphics Network Office Science Settings System Utility "
key() { # key FILE NAME: the value of NAME in the file's [Desktop Entry] group
    awk -F= -v k="$2" '/^\[/ { group = $0 } group == "[Desktop Entry]" && $1 == k { sub(/^[^=]*=/, ""); print; exit }' "$1"
}
for file in "$entry" "$admin_entry"; do
    [[ -f $file ]] || fail "$file is not installed"
    desktop-file-validate "$file" || fail "desktop-file-validate $file"
    count=0
    IFS=';' read -ra categories <<<"$(key "$file" Categories)"
    for category in "${categories[@]}"; do
        [[ $main_categories == *" $category "* ]] && count=$((count + 1))
    done
    ((count == 1)) || fail "$file has $count main categories: $(key "$file" Categories)"
    # English by default, Norwegian as [nb].
    [[ -n $(key "$file" 'Comment[nb]') && -n $(key "$file" 'GenericName[nb]') ]] || fail "$file has no Norwegian texts"
    [[ $(key "$file" Comment) != *"stasjon"* && $(key "$file" Comment) == *"drive"* ]] ||
        fail "$file's default comment is not English: $(key "$file" Comment)"
    [[ $(key "$file" Icon) == "$app_id" ]] || fail "$file names another icon"
done
[[ $(key "$entry" Exec) == spylerom ]] || fail "the menu entry runs '$(key "$entry" Exec)'"
[[ $(key "$admin_entry" 'Name[nb]') == "Spylerom (som administrator)" ]] ||
    fail "the second entry is named '$(key "$admin_entry" 'Name[nb]')'"
[[ $(key "$admin_entry" Exec) == "pkexec $(annotation org.freedesktop.policykit.exec.path)" ]] ||
    fail "the second entry runs '$(key "$admin_entry" Exec)', not the action's program through pkexec"
dpkg-deb -f "$deb" Depends | grep -Eq '(^|, )pkexec(,|$| )' || fail "the package does not depend on pkexec"

echo "== manual pages: exit statuses as the README, --help and the programs have them"
# The signal statuses a rendered page's exit-status section names: "129 SIGHUP" lines.
page_statuses() { # page_statuses RENDERED_TEXT SECTION_TITLE
    awk -v title="$2" '$0 == title { on = 1; next } /^[^ ]/ { on = 0 } on' "$1" |
        grep -Eo '^ +1[0-9]{2} +SIG[A-Z]+' | awk '{ print $1, $2 }' | sort
}
expected="129 SIGHUP
130 SIGINT
131 SIGQUIT
143 SIGTERM"
readme_statuses=$(grep -E '^\| 128 \+ N \|' "$readme" | grep -Eo '1[0-9]{2} SIG[A-Z]+' | sort)
[[ $readme_statuses == "$expected" ]] || fail "the README's table says: $readme_statuses"
for status in 0 1 2; do
    grep -Eq "^\| $status \| " "$readme" || fail "the README's table has no status $status"
done
help=$(/usr/bin/spylerom-cli --help)
for phrase in "Exit status: 0 when the run ended normally" "1 when a file could not be created, written" \
    "2 on bad input" "128 + N after signal N"; do
    [[ $help == *"$phrase"* ]] || fail "--help does not say '$phrase'"
done
for page in spylerom spylerom-cli; do
    MANWIDTH=80 man -l "/usr/share/man/man1/$page.1.gz" >"$scratch/$page.en.txt" 2>/dev/null
    [[ $(page_statuses "$scratch/$page.en.txt" "EXIT STATUS") == "$expected" ]] ||
        fail "$page(1) says: $(page_statuses "$scratch/$page.en.txt" "EXIT STATUS")"
    grep -q '^ *128 + N$' "$scratch/$page.en.txt" || fail "$page(1) does not give 128 + N"
done
for status in 0 1 2; do
    awk '$0 == "EXIT STATUS" { on = 1; next } /^[^ ]/ { on = 0 } on' "$scratch/spylerom-cli.en.txt" |
        grep -Eq "^ +$status +[A-Z]" || fail "spylerom-cli(1) does not give the status $status"
done

echo "== the Norwegian manual pages (man -L nb)"
for page in spylerom spylerom-cli; do
    file=$(man -L nb -w "$page") || fail "man -L nb finds no page $page"
    [[ $file == /usr/share/man/nb/man1/$page.1.gz ]] || fail "man -L nb $page reads $file"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$scratch/$page.nb.txt" 2>"$scratch/$page.nb.err" ||
        fail "man -l $file"
    [[ ! -s $scratch/$page.nb.err ]] || { cat "$scratch/$page.nb.err"; fail "man warns about the Norwegian $page"; }
    for section in NAVN OVERSIKT BESKRIVELSE VALG "RESERVER FOR ROOT" AVSLUTNINGSSTATUS SIGNALER "SE OGSÅ"; do
        grep -q "^$section\$" "$scratch/$page.nb.txt" || fail "the Norwegian $page(1) has no section $section"
    done
    [[ $(page_statuses "$scratch/$page.nb.txt" AVSLUTNINGSSTATUS) == "$expected" ]] ||
        fail "the Norwegian $page(1) says: $(page_statuses "$scratch/$page.nb.txt" AVSLUTNINGSSTATUS)"
done

echo "== the real exit statuses: a signal sent to a real fill (spylerom-cli) and to the window program"
image=$scratch/signals.img
mnt=$scratch/signals
mkdir -p "$mnt"
truncate -s 256M "$image"
mkfs.ext4 -q -m 0 "$image"
mount -o loop "$image" "$mnt"
trap 'umount "$mnt" 2>/dev/null || true' EXIT
while read -r status signal; do
    mkdir -p "$scratch/cli-$signal"
    # Ten passes: the signal comes during the first, once its file is there.
    APPDATA=$scratch/cli-$signal HOME=$scratch/cli-$signal \
        /usr/bin/spylerom-cli --repetitions 10 --block-size 65536 "$mnt" 2>"$scratch/cli-$signal.err" &
    pid=$!
    for _ in $(seq 600); do
        [[ -e $mnt/spylerom-1.tmp ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    [[ -e $mnt/spylerom-1.tmp ]] || { kill -KILL "$pid"; fail "spylerom-cli made no fill file"; }
    kill -s "${signal#SIG}" "$pid"
    real=0
    wait "$pid" || real=$?
    ((real == status)) || { cat "$scratch/cli-$signal.err"; fail "spylerom-cli ended with $real after $signal, its page says $status"; }
    [[ ! -e $mnt/spylerom-1.tmp ]] || fail "spylerom-cli left its file after $signal"
done <<<"$expected"
umount "$mnt"
trap - EXIT
while read -r status signal; do
    number=$(kill -l "${signal#SIG}")
    dir=$scratch/window-$signal
    mkdir -p "$dir"
    (cd "$dir" && exec env APPDATA="$dir" HOME="$dir" QT_QPA_PLATFORM=offscreen /usr/bin/spylerom >"$dir/out" 2>&1) &
    pid=$!
    # Its handler shows in the caught signals once the message loop runs.
    caught=0
    for _ in $(seq 300); do
        mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
        if [[ -n $mask ]] && (((16#$mask >> (number - 1)) & 1)); then
            caught=1
            break
        fi
        sleep 0.1
    done
    ((caught)) || { kill -KILL "$pid"; fail "spylerom did not take $signal"; }
    kill -s "${signal#SIG}" "$pid"
    real=0
    wait "$pid" || real=$?
    ((real == status)) || { cat "$dir/out"; fail "spylerom ended with $real after $signal, its page says $status"; }
done <<<"$expected"

echo "== the timer's units"
units=/usr/lib/systemd/system
[[ -f $units/spylerom-cli@.service && -f $units/spylerom-cli@.timer ]] || fail "the units are not installed"
instance=$(systemd-escape -p /media/data)
[[ $instance == media-data ]] || fail "systemd-escape -p gave $instance"
mkdir -p "$scratch/units"
for kind in service timer; do
    ln -sf "$units/spylerom-cli@.$kind" "$scratch/units/spylerom-cli@$instance.$kind"
done
(cd "$scratch/units" && SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no \
    "spylerom-cli@$instance.service" "spylerom-cli@$instance.timer") >"$scratch/units.log" 2>&1 ||
    { cat "$scratch/units.log"; fail "systemd-analyze verify"; }
[[ ! -s $scratch/units.log ]] || { cat "$scratch/units.log"; fail "systemd-analyze warns about the units"; }
grep -qx 'ExecStart=/usr/bin/spylerom-cli %f' "$units/spylerom-cli@.service" ||
    fail "the service does not name the drive by its mount point"
! grep -Eq 'ExecStart=.* [A-Z]:' "$units/spylerom-cli@.service" || fail "the service names a drive letter"
# Disabled by default: nothing of the package is linked into a target.
if find /etc/systemd/system -name 'spylerom-cli@*' 2>/dev/null | grep -q .; then
    fail "the package enabled a unit"
fi
grep -q "systemctl enable --now spylerom-cli@" "$scratch/spylerom-cli.en.txt" ||
    fail "spylerom-cli(1) has no example of the timer"

echo "== hardening: lintian shows no hardening tags"
lintian --info --tags hardening-no-fortify-functions,hardening-no-bindnow,hardening-no-relro,hardening-no-pie \
    "$deb" >"$scratch/hardening.log" 2>&1 || { cat "$scratch/hardening.log"; fail "lintian did not run"; }
if grep -q 'hardening-' "$scratch/hardening.log"; then
    cat "$scratch/hardening.log"
    fail "lintian reports hardening tags"
fi
echo "desktop_checks: passed"
