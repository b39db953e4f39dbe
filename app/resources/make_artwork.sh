#!/bin/sh
# Redraws the banner pictures (app/resources/*.jpg) with a small Qt program.
# Needs Qt 6 (Gui, with its JPEG image plugin) and the WenQuanYi Micro Hei font
# (fonts-wqy-microhei) for the tile labels. Usage: app/resources/make_artwork.sh
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
cmake -S "$here/artwork" -B "$build" >/dev/null
cmake --build "$build" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/make_artwork" "$here"
