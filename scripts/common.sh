# Shared by the set-up scripts: the Debian packages the project needs, installed when missing.
# shellcheck shell=bash

TOLVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Build and run-time needs of the core and its tests.
TOLVANE_PACKAGES=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libpugixml-dev
    unixodbc-dev unixodbc libsqliteodbc odbc-postgresql postgresql sqlite3
    libcurl4-openssl-dev libssl-dev python3-pyftpdlib
    vsftpd openssh-server openssl
    qt6-base-dev
)

# scripts/screenshots: a virtual X server with a window manager and an XEmbed tray.
TOLVANE_SCREENSHOT_PACKAGES=(xvfb xauth openbox trayer xdotool x11-utils imagemagick)
# scripts/screenshots --sni: a StatusNotifierItem host on a session bus of its own.
TOLVANE_SNI_PACKAGES=(xfce4-panel xfce4-sntray-plugin dbus dbus-x11)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "== installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_preset() {
    local preset="$1"
    cmake --preset "$preset" -S "$TOLVANE_ROOT" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
}
