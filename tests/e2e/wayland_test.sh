#!/usr/bin/env bash
# The platform the program chooses in a Wayland session (weston, headless, with XWayland): X11
# through XWayland when the user chose nothing, so minimising can reach a tray; Wayland itself
# when there is no X server or the user asked for it. Each run plays and closes cleanly.
# Usage: wayland_test.sh PATH/TO/Ombrelin
set -uo pipefail
binary=$1

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init wayland

need_pulse
one_tone_program "$binary"
write_settings "$work/prog/n_p_d.ini" 1 10 1 0 10 1 0 10 1 0 10 0 0 10 0 0 10 0 0 0 1 50 1  # the brook
weston --backend=headless-backend.so --socket=wayland-test --idle-time=0 --xwayland \
    --log="$work/weston.log" >/dev/null 2>&1 &
track $!
wait_for 20 grep -q 'xserver listening' "$work/weston.log" ||
    { echo "FAILED: weston with XWayland did not start"; tail "$work/weston.log"; exit 1; }
xwayland=$(sed -nE 's/.*xserver listening on display (:[0-9]+).*/\1/p' "$work/weston.log" | head -1)
export WAYLAND_DISPLAY=wayland-test XDG_SESSION_TYPE=wayland QT_FONT_DPI=120
unset DISPLAY QT_QPA_PLATFORM

platform_of() { grep -oE 'libq(xcb|wayland-generic)\.so' "/proc/$1/maps" 2>/dev/null | sort -u | tr '\n' ' '; }
# run LABEL EXPECTED-PLUGIN ENV...: starts the program with the environment given, checks the
# platform plugin it loaded, that it plays, and that SIGTERM ends it with 0.
run() {
    local label=$1 expected=$2
    shift 2
    # WAYLAND_TEST_PROGRAM_ENV: more of the program's environment, for the sanitizer stage.
    env ${WAYLAND_TEST_PROGRAM_ENV:-} "$@" "$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
    local pid=$!
    track $pid
    wait_for 10 bash -c "grep -qE 'libq(xcb|wayland-generic)' /proc/$pid/maps"
    local loaded
    loaded=$(platform_of $pid)
    check "$label: runs on $expected ($loaded)" grep -q "$expected" <<<"$loaded"
    check "$label: plays" wait_for 10 heard
    kill -TERM $pid
    check "$label: SIGTERM ends it" wait_for 10 ended $pid
    check "$label: with 0 ($exit_code)" test "${exit_code:-1}" = 0
}
run "XWayland there, nothing chosen" libqxcb DISPLAY="$xwayland"
run "Wayland only" libqwayland
run "the user's QT_QPA_PLATFORM=wayland" libqwayland DISPLAY="$xwayland" QT_QPA_PLATFORM=wayland
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
