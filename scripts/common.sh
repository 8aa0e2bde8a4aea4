# Shared by the set-up scripts: the Debian packages the project needs, installed when missing.
# shellcheck shell=bash

TOLVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Build and run-time needs of the core and its tests (bindfs: a second mount of a kit folder,
# as another computer sees a share); dpkg-dev (the package's library dependencies) and lintian
# for the Debian package, librsvg2-bin for its icons.
TOLVANE_PACKAGES=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libpugixml-dev
    unixodbc-dev unixodbc libsqliteodbc odbc-postgresql postgresql sqlite3
    libcurl4-openssl-dev libssl-dev python3-pyftpdlib
    vsftpd openssh-server openssl bindfs
    qt6-base-dev librsvg2-bin
    dpkg-dev lintian
)

# The Windows stage of scripts/test: the mingw-w64 compiler, Wine to run what it builds,
# dpkg-dev to unpack Debian's source packages of the libraries built for Windows, NSIS for
# the installer, Python for the icons made at build time (cmake/xpm_to_ico.py), and the
# locales' sources for the one locale Wine runs in (cmake/wine-run).
TOLVANE_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev nsis python3 locales)

# scripts/screenshots: a virtual X server with a window manager and an XEmbed tray.
TOLVANE_SCREENSHOT_PACKAGES=(xvfb xauth openbox trayer xdotool x11-utils imagemagick)
# scripts/screenshots --windows: Tolvane.exe and its setup under Wine, its databases through the
# host's unixODBC and SQLite driver.
TOLVANE_SCREENSHOT_WINDOWS_PACKAGES=(wine wine64 unixodbc libsqliteodbc nsis)
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

# build_preset PRESET [BUILD_ARGS...], e.g. build_preset windows --target tolvane
build_preset() {
    local preset="$1"
    cmake --preset "$preset" -S "$TOLVANE_ROOT" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" "${@:2}"
}

# Builds the Windows libraries when the cache lacks them and points the windows preset at
# them; a fresh Wine prefix for this run, ready before the build (test discovery runs the tests).
# Every Wine program below goes through cmake/wine-run, which gives them one fixed locale.
prepare_windows_stage() {
    ensure_packages "${TOLVANE_WINDOWS_PACKAGES[@]}"
    TOLVANE_WINDOWS_DEPS="$(bash "$TOLVANE_ROOT/scripts/windows-deps" | tail -n1)"
    export TOLVANE_WINDOWS_DEPS
    export WINEPREFIX="$TOLVANE_ROOT/build/wine-prefix"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    local wine="$TOLVANE_ROOT/cmake/wine-run"
    # The locale Wine runs in, made for the build alone: the host's generated locales and
    # settings do not count.
    export TOLVANE_WINE_LOCALES="$TOLVANE_ROOT/build/wine-locale"
    if [ ! -d "$TOLVANE_WINE_LOCALES/es_AR.UTF-8" ]; then
        rm -rf "$TOLVANE_WINE_LOCALES.new"
        mkdir -p "$TOLVANE_WINE_LOCALES.new"
        localedef -i es_AR -f UTF-8 "$TOLVANE_WINE_LOCALES.new/es_AR.UTF-8"
        rm -rf "$TOLVANE_WINE_LOCALES"
        mv "$TOLVANE_WINE_LOCALES.new" "$TOLVANE_WINE_LOCALES"
    fi
    rm -rf "$WINEPREFIX"
    # A 64-bit-only Wine complains that it has no 32-bit rundll32: nothing the tests need.
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    # Without a display, windows (the hidden one that hears stop requests among them) need
    # Wine's null graphics driver.
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # The office's regional settings, as a clerk's desktop in Argentina has them: day first.
    "$wine" reg add 'HKCU\Control Panel\International' /v sShortDate /d dd/MM/yyyy /f \
        </dev/null >/dev/null 2>&1
    wineserver -w
    # One server for the whole run: one that ends between two programs (after three idle
    # seconds) resets the next one's connection now and then. Wine's own services start with
    # the first program and live as long as the server: started here, without the standard
    # streams of a later caller, which would otherwise wait for them to close.
    wineserver -p </dev/null >/dev/null 2>&1
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
}
