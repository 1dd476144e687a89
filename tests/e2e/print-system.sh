#!/bin/bash
# A print system of the test's own, as an enterprise PC has one: a CUPS
# scheduler with its own configuration, spool and port, and one IPP
# Everywhere printer (ippeveprinter) added to it with lpadmin -m everywhere,
# which keeps every document it receives in FOLDER/out. The machine's own
# CUPS is not touched: every program here talks to the ports and files made
# here. The printer announces itself through a DNS-SD daemon on a message
# bus of its own, both seen by nothing else.
#
# usage: print-system.sh FOLDER
# Prints "READY <scheduler port>" once the printer is the default queue
# ("tavlin-test"), then runs until it is terminated, and ends everything it
# started with it.
set -eu
folder=$1
mkdir -p "$folder"/{root/ppd,spool,cache,state,tmp,log,out,avahi}
pids=()
finish() {
    trap - EXIT TERM INT
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap finish EXIT
trap 'exit 0' TERM INT

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Waits until something listens on the port (15 s at most).
wait_for_port() {
    for _ in $(seq 150); do
        if (exec 3<>/dev/tcp/127.0.0.1/"$1") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    echo "print-system: nothing listens on port $1" >&2
    return 1
}

cups_port=$(free_port)
printer_port=$(free_port)

# The message bus and the DNS-SD daemon; the daemon's pid file goes to a
# /run of its own (a mount namespace; a user namespace when not root).
dbus-daemon --session --address="unix:path=$folder/bus" --nofork --nopidfile &
pids+=($!)
for _ in $(seq 100); do [ -S "$folder/bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$folder/bus"
cat > "$folder/avahi/avahi-daemon.conf" <<CONF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-addresses=no
publish-hinfo=no
publish-workstation=no
CONF
namespace=(unshare -m)
[ "$(id -u)" = 0 ] || namespace=(unshare -rm)
"${namespace[@]}" sh -c 'mount -t tmpfs tmpfs /run && mkdir /run/avahi-daemon &&
    exec avahi-daemon --no-drop-root --no-chroot --no-rlimits --no-proc-title -f "$1"' \
    avahi "$folder/avahi/avahi-daemon.conf" > "$folder/log/avahi.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q "Server startup complete" "$folder/log/avahi.log" 2>/dev/null && break
    sleep 0.1
done

ippeveprinter -p "$printer_port" -n localhost -k -d "$folder/out" -f application/pdf \
    -m "Test Printer" "Tavlin Test" > "$folder/log/printer.log" 2>&1 &
pids+=($!)

cat > "$folder/root/cupsd.conf" <<CONF
Listen 127.0.0.1:$cups_port
LogLevel info
WebInterface No
Browsing Off
DefaultAuthType None
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
{
    echo "ServerRoot $folder/root"
    echo "RequestRoot $folder/spool"
    echo "CacheDir $folder/cache"
    echo "StateDir $folder/state"
    echo "TempDir $folder/tmp"
    echo "AccessLog $folder/log/access_log"
    echo "ErrorLog $folder/log/error_log"
    echo "PageLog $folder/log/page_log"
    echo "ServerBin /usr/lib/cups"
    echo "DataDir /usr/share/cups"
    if [ "$(id -u)" != 0 ]; then
        echo "User $(id -un)"
        echo "Group $(id -gn)"
    fi
} > "$folder/root/cups-files.conf"
if [ "$(id -u)" = 0 ]; then
    # The filters run as lp: they read the spool and write in the temporary folder.
    chgrp lp "$folder/spool" "$folder/tmp" "$folder/cache"
    chmod 0710 "$folder/spool"
    chmod 0770 "$folder/tmp" "$folder/cache"
    chmod 0755 "$folder"
fi
cupsd -f -c "$folder/root/cupsd.conf" -s "$folder/root/cups-files.conf" \
    > "$folder/log/cupsd.out" 2>&1 &
pids+=($!)

wait_for_port "$printer_port"
wait_for_port "$cups_port"
export CUPS_SERVER="127.0.0.1:$cups_port"
lpadmin -p tavlin-test -E -v "ipp://localhost:$printer_port/ipp/print" -m everywhere \
    -L "test room" >&2
lpadmin -d tavlin-test >&2
echo "READY $cups_port"
wait
