#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs the whole test suite. The tests
# start the services they need themselves (a private PulseAudio server with a null sink, Xvfb
# with a window manager and a tray host) and stop them again.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRELIN_BUILD_TESTS=ON
cmake --build build
# The real-time endurance run takes half an hour; run it with: ctest --test-dir build -L endurance
ctest --test-dir build --output-on-failure -j2 -LE endurance "$@"
