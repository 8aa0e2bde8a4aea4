#!/usr/bin/env bash
# Tolvane.exe started from a console without redirection, the way a console window starts a
# program of the GUI subsystem (tests/windows/console_parent.cpp: no standard handles at all):
# the console modes must show on that console what they write to redirected streams, accented
# letters intact, and end with the same exit status.
#   console.sh EXE CONSOLE_PARENT WORK
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
parent="$2"
make_home "$1" "$3" sqlite "" 10073IC04004521A
program="$work/program/Tolvane.exe"
failed=0

tolvane() {  # tolvane RUNNER...: the program's environment for the command that follows
    TOLVANE_HOME="$(win "$work/program")" ODBCSYSINI="$source_dir/odbc" "$@"
}
# expect WHAT STATUS OPTION...: the console shows what the redirected streams get, and STATUS.
expect() {
    local what="$1" status="$2"
    shift 2
    local redirected=0 console
    tolvane "$run" "$program" "$@" >"$work/redirected" 2>&1 || redirected=$?
    # Into files, not pipes: a Wine process that lingers after the program (the desktop's,
    # the console's) would keep a pipe open, and its reader waiting.
    tolvane "$run" "$parent" "$(win "$program")" "$@" >"$work/console" 2>&1 || true
    console=$(tr -d '\r' <"$work/console")
    tr -d '\r' <"$work/redirected" | sed 's/ *$//' >"$work/expected"
    sed -n 's/^console: //p' <<<"$console" | sed 's/ *$//' >"$work/shown"
    if [ ! -s "$work/expected" ] || [ "$redirected" -ne "$status" ]; then
        echo "$what: redirected, exit status $redirected (expected $status) and:" >&2
        cat "$work/expected" >&2
        failed=1
    elif ! cmp -s "$work/expected" "$work/shown" || ! grep -qx "exit status $status" <<<"$console"; then
        echo "$what: the console differs from the redirected streams (exit status $status):" >&2
        diff "$work/expected" "$work/shown" >&2 || true
        echo "$console" >&2
        failed=1
    fi
}

expect "--version" 0 --version
expect "--help" 0 --help
expect "an unknown option" 64 --cualquiera

# The console front-end: start-up's messages.
write_config "file:///C:/envios"
sed -i '/MILISEGUNDOS/d' "$work/program/Config.ini"
expect "--headless without a timer period" 2 --headless --once
write_config "file:///C:/envios"
sed -i 's/MILISEGUNDOS=.*/MILISEGUNDOS=70000/' "$work/program/Config.ini"
expect "--headless with a period out of range" 3 --headless --once
grep -q 'válido' "$work/shown" || { echo "no accented message on the console:" >&2; cat "$work/shown" >&2; failed=1; }

# A question: asked on the console and answered there, line by line as typed (a console ends
# a line with CR LF); without a terminal it is answered No at once. A first backup folder that
# is not there asks whether to try again; No cancels the start.
write_config "file:///C:/envios"
rmdir "$work/backup1"
status=0
tolvane "$run" "$program" --headless --once >"$work/redirected" 2>&1 || status=$?
tolvane "$run" "$parent" --type $'quizas\ns\nn\n' "$(win "$program")" --headless --once \
    >"$work/console" 2>&1 || true
question=$(tr -d '\r' <"$work/redirected" | sed -n 's/ N (sin terminal)$//p')
cancelled=$(tr -d '\r' <"$work/redirected" | tail -n1)
if [ "$status" -ne 2 ] || [ -z "$question" ]; then
    echo "redirected, a missing first backup folder: exit status $status and:" >&2
    cat "$work/redirected" >&2
    failed=1
else
    for line in "$question quizas" "[S/N] s" "$question n" "$cancelled"; do
        grep -qxF "console: $line" <(tr -d '\r' <"$work/console") ||
            { echo "the question on the console: no line \"$line\"" >&2; failed=1; }
    done
    [ "$(grep -cxF "console: $question n" <(tr -d '\r' <"$work/console"))" -eq 1 ] &&
        grep -qx "exit status 2" <(tr -d '\r' <"$work/console") ||
        { echo "the question on the console, answered quizas, s, n:" >&2; cat "$work/console" >&2; failed=1; }
fi
exit $failed
