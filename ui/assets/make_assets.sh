#!/bin/sh
# Rebuilds the window's pictures in this folder: the background photograph, the icon set and the
# two tray images. Needs qt6-base-dev, cmake and a C++ compiler; no display.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
export XDG_RUNTIME_DIR="$build"
chmod 700 "$build"
cmake -S "$here" -B "$build/b" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/b" >/dev/null
"$build/b/make_assets" "$here"
ls -l "$here"/*.jpg "$here"/*.png
