#!/usr/bin/env bash
# The desktop's media controls on a private session bus, against the real program under Xvfb with
# a PulseAudio null sink: PlayPause, Play, Pause and Stop move the output level exactly as the
# window's sound switch does; a real click on that switch is announced with PropertiesChanged;
# the title follows the songbird picked in the window; Raise brings the window back from the
# tray; Quit saves and ends the program. Then a second player that finds the name taken and a
# program with no bus at all: both run as before, silently.
# Usage: mpris_test.sh PATH/TO/Ombrelin ARTIFACT_DIR
set -uo pipefail
binary=$1

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init mpris "${2:-}"

need_pulse
need_x
start_wm
start_tray  # minimising hides the window only while a tray can show the icon

need_session_bus

# Songbirds alone, solo, one-second songs; master level 50, sound on.
fill_with_tones "$work/prog" 3 1 1
cp "$binary" "$work/prog/Ombrelin"
songbirds_only() { write_settings "$1" 0 10 1 0 10 1 1 10 1 0 10 0 0 10 0 0 10 0 0 0 1 50 1; }
songbirds_only "$work/prog/n_p_d.ini"

service=org.mpris.MediaPlayer2.ombrelin
path=/org/mpris/MediaPlayer2
player=org.mpris.MediaPlayer2.Player
level() { pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print $3; exit}'; }
level_is() { [ "$(level)" = "$1" ]; }
call() {  # call METHOD: a method of the player interface (or "Raise", "Quit" of the root one)
    local iface=$player
    case $1 in Raise | Quit) iface=org.mpris.MediaPlayer2 ;; esac
    dbus-send --session --print-reply --dest=$service $path "$iface.$1" >/dev/null
}
property() {  # property NAME: the player property's value as dbus-send prints it
    dbus-send --session --print-reply --dest=$service $path org.freedesktop.DBus.Properties.Get \
        string:$player string:"$1" 2>/dev/null
}
status_is() { property PlaybackStatus | grep -q "string \"$1\""; }
title() { property Metadata | awk '/"xesam:title"/ {getline; sub(/^[^"]*"/, ""); sub(/"$/, ""); print}'; }
title_is() { [ "$(title)" = "$1" ]; }
# What the player announces, in a file; changes() counts the announcements of one property.
dbus-monitor --session "type='signal',path='$path',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'" \
    >"$work/signals" 2>/dev/null &
track $!
changes() { grep -c "string \"$1\"" "$work/signals"; }
changes_above() { [ "$(changes "$1")" -gt "$2" ]; }

"$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "window shown" wait_for 10 main_window
win=$(main_window)
check "name taken on the bus" wait_for 5 bus_has $service
identity=$(dbus-send --session --print-reply --dest=$service $path org.freedesktop.DBus.Properties.GetAll string:org.mpris.MediaPlayer2)
check "root: identity, desktop entry, can raise and quit" bash -c '
    grep -A1 "\"Identity\"" <<<"$1" | grep -q "\"Ombrelin\"" &&
    grep -A1 "\"DesktopEntry\"" <<<"$1" | grep -q "\"ombrelin\"" &&
    grep -A1 "\"CanRaise\"" <<<"$1" | grep -q "boolean true" &&
    grep -A1 "\"CanQuit\"" <<<"$1" | grep -q "boolean true"' _ "$identity"
# The art a media control shows: the program's icon, a PNG file it can read.
art=$(property Metadata | awk '/"mpris:artUrl"/ {getline; sub(/^[^"]*"file:\/\//, ""); sub(/"$/, ""); print}')
check "art: the program's icon as a PNG file" bash -c "head -c 8 '$art' | od -An -c | grep -q 'P   N   G'"
check "playing with the sound on, level 50" eval 'status_is Playing && level_is 32500'

# 1. The commands move the output level as the switch does, and only when they change something.
call PlayPause
check "PlayPause mutes like the switch" wait_for 3 level_is 0
check "status Paused" status_is Paused
call PlayPause
check "PlayPause again restores the level" wait_for 3 level_is 32500
paused_before=$(changes Paused)
playing_before=$(changes Playing)
call Play
sleep 0.5
check "Play while playing: nothing changes, nothing announced" \
    eval 'level_is 32500 && [ "$(changes Playing)" = "$playing_before" ]'
call Pause
check "Pause mutes" wait_for 3 level_is 0
call Stop
sleep 0.5
check "Stop while paused: nothing more announced" test "$(changes Paused)" = $((paused_before + 1))
# The window's switch follows the commands: one real click turns the sound back on.
click_in_window "$win" 380 362
check "a click after Pause turns the sound on again" wait_for 3 level_is 32500
call Stop
check "Stop mutes" wait_for 3 level_is 0
call Play
check "Play restores the level" wait_for 3 level_is 32500

# 2. A real click on the window's switch is announced.
paused_before=$(changes Paused)
click_in_window "$win" 380 362
check "switch click: level 0" wait_for 3 level_is 0
check "switch click announced as Paused" wait_for 3 changes_above Paused "$paused_before"
playing_before=$(changes Playing)
click_in_window "$win" 380 362
check "switch click again announced as Playing" wait_for 3 changes_above Playing "$playing_before"
check "and the level is back" level_is 32500

# 3. The title follows the songbird picked in the window (solo list: first Варакушка, last Щегол).
pick_species() {  # pick_species KEY: opens voice A's list and picks its first or last item
    click_in_window "$win" 150 148
    sleep 0.5
    xdotool key "$1"
    xdotool key Return
}
titles_before=$(changes xesam:title)
pick_species Home
check "title: the picked first species" wait_for 3 title_is "Варакушка"
pick_species End
check "title: the picked last species" wait_for 3 title_is "Щегол"
check "title changes announced" changes_above xesam:title "$titles_before"
import -window root "$artifacts/mpris-picked.png" 2>/dev/null

# 4. Raise brings the window back from the tray.
xdotool windowminimize "$win"
check "minimised: the window hidden" wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Ombrelin$' | grep -q ."
call Raise
check "Raise shows the window" wait_for 5 main_window

# 5. Quit runs the close path: the settings are saved (with the sound off, set through the bus)
# and the program ends with 0.
call Pause
wait_for 3 level_is 0
call Quit
check "Quit answered" test $? -eq 0
exit_code=
check "Quit ends the program" wait_for 10 ended $app_pid
check "exit code 0" test "$exit_code" = 0
check "settings saved: 23 lines, sound off" bash -c "[ \$(grep -c \$'\\r\$' '$work/prog/n_p_d.ini') = 23 ] && tail -c 3 '$work/prog/n_p_d.ini' | grep -q '^0'"
check "no name left on the bus" wait_for 5 eval "! bus_has $service"

# 6. The name already taken (a player of another session's runtime folder holds it): the second
# program runs as before, and the first keeps the name.
songbirds_only "$work/prog/n_p_d.ini"
"$work/prog/Ombrelin" >/dev/null 2>&1 &
first_pid=$!
track $first_pid
check "first program holds the name" wait_for 5 bus_has $service
first_owner=$(bus_owner $service)
mkdir -p "$work/other/runtime" && chmod 700 "$work/other/runtime"
fill_with_tones "$work/other" 3 1 1
cp "$binary" "$work/other/Ombrelin"
songbirds_only "$work/other/n_p_d.ini"
PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native XDG_RUNTIME_DIR=$work/other/runtime \
    "$work/other/Ombrelin" >"$work/other.log" 2>&1 &
second_pid=$!
track $second_pid
sleep 3
check "name taken: the second program runs" kill -0 $second_pid
check "name taken: the first keeps the name" test "$(bus_owner $service)" = "$first_owner"
kill -TERM $second_pid
exit_code=
wait_for 10 ended $second_pid
check "name taken: exit code 0, nothing printed" bash -c "[ '$exit_code' = 0 ] && [ ! -s '$work/other.log' ]"
kill -TERM $first_pid
wait_for 10 ended $first_pid

# 7. No session bus: the program runs as before, silently.
songbirds_only "$work/prog/n_p_d.ini"
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus "$work/prog/Ombrelin" >"$work/nobus.log" 2>&1 &
app_pid=$!
track $app_pid
check "no bus: window shown" wait_for 10 main_window
check "no bus: sound on" wait_for 3 level_is 32500
click_in_window "$(main_window)" 380 362
check "no bus: the switch still mutes" wait_for 3 level_is 0
kill -TERM $app_pid
exit_code=
wait_for 10 ended $app_pid
check "no bus: exit code 0, nothing printed" bash -c "[ '$exit_code' = 0 ] && [ ! -s '$work/nobus.log' ]"

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
