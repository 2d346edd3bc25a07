#!/usr/bin/env bash
# End-to-end run of the real program: first start without settings, a layer switched on through
# the window and heard on the sink's monitor, a second instance, minimise to the tray, tray clicks
# on the output level and the picture in the tray, close from the tray menu, no sound server.
# tray_test.sh has the other tray hosts and none.
# Usage: program_test.sh PATH/TO/Ombrelin ARTIFACT_DIR
set -uo pipefail
binary=$1

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init e2e "${2:-}"

# Sound server with a null sink as the default output.
need_pulse

# X server at the design density, a window manager for real minimising, a tray host.
need_x
start_wm
start_tray

# A portable program folder with one test recording.
one_tone_program "$binary"

# 1. First start: the missing settings file is reported before the window shows.
"$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "settings message shown first" wait_for 10 visible_window
check "window not shown under the message" bash -c "! xdotool search --onlyvisible --name '^Ombrelin$' | xargs -r -n1 xdotool getwindowgeometry | grep -q 522x405"
screenshot first-start-message
check "the box before the window stands alone" transient_ok "$(message_box)"
dismiss_box
check "window shown at the design size" wait_for 10 main_window
win=$(main_window)
screenshot window
check "defaults applied: output level 50" test "$(level)" = 32500

# 2. The brook switched on through the window is heard on the sink.
xdotool mousemove --window "$win" 19 34 click 1
sleep 0.8
rms=$(rms_of_sink)
check "brook heard on the sink (RMS $rms)" awk "BEGIN {exit !($rms > 0.005)}"

# 3. A second instance ends at once, silently, and leaves the first playing.
timeout 10 "$work/prog/Ombrelin" >/dev/null 2>&1
check "second instance exits 0" test $? -eq 0
check "first instance still running" kill -0 $app_pid

# 4. Minimise: the window leaves the screen, the icon docks; left clicks toggle the level, and
# the picture in the tray follows: plain with the sound on, crossed out in red with it off.
icon_red() {  # icon_red MIN MAX: the icon's window as drawn now has MIN..MAX red pixels
    import -window "$(tray_icon_window)" "$artifacts/tray-icon.png" 2>/dev/null
    icon_reds=$(red_pixels "$artifacts/tray-icon.png")
    [ -n "$icon_reds" ] && awk "BEGIN {exit !($icon_reds >= $1 && $icon_reds <= $2)}"
}
xdotool windowminimize "$win"
check "window hidden" wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Ombrelin$' | grep -q ."
check "tray icon docked" wait_for 5 tray_icon_docked
screenshot tray
sleep 0.3  # drawn
check "tray picture plain with the sound on" icon_red 0 2
echo "  (tray icon: ${icon_reds:-no picture} red pixels)"
read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click 1
check "tray click mutes" wait_for 3 bash -c "[ \"\$(pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print \$3; exit}')\" = 0 ]"
check "tray picture crossed out" wait_for 3 icon_red 10 10000
echo "  (tray icon: ${icon_reds:-no picture} red pixels)"
cp "$artifacts/tray-icon.png" "$artifacts/tray-icon-off.png" 2>/dev/null
sleep 0.5
xdotool mousemove "$ix" "$iy" click 1
check "second tray click restores the level" wait_for 3 bash -c "[ \"\$(pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print \$3; exit}')\" = 32500 ]"
check "tray picture plain again" wait_for 3 icon_red 0 2
echo "  (tray icon: ${icon_reds:-no picture} red pixels)"

# The tray host restarts (a panel crash, a new session of the panel): the icon comes back.
kill "$tray_pid" 2>/dev/null
wait_for 5 bash -c "! xdotool search --class trayer | grep -q ."
start_tray
check "icon back after the tray host restarted" wait_for 10 tray_icon_docked
read -r ix iy < <(tray_icon_centre)

# 5. Right click, "Закрыть" (the menu's last item): settings saved, the program ends. Wait out
# the double-click interval so the right click is not read as part of the last left click.
sleep 1.5
xdotool mousemove "$ix" "$iy" click 3
sleep 0.7
screenshot tray-menu
# The menu: a visible window of the program other than the icon; "Закрыть" is its lower half.
menu_item=$(xdotool search --onlyvisible --class Ombrelin | while read -r w; do
    xdotool getwindowgeometry "$w" | awk '/Position/ {split($2, p, ","); x = p[1]; y = p[2]}
        /Geometry/ {split($2, g, "x"); if (g[1] > 64 && g[1] != 522) print x + 30, y + int(g[2] * 3 / 4)}'
done | head -1)
check "tray menu shown" test -n "$menu_item"
xdotool mousemove ${menu_item:-0 0} click 1
exit_code=
check "program ended from the tray menu" wait_for 10 ended $app_pid
check "exit code 0" test "$exit_code" = 0
check "settings saved: 23 lines, brook on" bash -c "[ \$(grep -c \$'\\r\$' '$work/prog/n_p_d.ini') = 23 ] && head -c 3 '$work/prog/n_p_d.ini' | grep -q '^1'"

# 6. No sound server and no card: the start-up message, then exit 0 without the window.
PULSE_SERVER=unix:/nonexistent ALSOFT_DRIVERS=pulse "$work/prog/Ombrelin" >/dev/null 2>&1 &
app_pid=$!
track $app_pid
check "no audio: the start-up error box shown" wait_for 10 bash -c "xdotool search --onlyvisible --class Ombrelin | grep -q ."
sleep 1
screenshot no-audio
check "no audio: the program waits for the box to be dismissed" kill -0 $app_pid
check "no audio: no main window" bash -c "! xdotool search --onlyvisible --name '^Ombrelin$' | xargs -r -n1 xdotool getwindowgeometry | grep -q 522x405"
check "no audio: the box dismissed" dismiss_box
exit_code=
check "no audio: the program ends" wait_for 10 ended $app_pid
check "no audio: exit code 0" test "$exit_code" = 0

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
