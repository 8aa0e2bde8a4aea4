#!/usr/bin/env bash
# Starts (start) or stops (stop) the loopback FTP server that the Windows end-to-end test
# uploads to: a Windows test process under Wine cannot supervise a host program, so ctest
# runs this on the host around the tests that need it. State lives in the folder given.
set -euo pipefail
action="$1"
state="$2"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"

case "$action" in
start)
    rm -rf "$state"
    mkdir -p "$state/root"
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    /usr/bin/python3 "$source_dir/tests/support/ftp_server.py" --port "$port" \
        --root "$state/root" --log "$state/ftp.log" --user tolvane --password secreto \
        >"$state/server.out" 2>&1 &
    echo $! >"$state/pid"
    echo "$port" >"$state/port"
    for _ in $(seq 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then exit 0; fi
        sleep 0.1
    done
    cat "$state/server.out" >&2
    exit 1
    ;;
stop)
    if [ -f "$state/pid" ]; then kill "$(cat "$state/pid")" 2>/dev/null || true; fi
    ;;
esac
