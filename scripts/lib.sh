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
# Several commands may use one sandbox at once: the first starts its persistent
# wineserver, later ones join it, and the last one to leave stops it.
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
    # One command at a time creates, joins or leaves the sandbox.
    exec {VELTRANE_SANDBOX_LOCK}>"$dir/.lock"
    flock "$VELTRANE_SANDBOX_LOCK" || die "cannot lock the sandbox $dir"
    if [[ ! -f $dir/.veltrane-sandbox ]]; then
        echo "Creating the sandbox in $dir ..." >&2
        "$WINE64" wineboot --init >/dev/null 2>&1 {VELTRANE_SANDBOX_LOCK}>&- || true
        "$WINESERVER" -w {VELTRANE_SANDBOX_LOCK}>&-
        touch "$dir/.veltrane-sandbox"
    fi
    # Z: maps Linux's /; without it the only drive is C:.
    rm -f "$WINEPREFIX/dosdevices/z:"
    [[ ! -e $WINEPREFIX/dosdevices/z: ]] || die "cannot remove the Z: drive of $WINEPREFIX"
    local others rc=0
    others=$(sandbox_users "$dir")
    "$WINESERVER" -p {VELTRANE_SANDBOX_LOCK}>&- || rc=$?
    if [[ $rc == 2 ]]; then
        # Wine's own answer for "a server runs for this prefix already".
        [[ -n $others ]] || echo "sandbox: joining the wineserver already running in $dir" >&2
        VELTRANE_SANDBOX_JOINED=1
    elif [[ $rc != 0 ]]; then
        die "the wineserver of $WINEPREFIX did not start (exit $rc)"
    else
        VELTRANE_SANDBOX_JOINED=${others:+1}
    fi
    mkdir -p "$dir/.users"
    touch "$dir/.users/$$"
    # Start Wine's own services now, detached from our output: a service
    # started by a later program would inherit its pipes and keep them open.
    [[ -n ${VELTRANE_SANDBOX_JOINED:-} ]] || "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 {VELTRANE_SANDBOX_LOCK}>&- || true
    flock -u "$VELTRANE_SANDBOX_LOCK"
}

# The process ids of the other commands that use the sandbox at $1 now.
sandbox_users() {
    local user
    for user in "$1"/.users/*; do
        [[ -e $user ]] || continue
        user=${user##*/}
        if [[ $user != "$$" ]] && kill -0 "$user" 2>/dev/null; then
            echo "$user"
        else
            rm -f "$1/.users/$user"
        fi
    done
}

sandbox_leave() {
    if [[ -n ${VELTRANE_SANDBOX:-} && -n ${VELTRANE_SANDBOX_LOCK:-} ]]; then
        flock "$VELTRANE_SANDBOX_LOCK" || true
        rm -f "$VELTRANE_SANDBOX/.users/$$"
        # The last command out stops the server; the others still need it.
        if [[ -z $(sandbox_users "$VELTRANE_SANDBOX") ]]; then
            "$WINESERVER" -k >/dev/null 2>&1 {VELTRANE_SANDBOX_LOCK}>&- || true
        fi
        flock -u "$VELTRANE_SANDBOX_LOCK" || true
    fi
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
# A command that joins a sandbox in use leaves the installed program alone:
# the program may be running from there.
sandbox_install_program() {
    if [[ -n ${VELTRANE_SANDBOX_JOINED:-} ]]; then
        echo "sandbox: in use by another command; the installed program is left as it is" >&2
        return 0
    fi
    local target="$WINEPREFIX/drive_c/Program Files/Veltrane"
    mkdir -p "$target"
    if [[ -f $VELTRANE_BUILD/app/veltrane.exe ]]; then
        cp -f "$VELTRANE_BUILD/app/veltrane.exe" "$target/"
    fi
    rm -rf "$target/html"
    cp -r "$VELTRANE_ROOT/html" "$target/html"
    cp -f "$VELTRANE_ROOT/app/urls.ini" "$target/urls.ini"
    sandbox_install_corpus
}

# Where the corpus is: VELTRANE_CORPUS, else the shared folder beside the
# repository (for a linked work tree, beside its main checkout).
corpus_folder() {
    if [[ -n ${VELTRANE_CORPUS:-} ]]; then echo "$VELTRANE_CORPUS"; return; fi
    local beside=$VELTRANE_ROOT/../shared/corpus common
    if [[ ! -f $beside/MANIFEST.md ]] &&
        common=$(git -C "$VELTRANE_ROOT" rev-parse --path-format=absolute --git-common-dir 2>/dev/null); then
        [[ -f $(dirname "$common")/../shared/corpus/MANIFEST.md ]] && beside=$(dirname "$common")/../shared/corpus
    fi
    echo "$beside"
}

# The real artifacts of public forensic projects (see their MANIFEST.md) that
# the tests plant, copied to C:\veltrane-corpus\ (the sandbox has no drive for
# Linux paths). VELTRANE_CORPUS names the folder; by default the shared
# corpus beside the repository. Without one the corpus tests skip and say so.
sandbox_install_corpus() {
    local corpus
    corpus=$(corpus_folder)
    local target="$WINEPREFIX/drive_c/veltrane-corpus"
    rm -rf "$target"
    [[ -f $corpus/MANIFEST.md ]] || return 0
    cp -r "$corpus" "$target"
    chmod -R u+w "$target"
}
