#!/usr/bin/env bash
# The media keys on a GNOME desktop: GNOME Shell (headless Wayland) with its settings daemon's
# media-keys service on a private session bus, the real program playing into a PulseAudio null
# sink, and the play key pressed on the compositor's virtual keyboard. The key goes the desktop's
# own way (shell, gsd-media-keys, the player's PlayPause) and must mute the output and then bring
# it back; the shell's media controls must have read the player.
# Usage: gnome_media_keys_test.sh PATH/TO/Ombrelin PATH/TO/media_key
set -uo pipefail
binary=$1
media_key=$2

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init gnome-keys

need_pulse
need_session_bus
dbus-monitor --session "type='method_call',destination='org.mpris.MediaPlayer2.ombrelin'" \
    "type='method_call',interface='org.gnome.Shell',member='GrabAccelerators'" >"$work/calls" 2>/dev/null &
track $!
start_gnome_shell || { echo "FAILED: GNOME Shell did not start"; grep -v "^libmutter\|^Window manager" "$work/gnome-shell.log" | head -30; exit 1; }
/usr/libexec/gsd-media-keys >"$work/gsd.log" 2>&1 &
track $!
check "media-keys service up" wait_for 20 bus_has org.gnome.SettingsDaemon.MediaKeys
# A key pressed before the service has asked the shell for the media keys goes nowhere.
check "media keys grabbed" wait_for 20 grep -q "member=GrabAccelerators" "$work/calls"

fill_with_tones "$work/prog" 3 1 1
cp "$binary" "$work/prog/Ombrelin"
write_settings "$work/prog/n_p_d.ini" 0 10 1 0 10 1 1 10 1 0 10 0 0 10 0 0 10 0 0 0 1 50 1
"$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
level_is() { [ "$(pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print $3; exit}')" = "$1" ]; }
check "player on the bus" wait_for 15 bus_has org.mpris.MediaPlayer2.ombrelin
check "playing at level 50" wait_for 5 level_is 32500

# Who read the player: the shell's media controls and the media-keys service.
called_by() { grep -q "sender=$(bus_owner "$1") .*member=$2" "$work/calls"; }
check "GNOME Shell's media controls read the player" wait_for 10 called_by org.gnome.Shell GetAll
check "the media-keys service read the player" wait_for 10 called_by org.gnome.SettingsDaemon.MediaKeys GetAll

play_key=1008ff14  # XF86AudioPlay
"$media_key" $play_key
check "play key: muted" wait_for 5 level_is 0
check "the key arrived as PlayPause from the media-keys service" \
    called_by org.gnome.SettingsDaemon.MediaKeys PlayPause
"$media_key" $play_key
check "play key again: level back" wait_for 5 level_is 32500

kill -TERM $app_pid
exit_code=
wait_for 10 ended $app_pid
check "program ends with 0" test "$exit_code" = 0

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
