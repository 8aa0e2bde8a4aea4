#!/usr/bin/env bash
# The installer under Wine, silently: it puts Tolvane.exe and the settings templates in Program
# Files, the Start-menu entry, the Run value and the programs list's entry; a second install
# keeps the clerk's Config.ini; the uninstaller takes everything away but the settings.
#   installer.sh SETUP
set -euo pipefail
source "$(dirname "$0")/wine_home.sh"
setup="$1"
failed=0
fail() { echo "$*" >&2; failed=1; }
unix() { "$run" winepath -u "$1" 2>/dev/null; }
folder="$(unix 'C:\Program Files\Tolvane')"
menu="$(unix 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tolvane')"
query() { "$run" reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | grep -i "$2" || true; }
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'

"$run" "$setup" /S
for file in Tolvane.exe Config.ini QuillonConfig.ini Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Tolvane.lnk" ] || fail "no Start-menu entry"
query "$run_key" BRENMOOR_TOLVANE | grep -qF 'C:\Program Files\Tolvane\Tolvane.exe' ||
    fail "no Run value: $(query "$run_key" BRENMOOR_TOLVANE)"
query "$uninstall_key" UninstallString | grep -qF 'Uninstall.exe' || fail "not in the programs list"

printf '[Opciones]\r\nSERVIDOR=ftp.oficina.local\r\n' >"$folder/Config.ini"
"$run" "$setup" /S
grep -q 'ftp.oficina.local' "$folder/Config.ini" || fail "a second install replaced Config.ini"

# The uninstaller runs a copy of itself and returns at once: wait for its work.
"$run" "$folder/Uninstall.exe" /S
for _ in $(seq 100); do
    if [ ! -e "$folder/Tolvane.exe" ] && [ ! -e "$folder/Uninstall.exe" ]; then break; fi
    sleep 0.2
done
for file in Tolvane.exe Uninstall.exe; do
    [ ! -e "$folder/$file" ] || fail "left by the uninstaller: $file"
done
grep -q 'ftp.oficina.local' "$folder/Config.ini" || fail "the uninstaller took Config.ini"
[ ! -e "$menu" ] || fail "the Start-menu folder stayed"
[ -z "$(query "$run_key" BRENMOOR_TOLVANE)" ] || fail "the Run value stayed"
[ -z "$(query "$uninstall_key" UninstallString)" ] || fail "still in the programs list"
rm -rf "$folder"
exit $failed
