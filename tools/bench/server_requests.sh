#!/usr/bin/env bash
# tools/bench/server_requests.sh BUILD [FILES_PER_LEAF] [--overwrite]: counts
# the requests the temporary-folder clean sends to the wineserver, against the
# Win32 loop's (benchbase) over the same seeded tree, per request kind. Under
# Wine each file operation that crosses into the wineserver is a round trip
# to another process, so the counts explain the time figures of `scripts/bench
# --only tempdir` and, unlike them, do not depend on the machine's load. Run
# it inside a sandbox:
#   scripts/sandbox build/requests-sandbox -- tools/bench/server_requests.sh build/x86_64
set -euo pipefail
build=$(cd "$1" && pwd)
per_leaf=${2:-10}
overwrite=${3:-}
: "${WINEPREFIX:?run inside scripts/sandbox}"
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
[[ -x $server ]] || server=/usr/lib/wine/wineserver
install="$WINEPREFIX/drive_c/Program Files/VeltraneBench"
mkdir -p "$install"
cp "$build/tools/bench/benchbase.exe" "$install/"
benchbase='C:\Program Files\VeltraneBench\benchbase.exe'
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# The traced server is the one the traced command starts: any other goes first.
restart_server() { "$server" -k 2>/dev/null || true; sleep 1; }

seed() {
    "$wine" "$benchbase" tree-delete '%TEMP%' >/dev/null 2>&1 || true
    "$wine" "$benchbase" tree-seed '%TEMP%\VeltraneBench' "$per_leaf" 64 2>/dev/null |
        sed -n 's/^files=//p' | tr -d '\r'
}

# Requests only: the server prints each as "tid: name( ... )" and its reply
# as "tid: name() = ...".
count() { grep -E '^[0-9a-f]{4}: [a-z_]+\( ' "$1" | sed -E 's/^[0-9a-f]{4}: ([a-z_]+)\(.*/\1/'; }

option=0; extra=()
[[ $overwrite == --overwrite ]] && { option=1; extra=(--overwrite); }
"$wine" reg add 'HKLM\SOFTWARE\Veltrane\Options' /v OverWrite /t REG_SZ /d "$option" /f >/dev/null 2>&1

files=$(seed)
restart_server
WINEDEBUG=+server "$wine" "$benchbase" tree-delete '%TEMP%' "${extra[@]}" >/dev/null 2>"$logs/win32"
restart_server
seed >/dev/null
restart_server
WINEDEBUG=+server "$wine" 'C:\Program Files\Veltrane\veltrane.exe' /clean /only:TempDir \
    >/dev/null 2>"$logs/veltrane" || true
restart_server
"$wine" reg add 'HKLM\SOFTWARE\Veltrane\Options' /v OverWrite /t REG_SZ /d 0 /f >/dev/null 2>&1

count "$logs/win32" | sort >"$logs/win32.kinds"
count "$logs/veltrane" | sort >"$logs/veltrane.kinds"
win32=$(wc -l <"$logs/win32.kinds")
mine=$(wc -l <"$logs/veltrane.kinds")
echo "wineserver requests, clean of $files files (${overwrite:-no overwrite}), process start included"
printf '%-28s %9s %9s %8s\n' request veltrane win32 per-file
join -a1 -a2 -e0 -o 0,1.2,2.2 <(uniq -c "$logs/veltrane.kinds" | awk '{print $2, $1}') \
    <(uniq -c "$logs/win32.kinds" | awk '{print $2, $1}') |
    sort -k2,2nr | head -12 |
    awk -v files="$files" '{printf "%-28s %9d %9d %+8.2f\n", $1, $2, $3, ($2 - $3) / files}'
awk -v a="$mine" -v b="$win32" -v files="$files" 'BEGIN {
    printf "%-28s %9d %9d %+8.2f\nratio %.2f\n", "all", a, b, (a - b) / files, a / b }'
