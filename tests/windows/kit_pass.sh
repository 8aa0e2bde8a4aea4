#!/usr/bin/env bash
# The kit's dispatches through Tolvane.exe --headless --once under Wine: the real registry of
# the Wine prefix, the host's ODBC drivers (reached through Wine's ODBC) with an embedded SQLite
# database or the PostgreSQL cluster of a fixture, and the FTP server of a fixture. What is
# uploaded must be the Linux golden files, byte for byte.
# With "unc", the kit's folder and the backup folders are named by UNC paths of a shared folder
# (\\servidor\oficina\…), which Wine maps to a folder of its prefix.
#   kit_pass.sh EXE FTP_STATE WORK sqlite [unc]
#   kit_pass.sh EXE FTP_STATE WORK postgresql POSTGRES_STATE
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
ftp_state="$2"
root="$ftp_state/root"
unc=
if [ "${5:-}" = unc ]; then
    unc='\\servidor\oficina'
    set -- "$1" "$2" "$3" "$4" ""
fi

make_home "$1" "$3" "$4" "${5:-}"
rm -rf "$root/despachos"
if [ -n "$unc" ]; then
    mkdir -p "${WINEPREFIX:?}/dosdevices/unc/servidor"
    ln -sfn "$work" "$WINEPREFIX/dosdevices/unc/servidor/oficina"
    "$run" reg add 'HKLM\SOFTWARE\SIF America\KitMaria' /v KITOUT /d "$unc\kit\out\\" /f \
        /reg:32 >/dev/null 2>&1
    backup1="$unc\backup1" backup2="$unc\backup2"
fi
write_config "ftp://127.0.0.1:$(cat "$ftp_state/port")"
run_tolvane
[ "$status" -eq 0 ] || { echo "Tolvane.exe exited $status:" >&2; cat "$work/messages" >&2; exit 1; }

user=$("$run" cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
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
