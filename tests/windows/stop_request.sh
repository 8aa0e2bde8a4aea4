#!/usr/bin/env bash
# A resident Tolvane.exe under Wine, with its console front-end or its windows: it sends the
# kit's dispatch to a file:// folder named by its drive, and a stop request (WM_CLOSE to its
# top-level windows, as taskkill without /f sends) ends it within two seconds with exit status 0.
#   stop_request.sh EXE WORK [--headless]
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"

make_home "$1" "$2" sqlite "" 10073IC04004521A
server="$(win "$work/server")"
write_config "file:///${server//\\//}"
TOLVANE_HOME="$(win "$work/program")" ODBCSYSINI="$source_dir/odbc" \
    "$run" "$work/program/Tolvane.exe" ${3:-} 2>"$work/messages" &
program=$!
for _ in $(seq 150); do
    if [ -f "$work/server/despachos/C4521.xml" ]; then break; fi
    sleep 0.1
done
if [ ! -f "$work/server/despachos/I4521.xml" ]; then
    echo "the resident program sent nothing:" >&2
    cat "$work/messages" >&2
    kill "$program"
    exit 1
fi
asked=$(date +%s%N)
"$run" taskkill /im Tolvane.exe >/dev/null 2>&1 || true
status=0
for _ in $(seq 50); do
    if ! kill -0 "$program" 2>/dev/null; then break; fi
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    echo "still running 5 s after the stop request" >&2
    kill "$program"
    exit 1
fi
wait "$program" || status=$?
took=$((($(date +%s%N) - asked) / 1000000))
[ "$status" -eq 0 ] || { echo "exit status $status after the stop request:" >&2; cat "$work/messages" >&2; exit 1; }
[ "$took" -lt 2000 ] || { echo "the stop took $took ms" >&2; exit 1; }
