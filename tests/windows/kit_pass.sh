#!/usr/bin/env bash
# The kit's dispatches through Tolvane.exe --headless --once under Wine: the real registry of
# the Wine prefix, the host's ODBC drivers (reached through Wine's ODBC) with an embedded SQLite
# database or the PostgreSQL cluster of a fixture, and the FTP server of a fixture. What is
# uploaded must be the Linux golden files, byte for byte.
#   kit_pass.sh EXE FTP_STATE WORK sqlite
#   kit_pass.sh EXE FTP_STATE WORK postgresql POSTGRES_STATE
set -euo pipefail
exe="$1"
ftp_state="$2"
work="$3"
database="$4"
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
run="$source_dir/cmake/wine-run"
port=$(cat "$ftp_state/port")
root="$ftp_state/root"

rm -rf "$work" "$root/despachos"
mkdir -p "$work/program" "$work/data" "$work/kit/out" "$work/backup1" "$work/backup2"
cp "$exe" "$work/program/"
win() { echo "Z:${1//\//\\}"; }  # a host path as Windows programs under Wine see it

printf '[Opciones]\r\nSERVIDOR=ftp://127.0.0.1:%s\r\nUSUARIO=tolvane\r\nPASSWORD=secreto\r\nDIRECTORIO=despachos\r\nRUTA1=%s\\\r\nRUTA2=%s\\\r\nMILISEGUNDOS=2000\r\n' \
    "$port" "$(win "$work/backup1")" "$(win "$work/backup2")" >"$work/program/Config.ini"
if [ "$database" = sqlite ]; then
    # The host's driver opens the databases: host paths.
    internos="Driver=SQLite3;Database=$work/data/internos.db"
    historial="Driver=SQLite3;Database=$work/data/historial.db"
    sqlite3 -bail "$work/data/internos.db" ".read $source_dir/db/sqlite/schema.sql" \
        ".read $source_dir/db/sample-operations.sql" >/dev/null
    sqlite3 -bail "$work/data/historial.db" ".read $source_dir/db/sqlite/schema.sql" >/dev/null
    history_rows() { sqlite3 "$work/data/historial.db" 'select count(*) from historial'; }
else
    pg_port=$(cat "$5/port")
    internos="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$pg_port;Database=postgres;UID=postgres"
    historial="$internos"
    pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
    "$pg_bin/psql" -X -q -h 127.0.0.1 -p "$pg_port" -U postgres -d postgres -c 'delete from historial'
    history_rows() {
        "$pg_bin/psql" -X -At -h 127.0.0.1 -p "$pg_port" -U postgres -d postgres \
            -c 'select count(*) from historial'
    }
fi
printf '[INTERNOS]\r\nConnectionString=%s\r\n[HISTORIAL]\r\nConnectionString=%s\r\n' \
    "$internos" "$historial" >"$work/program/QuillonConfig.ini"
for f in "$source_dir"/tests/data/kit/*.RET; do
    case "$(basename "$f")" in ?10073IC04000666E.RET) ;; *) cp "$f" "$work/kit/out/" ;; esac
done

# The kit is a 32-bit program: its value lives in the 32-bit view of the registry.
"$run" reg add 'HKLM\SOFTWARE\SIF America\KitMaria' /v KITOUT /d "$(win "$work/kit/out")\\" \
    /f /reg:32 >/dev/null
"$run" reg add 'HKCU\Software\VB and VBA Program Settings\VESTRAL\DEFAULT' /v UBICACION \
    /d "$(win "$work/program")\\" /f >/dev/null

# Day-first dates, as the golden files were made.
status=0
LC_ALL=es_AR.UTF-8 TOLVANE_HOME="$(win "$work/program")" ODBCSYSINI="$source_dir/odbc" \
    "$run" "$work/program/Tolvane.exe" --headless --once || status=$?
[ "$status" -eq 0 ] || { echo "Tolvane.exe exited $status" >&2; exit 1; }

user=$("$run" cmd /c 'echo %USERNAME%' | tr -d '\r')
failed=0
for golden in "$source_dir"/tests/data/golden/*.xml; do
    name=$(basename "$golden")
    if ! sed "s/@USUARIO@/$user/" "$golden" | cmp -s - "$root/despachos/$name"; then
        echo "differs from the golden file: $name" >&2
        failed=1
    fi
done
uploaded=$(ls "$root/despachos" | wc -l)
golden_count=$(ls "$source_dir"/tests/data/golden/*.xml | wc -l)
[ "$uploaded" -eq "$golden_count" ] || { echo "uploaded $uploaded files, expected $golden_count" >&2; failed=1; }
# Backed up and removed from the kit's folder: only the LAPI dispatch stays.
[ "$(ls "$work/kit/out")" = "$(printf 'C10073LAPI000055D.RET\nI10073LAPI000055D.RET')" ] ||
    { echo "left in the kit's folder: $(ls "$work/kit/out")" >&2; failed=1; }
cmp -s <(ls "$work/backup1") <(ls "$work/backup2") || { echo "the backups differ" >&2; failed=1; }
rows=$(history_rows)
[ "$rows" -eq 4 ] || { echo "HISTORIAL holds $rows rows, expected 4" >&2; failed=1; }
exit $failed
