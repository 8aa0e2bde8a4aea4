#!/usr/bin/env bash
# Starts (start) or stops (stop) a throwaway PostgreSQL cluster on a free loopback port for the
# Windows end-to-end test, as the Linux tests run it, with the operations and history tables:
# Wine's ODBC reaches it through the host's psqlODBC. State lives in the folder given.
set -euo pipefail
action="$1"
state="$2"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)

case "$action" in
start)
    rm -rf "$state"
    mkdir -p "$state"
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "$port" >"$state/port"
    bash "$source_dir/tests/support/postgres_server.sh" prepare "$state" "$bin"
    bash "$source_dir/tests/support/postgres_server.sh" run "$state" "$bin" "$port" \
        >"$state/server.log" 2>&1 &
    echo $! >"$state/pid"
    psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres)
    for _ in $(seq 100); do
        if "${psql[@]}" -c 'select 1' >/dev/null 2>&1; then break; fi
        sleep 0.1
    done
    "${psql[@]}" -f "$source_dir/db/postgresql/schema.sql"
    # The sample pads a tax id with blanks, as fixed-width columns of older systems do, to show
    # that lookups trim them; SQLite takes it in a varchar(11), PostgreSQL needs the room.
    "${psql[@]}" -c 'alter table caratula alter column cuitcliente type varchar(13)'
    "${psql[@]}" -f "$source_dir/db/sample-operations.sql"
    ;;
stop)
    # SIGQUIT: an immediate stop.
    if [ -f "$state/pid" ]; then kill -QUIT "$(cat "$state/pid")" 2>/dev/null || true; fi
    ;;
esac
