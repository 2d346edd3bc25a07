#!/usr/bin/env bash
# The installed program, as an ordinary user sees it: the build installed into a staging root that
# is then made read-only, and the installed bin/ombrelin run as an unprivileged user (nobody when
# the test runs as root) under Xvfb with a PulseAudio null sink. The first start plays the shipped
# soundscape without a message; the close saves under the user's XDG_CONFIG_HOME and the next
# start reads that file; a recording in XDG_DATA_HOME/ombrelin/ is played in place of the shipped
# one; nothing is written into the staging root; the same binary in a portable folder of its own
# still behaves as a portable folder.
# Usage: installed_test.sh BUILD_DIR
set -uo pipefail
build=$(realpath "$1")
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/services.sh"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
svc_init installed

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" || {
    echo "FAILED: cmake --install"
    cat "$work/install.log"
    exit 1
}
data=$stage/usr/share/ombrelin
# A build without the sound pack installs no recordings; the test then ships tones in their place.
[ -d "$data/samp_povt" ] || fill_with_tones "$data" 5 2 1

# The user: nobody when root (root would write anywhere), else whoever runs the test.
user_home=$work/user
mkdir -p "$user_home/runtime" && chmod 700 "$user_home/runtime"
user_env=(env HOME="$user_home" XDG_RUNTIME_DIR="$user_home/runtime"
    XDG_CONFIG_HOME="$user_home/config" XDG_DATA_HOME="$user_home/data")
pulse_extra=()
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown -R 65534:65534 "$user_home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    user_env+=(PULSE_SERVER="unix:$work/pulse.sock")
    pulse_extra=(--load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1")
fi
settings=$user_home/config/ombrelin/n_p_d.ini

chmod -R a-w "$stage"
trap 'chmod -R u+w "$stage"; svc_cleanup' EXIT  # so the work folder can be removed again
touch "$work/before-start"

need_pulse "${pulse_extra[@]}"
need_x
start_wm

level() { pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print $3; exit}'; }
run() {  # run PROGRAM: starts it as the user, sets app_pid
    "${as_user[@]}" "${user_env[@]}" "$1" >>"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
}
message_shown() { wait_for 15 visible_window >/dev/null && ! main_window >/dev/null; }
line_of() { sed -n "$1p" "$2" | tr -d '\r'; }
opened_under() {  # opened_under DIR: the program has a file under DIR open
    ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q -- "-> $1/"
}

# 1. First start of the installed copy: the shipped settings, sound at once, no message.
run "$stage/usr/bin/ombrelin"
check "first start: window shown and no message" window_without_message
check "first start: the shipped master level 50" wait_for 5 test "$(level)" = 32500
check "first start: the shipped soundscape heard on the sink" wait_for 5 plays
check "the window is titled and classed as the desktop entry says" bash -c \
    "xprop -id $(main_window) WM_CLASS | grep -q '\"$(sed -n 's/^StartupWMClass=//p' \
        "$stage/usr/share/applications/ombrelin.desktop")\"$'"
xdotool mousemove --window "$(main_window)" 19 34 click 1  # the brook off
sleep 0.5
check "first close ends with 0" closes
check "settings saved in the user's configuration folder, brook off" \
    bash -c "[ \$(grep -c \$'\\r\$' '$settings') = 23 ] && [ \"\$(sed -n 1p '$settings' | tr -d '\\r')\" = 0 ]"

# 2. The next start reads the user's own file: only songbirds, master 30.
"${as_user[@]}" sed -i '1s/.*/0\r/; 4s/.*/0\r/; 22s/.*/30\r/' "$settings"
mkdir -p "$user_home/data/ombrelin/samp_raz"
sox -n -r 44100 -c 1 -t wav "$work/mine.wav" synth 30 sine 660 vol 0.5
for n in $(seq 14); do cp "$work/mine.wav" "$user_home/data/ombrelin/samp_raz/pticp$n"; done
[ "$(id -u)" = 0 ] && chown -R 65534:65534 "$user_home/data"
run "$stage/usr/bin/ombrelin"
check "second start: window shown and no message" window_without_message
check "second start: the user's master level 30 read back" wait_for 5 test "$(level)" = 19500
check "the user's own songbird recording is the one played" \
    wait_for 10 opened_under "$user_home/data/ombrelin/samp_raz"
check "no shipped songbird recording is open" bash -c "! ls -l /proc/$app_pid/fd | grep -q -- '-> $data/samp_raz/pticp'"
check "the user's songbird heard" wait_for 5 plays
check "second close ends with 0" closes
check "line 22 still 30 after the second save" test "$(line_of 22 "$settings")" = 30

check "nothing written into the installed tree" test -z "$(find "$stage" -newer "$work/before-start")"
check "no settings file beside the installed program" test ! -e "$stage/usr/bin/n_p_d.ini"

# 3. The same binary in a portable folder of the user's: no file means the "not found" message,
# and the close writes the file beside the program, not in the configuration folder.
prog=$work/portable
mkdir -p "$prog"
fill_with_tones "$prog" 5 2 1
cp "$build/Ombrelin" "$prog/Ombrelin"
[ "$(id -u)" = 0 ] && chown -R 65534:65534 "$prog"
rm -f "$settings"
run "$prog/Ombrelin"
check "portable: the not-found message shown first" message_shown
xdotool key --window "$(visible_window)" Return
check "portable: window shown after the message" wait_for 10 main_window
check "portable: close ends with 0" closes
check "portable: settings saved beside the program" test -s "$prog/n_p_d.ini"
check "portable: nothing saved in the configuration folder" test ! -e "$settings"

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
