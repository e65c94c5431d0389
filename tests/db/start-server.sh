#!/bin/bash
# Starts a Firebird server on a loopback port for the tests that need a real
# server, as user firebird and without systemd. Usage: start-server.sh RUNDIR PORT PASSWORD
# Must run as root: it edits the server's configuration and switches user.
set -euo pipefail
rundir=$1 port=$2 password=$3
conf=/etc/firebird/3.0/firebird.conf
security=/var/lib/firebird/3.0/system/security3.fdb

fail() { echo "start-server: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "must run as root to start the Firebird server"
[ -x /usr/sbin/firebird ] || fail "/usr/sbin/firebird is missing (package firebird3.0-server)"

# A server left behind by an interrupted run of this fixture is ours to stop.
if [ -f "$rundir/server.pid" ]; then
    "$(dirname "$0")/stop-server.sh" "$rundir" || true
fi
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "port $port on 127.0.0.1 is already in use; stop whatever listens there and rerun"
fi

# The first occurrence of a key wins, so edit the existing lines in place.
sed -i -E "s/^#?RemoteServicePort[[:space:]]*=.*/RemoteServicePort = $port/" "$conf"
sed -i -E "s/^#?RemoteBindAddress[[:space:]]*=.*/RemoteBindAddress = 127.0.0.1/" "$conf"

# The package may have been installed earlier with another password; no
# server runs now, so the security database can be opened directly.
echo "create or alter user SYSDBA password '$password'; commit;" |
    isql-fb -q -bail -user SYSDBA "$security" >/dev/null ||
    fail "could not set the SYSDBA password in $security"

rm -rf "$rundir"
install -d -o firebird -g firebird -m 0770 /tmp/firebird "$rundir"
setpriv --reuid=firebird --regid=firebird --init-groups /usr/sbin/firebird \
    >>"$rundir/server.out" 2>&1 &
pid=$!
echo "$pid" >"$rundir/server.pid"

for _ in $(seq 1 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" && code=0 || code=$?
        rm -f "$rundir/server.pid"
        fail "the server exited with code $code (2 means port $port is busy): $(cat "$rundir/server.out")"
    fi
    if fbsvcmgr "localhost/$port:service_mgr" -user SYSDBA -password "$password" \
        -info_server_version >/dev/null 2>&1; then
        echo "Firebird server running on 127.0.0.1:$port, pid $pid"
        exit 0
    fi
    sleep 0.1
done
"$(dirname "$0")/stop-server.sh" "$rundir" || true
fail "the server did not answer on port $port within 10 seconds"
