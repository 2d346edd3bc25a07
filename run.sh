#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Ombrelin with its default sound pack into build/ and
# starts it. build/ is the portable program folder: the executable, samp_povt/, samp_raz/ and
# the settings file n_p_d.ini side by side.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRELIN_BUILD_TESTS=OFF
cmake --build build
exec build/Ombrelin "$@"
