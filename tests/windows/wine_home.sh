# shellcheck shell=bash
# A home for Tolvane.exe under Wine, shared by the Windows end-to-end tests: its program folder
# (Config.ini, QuillonConfig.ini), the databases, the kit's folder with the sample dispatches,
# the backup folders, and the two registry values that point at them in the Wine prefix.

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
run="$source_dir/cmake/wine-run"
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)

win() { echo "Z:${1//\//\\}"; }  # a host path as Windows programs under Wine see it

# make_home EXE WORK sqlite|postgresql [POSTGRES_STATE] [DISPATCH...]: every sample dispatch but
# the unreadable one, or those named.
make_home() {
    local exe="$1" database="$3" pg_state="${4:-}"
    work="$2"
    shift 4 || shift $#
    rm -rf "$work"
    mkdir -p "$work/program" "$work/data" "$work/kit/out" "$work/backup1" "$work/backup2"
    cp "$exe" "$work/program/"
    local internos historial
    if [ "$database" = sqlite ]; then
        # The host's driver opens the databases: host paths.
        internos="Driver=SQLite3;Database=$work/data/internos.db"
        historial="Driver=SQLite3;Database=$work/data/historial.db"
        sqlite3 -bail "$work/data/internos.db" ".read $source_dir/db/sqlite/schema.sql" \
            ".read $source_dir/db/sample-operations.sql" >/dev/null
        sqlite3 -bail "$work/data/historial.db" ".read $source_dir/db/sqlite/schema.sql" >/dev/null
        history_rows() { sqlite3 "$work/data/historial.db" 'select count(*) from historial'; }
    else
        pg_port=$(cat "$pg_state/port")
        internos="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$pg_port;Database=postgres;UID=postgres"
        historial="$internos"
        psql_do() { "$pg_bin/psql" -X -q -At -h 127.0.0.1 -p "$pg_port" -U postgres -d postgres -c "$1"; }
        psql_do 'delete from historial'
        history_rows() { psql_do 'select count(*) from historial'; }
    fi
    printf '[INTERNOS]\r\nConnectionString=%s\r\n[HISTORIAL]\r\nConnectionString=%s\r\n' \
        "$internos" "$historial" >"$work/program/QuillonConfig.ini"
    local f
    if [ $# -eq 0 ]; then
        for f in "$source_dir"/tests/data/kit/*.RET; do
            case "$(basename "$f")" in ?10073IC04000666E.RET) ;; *) cp "$f" "$work/kit/out/" ;; esac
        done
    else
        for f in "$@"; do cp "$source_dir/tests/data/kit/"[CI]"$f.RET" "$work/kit/out/"; done
    fi
    # Left by the kit a while ago: a sample that is not a whole document (an empty items file)
    # is taken at once only when it has not changed for a minute.
    touch -d '-2 minutes' "$work/kit/out/"*
    # The kit is a 32-bit program: its value lives in the 32-bit view of the registry.
    "$run" reg add 'HKLM\SOFTWARE\SIF America\KitMaria' /v KITOUT /d "$(win "$work/kit/out")\\" \
        /f /reg:32 >/dev/null 2>&1
    "$run" reg add 'HKCU\Software\VB and VBA Program Settings\VESTRAL\DEFAULT' /v UBICACION \
        /d "$(win "$work/program")\\" /f >/dev/null 2>&1
}

# write_config SERVIDOR [MORE_LINES]: the [Opciones] of Config.ini; the backup folders are
# $backup1 and $backup2 when set.
write_config() {
    printf '[Opciones]\r\nSERVIDOR=%s\r\nUSUARIO=%s\r\nPASSWORD=%s\r\nDIRECTORIO=despachos\r\nRUTA1=%s\\\r\nRUTA2=%s\\\r\nMILISEGUNDOS=2000\r\n%s' \
        "$1" "${upload_user:-tolvane}" "${upload_password:-secreto}" \
        "${backup1:-$(win "$work/backup1")}" "${backup2:-$(win "$work/backup2")}" "${2:-}" \
        >"$work/program/Config.ini"
}

# run_tolvane: one start-up and pass; its messages in $work/messages, its exit status in $status.
# Dates day first, as the golden files were made: the prefix's regional settings (cmake/wine-run).
run_tolvane() {
    status=0
    TOLVANE_HOME="$(win "$work/program")" ODBCSYSINI="$source_dir/odbc" \
        "$run" "$work/program/Tolvane.exe" --headless --once 2>"$work/messages" || status=$?
}
