#!/usr/bin/env bash
# Renders the icons from their drawings: program.ico (window, resource 128)
# and tray.ico (notification area, resource 140). Needs ImageMagick; the
# results are kept in the repository so that the build does not.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render() {  # drawing, output, sizes...
    local drawing=$1 output=$2 frames=()
    shift 2
    for size in "$@"; do
        convert -background none -density 1200 "$drawing" -resize "${size}x${size}" \
            -depth 8 "PNG32:$work/$size.png"
        frames+=("$work/$size.png")
    done
    convert "${frames[@]}" "$output"
}
render program.svg program.ico 16 24 32 48 64 256
render tray.svg tray.ico 16 20 24 32 48
