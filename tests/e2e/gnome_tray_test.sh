#!/usr/bin/env bash
# The tray on GNOME Shell 43 (headless Wayland, the program on its XWayland), as Debian's default
# desktop has it: with the AppIndicator extension the minimised window becomes a StatusNotifier
# item whose menu the shell draws from the exported dbusmenu, and its "Показать окно настроек"
# brings the window back; on stock GNOME, with no tray at all, a minimise never strands the window.
# Usage: gnome_tray_test.sh PATH/TO/Ombrelin appindicator|stock
set -uo pipefail
binary=$1
variant=$2

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init "gnome-$variant"

need_pulse
need_session_bus
export GSETTINGS_BACKEND=keyfile  # the shell's settings in a file under $HOME, no dconf needed
[ "$variant" = appindicator ] &&
    gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']"
start_gnome_shell || { echo "FAILED: GNOME Shell did not start"; tail -20 "$work/gnome-shell.log"; exit 1; }
[ "$variant" = appindicator ] &&
    check "the extension's StatusNotifier watcher is up" wait_for 30 bus_has org.kde.StatusNotifierWatcher

one_tone_program "$binary"
write_settings "$work/prog/n_p_d.ini" 1 10 1 0 10 1 0 10 1 0 10 0 0 10 0 0 10 0 0 0 1 50 1  # the brook
QT_FONT_DPI=120 "$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "window shown" wait_for 20 main_window
window=$(main_window)
check "runs on the XWayland display (xcb), so minimising is seen" \
    grep -q 'libqxcb' "/proc/$app_pid/maps"

wm_state() { xprop -id "$window" WM_STATE 2>/dev/null | grep -o 'state: [A-Za-z]*' | cut -d' ' -f2; }
not_normal() { [ "$(wm_state)" != Normal ]; }
has_item() { [ -n "$(sni_items)" ]; }

if [ "$variant" = appindicator ]; then
    xdotool windowminimize "$window"
    check "minimise registers the tray item" wait_for 10 has_item
    check "the window went to the tray" wait_for 5 not_normal
    item=$(sni_items | head -1)
    bus=${item%%[@/]*}
    path=/${item#*/}
    menu=$(gdbus call --session --dest "$bus" --object-path "$path" \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu 2>/dev/null |
        grep -o "'/[^']*'" | tr -d "'")
    check "the item exports a menu ($menu)" test -n "$menu" -a "$menu" != /NO_DBUSMENU
    layout=$(gdbus call --session --dest "$bus" --object-path "$menu" \
        --method com.canonical.dbusmenu.GetLayout 0 -- -1 "@as []" 2>&1)
    check "the menu has \"Показать окно настроек\"" grep -q "Показать окно настроек" <<<"$layout"
    check "the menu has \"Закрыть\"" grep -q "Закрыть" <<<"$layout"
    id=$(grep -oE "<\(([0-9]+), \{[^}]*'label': <'Показать" <<<"$layout" | grep -oE '^<.[0-9]+' | tr -dc 0-9)
    gdbus call --session --dest "$bus" --object-path "$menu" \
        --method com.canonical.dbusmenu.Event -- "${id:-0}" clicked '<0>' 0 >/dev/null 2>&1
    check "\"Показать окно настроек\" brings the window back" wait_for 10 main_window
else
    for n in 1 2; do
        xdotool windowminimize "$window"
        sleep 2
        box=$(message_box)
        [ $n = 1 ] && check "first minimise: the refusal box shown once" test -n "$box"
        [ $n = 2 ] && check "second minimise: no box again" test -z "$box"
        check "minimise $n: the window is iconified, not withdrawn ($(wm_state))" test "$(wm_state)" = Iconic
        dismiss_box >/dev/null 2>&1
    done
    check "no tray item registered" test -z "$(sni_items)"
fi

kill -TERM "$app_pid"
check "SIGTERM ends the program" wait_for 10 ended "$app_pid"
check "and with 0 ($exit_code)" test "${exit_code:-1}" = 0
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
