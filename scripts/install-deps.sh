#!/usr/bin/env bash
# Installs the Debian packages Ombrelin needs that are not installed yet.
#   scripts/install-deps.sh build   what building and running the program needs
#   scripts/install-deps.sh test    that, plus what the test suite needs
set -euo pipefail

build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libopenal-dev libsndfile1-dev libpulse-dev libasound2-dev
    fonts-wine
)
test_packages=(
    libgtest-dev libgmock-dev clang-format
    xvfb xauth x11-utils xdotool openbox trayer
    pulseaudio pulseaudio-utils libasound2-plugins sox imagemagick
)

packages=("${build_packages[@]}")
if [ "${1:-build}" = test ]; then packages+=("${test_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
