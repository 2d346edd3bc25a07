#!/usr/bin/env bash
# The Debian package made from this build: its contents (paths, desktop entry, AppStream data,
# icons, dependencies), lintian, and, with OMBRELIN_TEST_DPKG=1 as root (CI's throwaway machine),
# dpkg -i, a start of `ombrelin` from PATH that plays at once, and a clean removal.
# Usage: package_test.sh BUILD_DIR. Ends with 77 (skipped) for a build without the sound pack.
set -uo pipefail
build=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/services.sh"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
if [ ! -d "$build/samp_povt" ]; then
    echo "skipped: the package needs the sound pack (configure with -DOMBRELIN_BUILD_SOUNDPACK=ON)"
    exit 77
fi
svc_init package

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || {
    echo "FAILED: cpack"
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls "$work"/out/ombrelin_*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -c "$deb" | awk '{print $1, $6}' | sed 's|^\(\S*\) \./|\1 /|' >"$work/contents"
dpkg-deb -x "$deb" "$work/root"
root=$work/root

has() { grep -qx -- "$1 $2" "$work/contents"; }
all_files_present() {
    local name missing=0
    for name in /usr/bin/ombrelin /usr/share/applications/ombrelin.desktop \
        /usr/share/metainfo/org.ombrelin.ombrelin.metainfo.xml /usr/share/ombrelin/n_p_d.ini \
        /usr/share/man/man1/ombrelin.1.gz /usr/share/doc/ombrelin/copyright \
        /usr/share/doc/ombrelin/changelog.gz \
        /usr/share/ombrelin/samp_povt/{ruchey3,ruchey4,pticv1,pticv2,dogd3,dogd_gr} \
        /usr/share/ombrelin/samp_raz/{pticp{1..14},nas{1..8},pticd{1..10},dogd2,dogd_gr3}; do
        grep -q " $name\$" "$work/contents" || { echo "missing: $name"; missing=1; }
    done
    return $missing
}
icons_match_their_folders() {
    local size
    for size in 16 24 32 48 64 128; do
        file "$root/usr/share/icons/hicolor/${size}x$size/apps/ombrelin.png" |
            grep -q "PNG image data, $size x $size" || { echo "icon ${size}x$size"; return 1; }
    done
}
depends_on() { dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -q "^ *$1\b"; }

check "every file in its place" all_files_present
check "the program executable, on PATH's /usr/bin" has -rwxr-xr-x /usr/bin/ombrelin
check "the program stripped" bash -c "file '$root/usr/bin/ombrelin' | grep -q ', stripped'"
check "nothing outside /usr" bash -c "! grep -v ' /usr' '$work/contents' | grep -v ' /\$' | grep -q ."
check "no settings file beside the program" bash -c "! grep -q ' /usr/bin/n_p_d.ini' '$work/contents'"
check "desktop entry valid" desktop-file-validate "$root/usr/share/applications/ombrelin.desktop"
check "desktop entry starts ombrelin from PATH" grep -qx 'Exec=ombrelin' \
    "$root/usr/share/applications/ombrelin.desktop"
check "AppStream data valid" appstreamcli validate --no-net \
    "$root/usr/share/metainfo/org.ombrelin.ombrelin.metainfo.xml"
check "icons of the sizes their folders say" icons_match_their_folders
for lib in libqt6widgets6 libopenal1 libsndfile1 libpulse0 qt6-qpa-plugins; do
    check "depends on $lib" depends_on "$lib"
done
lintian "$deb" >"$work/lintian.log" 2>&1
echo "lintian said:"
grep -v 'running with root privileges' "$work/lintian.log" | sed 's/^/  /'
check "no lintian errors" bash -c "! grep -q '^E:' '$work/lintian.log'"

# Installed on this machine for real.
if [ "${OMBRELIN_TEST_DPKG:-}" = 1 ] && [ "$(id -u)" = 0 ]; then
    installed=0
    remove_package() { [ $installed = 1 ] && dpkg -r ombrelin >/dev/null 2>&1; svc_cleanup; }
    trap remove_package EXIT
    dpkg_install() {  # other package tools may hold the lock for a while
        local deadline=$((SECONDS + 300))
        until dpkg -i "$deb" >"$work/dpkg.log" 2>&1; do
            grep -q 'lock' "$work/dpkg.log" && [ $SECONDS -lt $deadline ] || return 1
            sleep 2
        done
    }
    check "dpkg -i installs it" dpkg_install && installed=1
    [ $installed = 1 ] || cat "$work/dpkg.log"
    check "ombrelin found on PATH" test "$(command -v ombrelin)" = /usr/bin/ombrelin
    need_pulse
    need_x
    start_wm
    ombrelin >"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
    check "started from PATH: window shown and no message" window_without_message
    check "started from PATH: sound plays" wait_for 5 plays
    check "closes with 0" closes
    check "settings saved in the configuration folder" test -s "$XDG_CONFIG_HOME/ombrelin/n_p_d.ini"
    check "dpkg -r removes it" dpkg -r ombrelin && installed=0
    check "nothing left behind" bash -c "[ ! -e /usr/bin/ombrelin ] && [ ! -e /usr/share/ombrelin ] &&
        ! dpkg -l ombrelin 2>/dev/null | grep -q '^ii'"
fi

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
