#!/usr/bin/env bash
# Tolvane.exe's exit statuses under Wine are those of Linux: 0 for --version, which prints it,
# 64 for an unknown option, 2 for a start that leaves the program idle (no timer period), with
# its message. What a program prints goes into files, not pipes: a Wine service that it starts
# and that outlives it would keep a pipe open, and its reader waiting.
#   exit_statuses.sh EXE WORK VERSION
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
make_home "$1" "$2" sqlite "" 10073IC04004521A
failed=0
expect() {
    [ "$status" -eq "$1" ] || { echo "$2: exit status $status, expected $1:" >&2; cat "$work/messages" >&2; failed=1; }
}

status=0
"$run" "$work/program/Tolvane.exe" --version >"$work/messages" 2>&1 || status=$?
expect 0 "--version"
[ "$(tr -d '\r' <"$work/messages")" = "tolvane $3" ] ||
    { echo "--version printed: $(cat "$work/messages")" >&2; failed=1; }
status=0
"$run" "$work/program/Tolvane.exe" --cualquiera 2>"$work/messages" || status=$?
expect 64 "an unknown option"
write_config "file:///C:/envios"
sed -i '/MILISEGUNDOS/d' "$work/program/Config.ini"
run_tolvane
expect 2 "a start without a timer period"
grep -q "frecuencia" "$work/messages" || { echo "no word of the missing period" >&2; failed=1; }
exit $failed
