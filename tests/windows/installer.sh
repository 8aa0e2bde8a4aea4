#!/usr/bin/env bash
# The installer under Wine, silently, as an office's always-running Tolvane meets it: it puts
# Tolvane.exe, the settings templates (Windows line ends) and the SQLite schema in Program Files,
# the Start-menu entry, the quoted Run value and the programs list's entry with its size; a
# second install, with Tolvane running, stops it first and keeps the clerk's Config.ini; the
# uninstaller, with Tolvane running, stops it and takes everything away but the settings.
#   installer.sh SETUP EXE WORK
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
setup="$1"
make_home "$2" "$3" sqlite "" 10073IC04004521A
server="$(win "$work/server")"
write_config "file:///${server//\\//}"
failed=0
fail() { echo "$*" >&2; failed=1; }
unix() { "$run" winepath -u "$1" 2>/dev/null; }
folder="$(unix 'C:\Program Files\Tolvane')"
menu="$(unix 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tolvane')"
query() { "$run" reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | grep -i "$2" || true; }
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'

# The installed program, resident on the test's home: ready once it has sent a dispatch.
start_resident() {
    rm -rf "$work/server"
    cp "$source_dir/tests/data/kit/"[CI]10073IC04004521A.RET "$work/kit/out/"
    TOLVANE_HOME="$(win "$work/program")" ODBCSYSINI="$source_dir/odbc" \
        "$run" "$folder/Tolvane.exe" --headless 2>>"$work/messages" &
    resident=$!
    for _ in $(seq 200); do
        if [ -f "$work/server/despachos/I4521.xml" ]; then return 0; fi
        sleep 0.1
    done
    fail "the installed program sent nothing: $(cat "$work/messages")"
}

# expect_stopped WHAT: the resident program ended, with status 0, as WHAT returned.
expect_stopped() {
    for _ in $(seq 30); do
        if ! kill -0 "$resident" 2>/dev/null; then break; fi
        sleep 0.1
    done
    if kill -0 "$resident" 2>/dev/null; then
        fail "$1 left Tolvane running"
        kill "$resident"
    fi
    local status=0
    wait "$resident" || status=$?
    [ "$status" -eq 0 ] || fail "Tolvane ended with status $status when $1 stopped it"
}

"$run" "$setup" /S
for file in Tolvane.exe Config.ini QuillonConfig.ini schema.sql Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Tolvane.lnk" ] || fail "no Start-menu entry"
query "$run_key" BRENMOOR_TOLVANE | grep -qF '"C:\Program Files\Tolvane\Tolvane.exe"' ||
    fail "no quoted Run value: $(query "$run_key" BRENMOOR_TOLVANE)"
query "$uninstall_key" UninstallString | grep -qF 'Uninstall.exe' || fail "not in the programs list"
query "$uninstall_key" EstimatedSize | grep -q 'REG_DWORD' || fail "the programs list has no size"
for template in Config.ini QuillonConfig.ini; do
    [ "$(grep -c $'\r$' "$folder/$template")" -eq "$(wc -l <"$folder/$template")" ] ||
        fail "$template has lines without CR LF"
done
grep -q 'SERVIDOR=ftp://ftp.oficina.local' "$folder/Config.ini" || fail "Config.ini is no template"

printf '[Opciones]\r\nSERVIDOR=ftp.oficina.local\r\n' >"$folder/Config.ini"
start_resident
"$run" "$setup" /S
expect_stopped "the installer"
grep -q 'ftp.oficina.local' "$folder/Config.ini" || fail "a second install replaced Config.ini"

# The uninstaller runs a copy of itself and returns at once: wait for its work.
start_resident
"$run" "$folder/Uninstall.exe" /S
for _ in $(seq 100); do
    if [ ! -e "$folder/Tolvane.exe" ] && [ ! -e "$folder/Uninstall.exe" ]; then break; fi
    sleep 0.2
done
expect_stopped "the uninstaller"
for file in Tolvane.exe Uninstall.exe schema.sql; do
    [ ! -e "$folder/$file" ] || fail "left by the uninstaller: $file"
done
grep -q 'ftp.oficina.local' "$folder/Config.ini" || fail "the uninstaller took Config.ini"
[ ! -e "$menu" ] || fail "the Start-menu folder stayed"
[ -z "$(query "$run_key" BRENMOOR_TOLVANE)" ] || fail "the Run value stayed"
[ -z "$(query "$uninstall_key" UninstallString)" ] || fail "still in the programs list"
rm -rf "$folder"
exit $failed
