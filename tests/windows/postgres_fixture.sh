#!/usr/bin/env bash
# Starts (start) or stops (stop) a throwaway PostgreSQL cluster on a free loopback port for the
# Windows end-to-end test, with the operations and history tables: Wine's ODBC reaches it
# through the host's psqlODBC. State lives in the folder given.
set -euo pipefail
action="$1"
state="$2"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
as_server=()
if [ "$(id -u)" -eq 0 ]; then as_server=(setpriv --reuid=postgres --regid=postgres --clear-groups); fi

case "$action" in
start)
    rm -rf "$state"
    mkdir -p "$state"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$state"; fi
    port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "$port" >"$state/port"
    "${as_server[@]}" "$bin/initdb" -D "$state/data" --auth=trust --username=postgres \
        --encoding=UTF8 --locale=C --no-sync >"$state/initdb.log" 2>&1
    "${as_server[@]}" "$bin/pg_ctl" -D "$state/data" -l "$state/server.log" -w -o \
        "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories=$state -c fsync=off" \
        start >/dev/null
    psql=("$bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres)
    "${psql[@]}" -f "$source_dir/db/postgresql/schema.sql"
    # The sample pads a tax id with blanks, as fixed-width columns of older systems do, to show
    # that lookups trim them; SQLite takes it in a varchar(11), PostgreSQL needs the room.
    "${psql[@]}" -c 'alter table caratula alter column cuitcliente type varchar(13)'
    "${psql[@]}" -f "$source_dir/db/sample-operations.sql"
    ;;
stop)
    if [ -d "$state/data" ]; then
        "${as_server[@]}" "$bin/pg_ctl" -D "$state/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    ;;
esac
