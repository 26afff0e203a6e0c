#!/usr/bin/env bash
# A private CUPS scheduler with one cups-pdf queue, for the end-to-end print test.
#   cups_fixture.sh start DIR QUEUE   starts cupsd on DIR/cups.sock and creates QUEUE, whose
#                                     PDFs land in DIR/out; prints the socket path
#   cups_fixture.sh stop DIR          stops that cupsd and removes the queue's cups-pdf settings
# Exit status 77: cupsd cannot run here (the caller skips with the message on standard error).
set -euo pipefail
action=$1
dir=$2
instance="spylerom-$(basename "$dir")"
pdfconf="/etc/cups/cups-pdf-$instance.conf"

skip() {
    echo "cups_fixture: $*" >&2
    stop
    exit 77
}

start() {
    local queue=$1
    [ "$(id -u)" -eq 0 ] || skip "needs root: the cups-pdf backend runs only as root"
    command -v cupsd >/dev/null || skip "cupsd is not installed (package cups)"
    command -v lpadmin >/dev/null || skip "lpadmin is not installed (package cups-client)"
    [ -x /usr/lib/cups/backend/cups-pdf ] || skip "the cups-pdf backend is not installed (printer-driver-cups-pdf)"
    local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
    [ -r "$ppd" ] || skip "$ppd is missing"

    mkdir -p "$dir"/{conf,spool,cache,state,tmp,log,out,pdfspool}
    # Filters run as the lp user: they must reach the spool through the test's folder.
    chmod 0755 "$dir" "$dir"/{conf,cache,state,log,out}
    chmod 1777 "$dir/tmp"
    cat >"$dir/conf/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
SystemGroup root
FileDevice Yes
CONF
    cat >"$pdfconf" <<CONF
Out $dir/out
Spool $dir/pdfspool
Log $dir/log
Grp root
CONF
    # In the foreground of a session of its own, so its process id is ours to stop.
    setsid cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" </dev/null >"$dir/log/start" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    for _ in $(seq 1 100); do
        lpstat -h "$dir/cups.sock" -r 2>/dev/null | grep -q 'is running' && break
        kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
        sleep 0.1
    done
    lpstat -h "$dir/cups.sock" -r 2>/dev/null | grep -q 'is running' ||
        skip "cupsd does not answer on $dir/cups.sock: $(cat "$dir/log/start" "$dir/log/error_log" 2>/dev/null)"
    lpadmin -h "$dir/cups.sock" -p "$queue" -E -v "cups-pdf:/$instance" -P "$ppd" 2>"$dir/log/lpadmin" || {
        echo "cups_fixture: lpadmin failed: $(cat "$dir/log/lpadmin")" >&2
        exit 1
    }
    echo "$dir/cups.sock"
}

stop() {
    if [ -s "$dir/cupsd.pid" ]; then
        local pid
        pid=$(cat "$dir/cupsd.pid")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
    fi
    rm -f "$pdfconf"
}

case $action in
start) start "$3" ;;
stop) stop ;;
*)
    echo "usage: $0 start DIR QUEUE | stop DIR" >&2
    exit 2
    ;;
esac
