#!/usr/bin/env bash
# The tray on the hosts people have, driven with real clicks under Xvfb and openbox on a private
# session bus: LXQt's panel as a StatusNotifier host (menu drawn by the panel from what the
# program exports), no tray at all, a StatusNotifier host and an XEmbed tray (trayer) that start
# after the program, and the window's background at a laptop's 200 %.
# Usage: tray_test.sh PATH/TO/Ombrelin ARTIFACT_DIR
set -uo pipefail
binary=$1

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init tray "${2:-}"

need_pulse
need_x
start_wm
need_session_bus

one_tone_program "$binary"
settings=$work/prog/n_p_d.ini

start_program() {  # sets app_pid and win
    "$work/prog/Ombrelin" >>"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
    wait_for 10 main_window >/dev/null && win=$(main_window)
}
sni_docked() { [ -n "$(sni_items)" ]; }
sni_gone() { ! sni_docked; }
watcher_gone() { ! bus_has org.kde.StatusNotifierWatcher; }
has_box() { message_box >/dev/null; }
no_box() { ! has_box; }
window_shown() { main_window >/dev/null; }
hidden() { ! xdotool search --onlyvisible --name '^Ombrelin$' | grep -q .; }
level_is() { [ "$(level)" = "$1" ]; }
iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q 'window state: Iconic'; }
# The windows of the panel's menus: what appeared besides the panel's own windows.
panel_windows() {
    xwininfo -root -tree | awk '/"lxqt-panel": \("lxqt-panel"/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) print $1, $i }'
}
new_panel_window() {  # new_panel_window BEFORE: the geometry of a window not in BEFORE
    comm -13 <(sort <<<"$1") <(sort <<<"$(panel_windows)") | awk '{print $2}' | head -1 | grep .
}
icon_x=14 icon_y=13  # the first icon on the panel

# 1. LXQt's panel: the icon docks, a click and a double click each toggle the level once, the
# panel draws the exported menu, whose items bring the window back and close the program.
start_lxqt_panel || { echo "FAILED: lxqt-panel serves no StatusNotifier watcher"; exit 1; }
all_layers_off "$settings"
start_program
check "window shown" test -n "${win:-}"
xdotool windowminimize "$win"
check "StatusNotifier: window hidden" wait_for 5 hidden
check "StatusNotifier: icon registered with the host" wait_for 5 sni_docked
item=$(sni_items | head -1)
menu_path=$(gdbus call --session --dest "${item%%/*}" --object-path "/${item#*/}" \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu 2>/dev/null |
    grep -o "objectpath '[^']*'" | cut -d"'" -f2)
check "StatusNotifier: a menu is exported (Menu $menu_path)" \
    test -n "$menu_path" -a "$menu_path" != /NO_DBUSMENU
layout=$(gdbus call --session --dest "${item%%/*}" --object-path "${menu_path:-/}" \
    --method com.canonical.dbusmenu.GetLayout -- 0 -1 "['label']" 2>&1)
echo "$layout" >"$artifacts/tray-sni-menu-layout.txt"
check "StatusNotifier: its items are the two of the menu" \
    bash -c "grep -q 'Показать окно настроек' <<<\"\$1\" && grep -q 'Закрыть' <<<\"\$1\"" _ "$layout"
sleep 0.5  # the panel draws the icon
# The icon as the panel draws it, away from the pointer, which would highlight it.
icon_shot() {  # icon_shot NAME
    xdotool mousemove 600 400
    sleep 0.3
    import -window root -crop 24x24+$((icon_x - 12))+$((icon_y - 12)) +repage "$artifacts/$1.png" 2>/dev/null
}
icon_shot tray-sni-icon-on
xdotool mousemove $icon_x $icon_y click 1
check "StatusNotifier: a click mutes" wait_for 3 level_is 0
icon_shot tray-sni-icon-off
# Image 0 is image 1 crossed in red: the panel shows the change at once.
red=$(red_pixels "$artifacts/tray-sni-icon-off.png")
red_before=$(red_pixels "$artifacts/tray-sni-icon-on.png")
check "StatusNotifier: the icon turns crossed out ($red_before -> $red red pixels)" \
    awk "BEGIN {exit !(${red:-0} >= 10 && ${red_before:-99} < 3)}"
sleep 1
xdotool mousemove $icon_x $icon_y click --repeat 2 --delay 80 1
check "StatusNotifier: a double click turns the sound on once" wait_for 3 level_is 32500
sleep 1.5
check "StatusNotifier: ... and not off again" level_is 32500
check "StatusNotifier: clicks leave the window hidden" hidden

# The panel restarts while the program sits in the tray: the icon registers again.
kill "$panel_pid"
wait_for 5 watcher_gone
start_lxqt_panel
check "StatusNotifier: icon back after the panel restarted" wait_for 10 sni_docked
sleep 0.5

before=$(panel_windows)
xdotool mousemove $icon_x $icon_y click 3
sleep 0.7
screenshot tray-sni-menu
menu=$(new_panel_window "$before")
check "StatusNotifier: a right click opens the panel's menu ($menu)" test -n "$menu"
check "StatusNotifier: a right click does not toggle" level_is 32500
read -r mw mh mx my < <(tr 'x+' '  ' <<<"${menu:-0x0+0+0}")
# The menu as the panel drew it: both items' texts leave dark pixels on its light ground.
import -window root -crop "${mw}x${mh}+${mx}+${my}" +repage "$artifacts/tray-sni-menu-items.png" 2>/dev/null
for half in 0 1; do
    dark=$(convert "$artifacts/tray-sni-menu-items.png" -crop "${mw}x$((mh / 2))+0+$((half * mh / 2))" \
        -colorspace gray -threshold 50% -negate -format '%[fx:mean*w*h]' info: 2>/dev/null)
    check "StatusNotifier: menu item $((half + 1)) drawn (dark pixels ${dark:-none})" \
        awk "BEGIN {exit !(${dark:-0} > 30)}"
done
xdotool mousemove $((mx + 30)) $((my + mh / 4)) click 1
check "StatusNotifier: \"Показать окно настроек\" brings the window back" wait_for 5 window_shown
check "StatusNotifier: ... and removes the icon" wait_for 5 sni_gone

# Once more into the tray, mute there, and close from the menu: the settings keep the mute.
xdotool windowminimize "$(main_window)"
wait_for 5 sni_docked
sleep 0.5
xdotool mousemove $icon_x $icon_y click 1
wait_for 3 level_is 0
sleep 1
before=$(panel_windows)
xdotool mousemove $icon_x $icon_y click 3
wait_for 3 new_panel_window "$before" >/dev/null
menu=$(new_panel_window "$before")
read -r mw mh mx my < <(tr 'x+' '  ' <<<"${menu:-0x0+0+0}")
xdotool mousemove $((mx + 30)) $((my + mh * 3 / 4)) click 1
exit_code=
check "StatusNotifier: \"Закрыть\" ends the program" wait_for 10 ended $app_pid
check "StatusNotifier: exit code 0" test "$exit_code" = 0
check "StatusNotifier: settings saved with the sound off" \
    bash -c "[ \$(grep -c \$'\\r\$' '$settings') = 23 ] && tail -n1 '$settings' | grep -q '^0'"

# 2. No tray at all: the first minimise says so once, every minimise is an ordinary one (the
# window stays with the window manager, iconified, and comes back), the sound is untouched.
kill "$panel_pid"
wait_for 5 watcher_gone
all_layers_off "$settings"
start_program
xdotool windowminimize "$win"
check "no tray: the refusal is shown" wait_for 5 has_box
box=$(message_box)
screenshot tray-none-box
check "no tray: the box has a valid owner or none" transient_ok "${box:-0}" "$win"
dismiss_box
check "no tray: the window is minimised, not withdrawn" iconic "$win"
xdotool windowactivate "$win"
check "no tray: the window comes back" wait_for 5 window_shown
xdotool windowminimize "$win"
sleep 1.5
check "no tray: a second minimise shows no box" no_box
check "no tray: ... and is an ordinary minimise" iconic "$win"
check "no tray: sound untouched" level_is 32500
xdotool windowactivate "$win"
check "no tray: the window comes back again" wait_for 5 window_shown

# 3. A StatusNotifier host that starts after the program: the next minimise docks there.
start_lxqt_panel
xdotool windowminimize "$win"
check "late StatusNotifier host: window hidden" wait_for 5 hidden
check "late StatusNotifier host: icon registered" wait_for 5 sni_docked
sleep 0.5
xdotool mousemove $icon_x $icon_y click 1
check "late StatusNotifier host: a click mutes" wait_for 3 level_is 0
kill -TERM $app_pid
exit_code=
check "late StatusNotifier host: SIGTERM ends the program" wait_for 10 ended $app_pid
check "late StatusNotifier host: exit code 0" test "$exit_code" = 0
kill "$panel_pid"
wait_for 5 watcher_gone

# 4. An XEmbed tray that starts after the program: the next minimise docks there, and a double
# click toggles once there too.
all_layers_off "$settings"
start_program
start_tray
xdotool windowminimize "$win"
check "late XEmbed tray: window hidden" wait_for 5 hidden
check "late XEmbed tray: icon docked" wait_for 5 tray_icon_docked
read -r ix iy < <(tray_icon_centre)
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 80 1
check "late XEmbed tray: a double click mutes" wait_for 3 level_is 0
sleep 1.5
check "late XEmbed tray: ... once" level_is 0
kill -TERM $app_pid
wait_for 10 ended $app_pid
kill "$tray_pid"

# 5. 200 % (192 dpi): the window is 836 x 648 and the picture reaches its right and bottom edges.
QT_FONT_DPI=192 "$work/prog/Ombrelin" >>"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
wait_for 10 visible_window >/dev/null
sleep 0.5  # drawn
big=$(visible_window)
check "192 dpi: window 836 x 648" bash -c "xdotool getwindowgeometry $big | grep -q 836x648"
import -window "$big" "$artifacts/window-192dpi.png" 2>/dev/null
# The strips along the right and bottom edges vary like the picture, not flat like bare ground.
for strip in 12x600+822+20 800x12+20+634; do
    spread=$(convert "$artifacts/window-192dpi.png" -crop "$strip" -colorspace gray \
        -format '%[fx:standard_deviation*255]' info: 2>/dev/null)
    check "192 dpi: picture under the strip $strip (spread ${spread:-none})" \
        awk "BEGIN {exit !(${spread:-0} > 1)}"
done
kill -TERM $app_pid
wait_for 10 ended $app_pid

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
