#!/usr/bin/env bash
# The throwaway PostgreSQL cluster of the tests, configured once for the Linux tests (which run
# it as a child) and the Windows ones (whose fixtures run it on the host):
#   postgres_server.sh prepare DIR BIN      a cluster in DIR/data (UTF8, C locale, trust
#                                           authentication) with the programs of BIN
#   postgres_server.sh run DIR BIN PORT     the server on 127.0.0.1:PORT, its socket in DIR, in
#                                           the foreground; fsync off (commits survive a server
#                                           stop, not a machine crash)
# As root the cluster belongs to, and the server runs as, "postgres": PostgreSQL refuses root.
set -euo pipefail
dir="$2"
bin="$3"
as_server=()
if [ "$(id -u)" -eq 0 ]; then as_server=(setpriv --reuid=postgres --regid=postgres --clear-groups); fi

case "$1" in
prepare)
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    "${as_server[@]}" "$bin/initdb" -D "$dir/data" --auth=trust --username=postgres \
        --encoding=UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    ;;
run)
    exec "${as_server[@]}" "$bin/postgres" -D "$dir/data" -p "$4" -c listen_addresses=127.0.0.1 \
        -c "unix_socket_directories=$dir" -c fsync=off -c full_page_writes=off \
        -c shared_buffers=16MB -c max_connections=40
    ;;
esac
