#!/usr/bin/env bash
# Starts (start) or stops (stop) the encrypted upload servers of the Windows tests on free
# loopback ports: vsftpd with explicit TLS and sshd, as the Linux tests run them. State lives
# in the folder given: the ports in ftpes_port and sftp_port.
set -euo pipefail
action="$1"
state="$2"
server="$(dirname "$0")/../support/secure_server.sh"

case "$action" in
start)
    rm -rf "$state"
    mkdir -p "$state"
    bash "$server" prepare "$state"
    for kind in ftpes sftp; do
        port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        echo "$port" >"$state/${kind}_port"
        bash "$server" run "$state" "$kind" "$port" >"$state/$kind.out" 2>&1 &
        echo $! >"$state/$kind.pid"
        for _ in $(seq 100); do
            if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue 2; fi
            sleep 0.1
        done
        cat "$state/$kind.out" >&2
        exit 1
    done
    ;;
stop)
    for pid in "$state"/*.pid; do
        if [ -f "$pid" ]; then kill "$(cat "$pid")" 2>/dev/null || true; fi
    done
    ;;
esac
