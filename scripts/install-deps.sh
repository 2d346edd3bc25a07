#!/usr/bin/env bash
# Installs the Debian packages Ombrelin needs that are not installed yet.
#   scripts/install-deps.sh build   what building and running the program needs
#   scripts/install-deps.sh test    that, plus what the test suite needs
#   scripts/install-deps.sh package what making and checking the Debian package needs
#   scripts/install-deps.sh bench   that, plus the GStreamer players the benchmarks compare with
set -euo pipefail

build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libxcb1-dev libopenal-dev libsndfile1-dev libpulse-dev libasound2-dev zlib1g-dev
    fonts-wine
)
package_packages=(
    dpkg-dev file desktop-file-utils appstream lintian
)
test_packages=(
    libgtest-dev libgmock-dev clang-format
    xvfb xauth x11-utils xdotool openbox trayer lxqt-panel libglib2.0-bin libsm-dev
    pulseaudio pulseaudio-utils libasound2-plugins sox imagemagick procps
    dbus-daemon dbus-bin gnome-shell gnome-shell-extension-appindicator xwayland
    weston qt6-wayland strace
    clang-14 libclang-rt-14-dev
)
bench_packages=(
    gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
    pipewire pipewire-pulse wireplumber stress-ng valgrind linux-perf
)

packages=("${build_packages[@]}")
case "${1:-build}" in
    package) packages+=("${package_packages[@]}") ;;
    test) packages+=("${package_packages[@]}" "${test_packages[@]}") ;;
    bench) packages+=("${package_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
esac

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
