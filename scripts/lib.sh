# Shared by the scripts: the sandbox and the build locations.
# shellcheck shell=bash

VELTRANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# VELTRANE_BUILD_ROOT lets several builds live side by side (default build/).
VELTRANE_BUILD_ROOT=${VELTRANE_BUILD_ROOT:-$VELTRANE_ROOT/build}
VELTRANE_BUILD=$VELTRANE_BUILD_ROOT/x86_64
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[[ -x $WINESERVER ]] || WINESERVER=/usr/lib/wine/wineserver

die() { echo "$(basename "$0"): $*" >&2; exit 2; }

# Sets up the environment of the sandbox at $1, creating the sandbox when needed.
sandbox_enter() {
    mkdir -p "$1"
    local dir
    dir=$(cd "$1" && pwd)
    case $dir in /|"$HOME"|/root|/home|/home/*/) die "refusing to use $dir as a sandbox" ;; esac
    export VELTRANE_SANDBOX=$dir
    export WINEPREFIX=$dir/prefix
    export HOME=$dir/home
    export XDG_DATA_HOME=$dir/xdg/data XDG_CONFIG_HOME=$dir/xdg/config XDG_CACHE_HOME=$dir/xdg/cache
    export XDG_RUNTIME_DIR=$dir/xdg/runtime
    export WINEARCH=win64
    export WINELOADER=$WINE64
    export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
    export WINEDEBUG=${VELTRANE_WINEDEBUG:--all}
    unset DISPLAY WAYLAND_DISPLAY
    mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    if [[ ! -f $dir/.veltrane-sandbox ]]; then
        echo "Creating the sandbox in $dir ..." >&2
        "$WINE64" wineboot --init >/dev/null 2>&1 || true
        "$WINESERVER" -w
        touch "$dir/.veltrane-sandbox"
    fi
    # Z: maps Linux's /; without it the only drive is C:.
    rm -f "$WINEPREFIX/dosdevices/z:"
    [[ ! -e $WINEPREFIX/dosdevices/z: ]] || die "cannot remove the Z: drive of $WINEPREFIX"
    "$WINESERVER" -p
    # Start Wine's own services now, detached from our output: a service
    # started by a later program would inherit its pipes and keep them open.
    "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

sandbox_leave() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [[ -n ${VELTRANE_XVFB_PID:-} ]]; then kill "$VELTRANE_XVFB_PID" 2>/dev/null || true; fi
}

sandbox_start_display() {
    local n
    for n in $(seq 90 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        VELTRANE_XVFB_PID=$!
        for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
        export DISPLAY=:$n
        return 0
    done
    die "no free X display for Xvfb"
}

# Copies the built program, its pages and urls.ini into C:\Program Files\Veltrane\.
sandbox_install_program() {
    local target="$WINEPREFIX/drive_c/Program Files/Veltrane"
    mkdir -p "$target"
    if [[ -f $VELTRANE_BUILD/app/veltrane.exe ]]; then
        cp -f "$VELTRANE_BUILD/app/veltrane.exe" "$target/"
    fi
    rm -rf "$target/html"
    cp -r "$VELTRANE_ROOT/html" "$target/html"
    cp -f "$VELTRANE_ROOT/app/urls.ini" "$target/urls.ini"
}
