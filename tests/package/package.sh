#!/usr/bin/env bash
# The Debian package from end to end, as root: built by scripts/package and checked by lintian,
# installed with apt (which resolves its dependencies), run by a fresh user over one kit
# dispatch (embedded SQLite databases, a file:// server), then removed and purged, leaving
# nothing of it outside the user's folders and the user's folders whole.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"

fail() {
    echo "package test: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (it installs and removes the package)"

user=tolvane-test
export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"; }
cleanup() {
    if dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -qv '^unknown ok not-installed'; then
        apt_get purge tolvane >/dev/null 2>&1 || true
    fi
    if id "$user" >/dev/null 2>&1; then
        rm -rf "/tmp/tolvane-$(id -u "$user")"
        userdel -r "$user" >/dev/null 2>&1 || true
    fi
    rm -rf "${work:-}"
}
cleanup
trap cleanup EXIT

version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$(scripts/package | tail -n1)
[ "$deb" = "build/tolvane_${version}_$(dpkg --print-architecture).deb" ] || fail "package: $deb"
echo "== a second build, from an emptied build tree: the same bytes"
first=$(mktemp /tmp/tolvane-package-first.XXXXXX)
cp "$deb" "$first"
rm -rf build/package
[ "$(scripts/package 2>/dev/null | tail -n1)" = "$deb" ] || fail "package: second build"
cmp "$first" "$deb" || fail "two builds of the package differ"
rm -f "$first"
echo "== lintian $deb"
lintian --fail-on error "$deb" || fail "lintian reports errors"
# Built as Debian builds: no hardening or section tag even among the pedantic ones.
tags=$(lintian -I --pedantic "$deb" 2>/dev/null | grep -E 'hardening-|unneeded-section' || true)
[ -z "$tags" ] || fail "lintian: $tags"

echo "== apt-get install ./$deb"
apt_get install "./$deb" >/dev/null

work=$(mktemp -d /tmp/tolvane-package.XXXXXX)
chmod 755 "$work"
home="$work/home"
useradd -m -d "$home" -s /bin/sh "$user"
as_user() {
    runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" \
        PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 "$@"
}
settings="$home/.config/tolvane"

# The first start fills the user's settings folder from the templates, private to the user,
# and records it as the data-access component's folder: no registry file is written by hand.
[ "$(as_user tolvane --version)" = "tolvane $version" ] || fail "tolvane --version"
for name in Config.ini QuillonConfig.ini; do
    cmp "/usr/share/tolvane/$name" "$settings/$name" || fail "$name not seeded from its template"
done
[ "$(stat -c '%U %a' "$settings")" = "$user 700" ] || fail "settings folder: $(stat -c '%U %a' "$settings")"
grep -qF "\"UBICACION\"=\"$settings/\"" "$settings/registry/HKEY_CURRENT_USER.reg" ||
    fail "the data-access component's folder is not recorded"
help=$(as_user tolvane --help)
grep -qF "Configuración: Config.ini y QuillonConfig.ini en $settings" <<<"$help" ||
    fail "--help does not name $settings"

# One dispatch in the kit's folder, the embedded SQLite databases, a file:// server; the
# templates' keys filled in, as a clerk would.
kit="$home/kit/out"
mkdir -p "$kit" "$home/data" "$home/backup1" "$home/backup2" "$home/server"
cp tests/data/kit/[CI]10073IC04004521A.RET "$kit/"
# The operations database from the installed schema; HISTORIAL made by the program itself.
sqlite3 -bail "$home/data/internos.db" ".read /usr/share/tolvane/schema.sql" \
    ".read db/sample-operations.sql" >/dev/null
sed -i -e "s|^SERVIDOR=.*|SERVIDOR=file://$home/server|" -e "s|^DIRECTORIO=.*|DIRECTORIO=despachos|" \
    -e "s|^RUTA1=.*|RUTA1=$home/backup1/|" -e "s|^RUTA2=.*|RUTA2=$home/backup2/|" \
    -e "s|^ESPERA=.*|ESPERA=0|" "$settings/Config.ini"
sed -i "s|/srv/tolvane/|$home/data/|" "$settings/QuillonConfig.ini"
chown -R "$user:" "$home"
as_user tolvane --crear-historial >/dev/null || fail "tolvane --crear-historial"
# No kit names its folder on Linux: the clerk does, with the program's own command.
as_user tolvane --carpeta-kit "$kit" >/dev/null || fail "tolvane --carpeta-kit"

echo "== tolvane --headless --once, as $user"
status=0
errors=$(as_user tolvane --headless --once 2>&1 >/dev/null) || status=$?
if [ "$status" -ne 0 ] || [ -n "$errors" ]; then fail "exit status $status: $errors"; fi
for name in C4521.xml I4521.xml; do
    LC_ALL=C sed "s/@USUARIO@/$user/" "tests/data/golden/$name" |
        cmp - "$home/server/despachos/$name" || fail "uploaded $name differs from its golden file"
done
for name in C10073IC04004521A.RET I10073IC04004521A.RET; do
    cmp "tests/data/kit/$name" "$home/backup2/$name" || fail "$name not backed up"
    [ ! -e "$kit/$name" ] || fail "$name left in the kit's folder"
done
[ "$(sqlite3 "$home/data/historial.db" "select count(*) from historial where DESPACHO='10073IC04004521A'")" = 1 ] ||
    fail "the dispatch is not recorded in HISTORIAL"
# A fresh user has no autostart folder: the program makes it.
grep -qx 'Exec=/usr/bin/tolvane' "$home/.config/autostart/BRENMOOR_TOLVANE.desktop" ||
    fail "the start-at-logon entry does not start the launcher"

# The resident program gets the user's folder and the installation's driver list (the user's
# folder has none); a stop ends it with status 0.
# shellcheck disable=SC2016 # the user's shell expands $$ and $0
as_user sh -c 'echo $$ >"$0"; exec tolvane --headless' "$home/pid" &
launched=$!
# The shell's process becomes the launcher's, then the program's; it is ready once it holds its
# single-instance lock, its stop handler in place by then.
ready=
for _ in $(seq 100); do
    pid=$(cat "$home/pid" 2>/dev/null) || pid=none
    if [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = /usr/lib/tolvane/tolvane ] &&
        [[ $(readlink "/proc/$pid"/fd/* 2>/dev/null) == *tolvane.lock* ]]; then
        ready=1
        break
    fi
    sleep 0.1
done
[ -n "$ready" ] || fail "the resident program did not start"
environment=$(tr '\0' '\n' <"/proc/$pid/environ")
grep -qx "TOLVANE_HOME=$settings" <<<"$environment" || fail "TOLVANE_HOME not given"
grep -qx "ODBCSYSINI=/etc/tolvane/odbc" <<<"$environment" || fail "driver list not given"
[ -f /usr/share/man/es/man1/tolvane.1.gz ] || fail "no Spanish manual page"

# A removal asks the running program to stop: it would go on from files that are gone.
echo "== apt-get remove with the program running, then purge"
mapfile -t owned < <(dpkg -L tolvane)
[ "${#owned[@]}" -gt 10 ] || fail "dpkg -L tolvane lists ${#owned[@]} paths"
removed=$(apt_get remove tolvane 2>&1)
grep -q "se pide detenerse a cada Tolvane" <<<"$removed" || fail "the removal does not say it stops Tolvane"
wait "$launched" || fail "the resident program ended with status $? on the removal"
purged=$(apt_get purge tolvane 2>&1)
grep -q "settings folder (~/.config/tolvane" <<<"$purged" || fail "the purge does not say what it leaves"
dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -qv '^unknown ok not-installed' &&
    fail "tolvane still known to dpkg"
# Of the package's paths only folders that other packages own remain.
for path in "${owned[@]}"; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        if [ -L "$path" ] || [ ! -d "$path" ] || ! dpkg -S "$path" >/dev/null 2>&1; then
            fail "$path remains"
        fi
    fi
done
grep -qx "SERVIDOR=file://$home/server" "$settings/Config.ini" || fail "the user's settings went"
[ -e "$home/.config/autostart/BRENMOOR_TOLVANE.desktop" ] || fail "the user's autostart entry went"
echo "== package built, installed, run and removed"
