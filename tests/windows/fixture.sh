#!/usr/bin/env bash
# The host's servers for the Windows tests, which under Wine cannot supervise host programs:
# ctest runs this around the tests that need them.
#   fixture.sh start|stop ftp|postgres|secure STATE
# Each server runs on free loopback ports written to STATE (port, or ftpes_port and sftp_port),
# configured as the Linux tests run it. STATE is a link to a fresh temporary folder that every
# user may enter: the servers that run as users of their own (postgres, the FTP and SSH test
# user) must reach their files whatever the permissions of the folders above the build.
set -euo pipefail
action="$1"
server="$2"
link="$3"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
support="$source_dir/tests/support"
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# background NAME PORT COMMAND...: runs a server, its pid in NAME.pid, until PORT answers.
background() {
    local name="$1" port="$2"
    shift 2
    "$@" >"$state/$name.out" 2>&1 &
    echo $! >"$state/$name.pid"
    for _ in $(seq 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    cat "$state/$name.out" >&2
    return 1
}

stop() {
    local state pid signal
    state="$(readlink "$link" 2>/dev/null)" || return 0
    for pid in "$state"/*.pid; do
        # SIGQUIT stops PostgreSQL at once.
        signal=TERM
        if [ "$(basename "$pid")" = postgres.pid ]; then signal=QUIT; fi
        if [ -f "$pid" ]; then kill -"$signal" "$(cat "$pid")" 2>/dev/null || true; fi
    done
    rm -f "$link"
    # The servers' own files (a cluster as postgres) are removed once they have ended.
    for _ in $(seq 50); do
        rm -rf "$state" 2>/dev/null && return 0
        sleep 0.1
    done
}

if [ "$action" = stop ]; then
    stop
    exit 0
fi

stop  # what an interrupted run left
state="$(mktemp -d "${TMPDIR:-/tmp}/tolvane-$server.XXXXXX")"
chmod 755 "$state"
mkdir -p "$(dirname "$link")"
ln -sfn "$state" "$link"
mkdir -p "$state/root"
case "$server" in
ftp)
    port=$(free_port)
    echo "$port" >"$state/port"
    background ftp "$port" /usr/bin/python3 "$support/ftp_server.py" --port "$port" \
        --root "$state/root" --log "$state/ftp.log" --user tolvane --password secreto
    ;;
postgres)
    port=$(free_port)
    echo "$port" >"$state/port"
    bash "$support/postgres_server.sh" prepare "$state" "$pg_bin"
    background postgres "$port" bash "$support/postgres_server.sh" run "$state" "$pg_bin" "$port"
    psql=("$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres)
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
secure)
    bash "$support/secure_server.sh" prepare "$state"
    for kind in ftpes sftp; do
        port=$(free_port)
        echo "$port" >"$state/${kind}_port"
        background "$kind" "$port" bash "$support/secure_server.sh" run "$state" "$kind" "$port"
    done
    ;;
esac
