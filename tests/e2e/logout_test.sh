#!/usr/bin/env bash
# Logout through a real X session manager (session_manager.cpp speaking XSMP) under Xvfb and
# openbox: when the session asks the program to keep its data, the settings file holds what the
# window shows by the time the program answers, and the program goes on playing; a cancelled
# logout leaves it playing, and the session's end closes it with exit code 0, also from the
# tray (trayer). Both kinds of logout desktops send are run: a global save (GNOME) and a local
# plus global one (KDE, xsm).
# Usage: logout_test.sh PATH/TO/Ombrelin PATH/TO/session_manager
set -uo pipefail
binary=$1
manager=$2

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init logout

need_pulse
need_x
start_wm
start_tray
one_tone_program "$binary"
cp "$work/prog/samp_povt/ruchey3" "$work/prog/samp_povt/pticv1"  # the distant birds
settings=$work/prog/n_p_d.ini
all_layers_off "$settings"

mkfifo "$work/sm.in"
"$manager" <"$work/sm.in" >"$work/sm.log" 2>&1 &
track $!
exec 7>"$work/sm.in"
wait_for 5 grep -q '^listening ' "$work/sm.log" ||
    { echo "FAILED: the session manager did not start"; cat "$work/sm.log"; exit 1; }
SESSION_MANAGER=$(sed -n 's/^listening //p' "$work/sm.log")
export SESSION_MANAGER
session() { echo "$*" >&7; }
said() { [ "$(grep -c "^$2" "$work/sm.log")" -ge "$1" ]; }  # said N EVENT: at least N times
saved() { [ "$(sed -n "${1}p" "$settings" | tr -d '\r')" = "$2" ]; }  # saved LINE VALUE
running() { kill -0 "$app_pid" 2>/dev/null; }
window_shown() { main_window >/dev/null; }
level_is() { [ "$(level)" = "$1" ]; }

"$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "window shown" wait_for 10 window_shown
win=$(main_window)
check "the program joins the session" wait_for 5 said 1 registered

# The changes made before each logout; the file on disk still holds the value before.
switch_brook() { click_in_window "$win" 19 34; }
switch_distant_birds() { click_in_window "$win" 19 75; }
mute_in_tray() {  # with the window minimised into the tray, as many leave it for the session
    xdotool windowminimize "$win"
    wait_for 5 tray_icon_docked || return 1
    read -r ix iy < <(tray_icon_centre)
    xdotool mousemove "$ix" "$iy" click 1
    wait_for 3 level_is 0
}

# Each logout: a change, the session's save, then the user's cancel or the session's end.
# LOGOUT CHANGE LINE VALUE: the settings file's line LINE must hold VALUE by the answer.
round=0
for logout in "global switch_brook 1 1 cancel" "both switch_distant_birds 4 1 cancel" \
    "both mute_in_tray 23 0 die"; do
    read -r type change line value end <<<"$logout"
    round=$((round + 1))
    name="$type logout after '${change//_/ }'"
    check "$name: the change made" "$change"
    sleep 0.8
    session save "$type" shutdown
    check "$name: the program answers" wait_for 10 said $round save-yourself-done
    check "$name: ... with success" said $round "save-yourself-done 1"
    check "$name: the settings hold line $line = $value before the answer" saved "$line" "$value"
    check "$name: ... 23 lines" bash -c "[ \$(grep -c \$'\\r\$' '$settings') = 23 ]"
    check "$name: the program goes on" running
    session "$end"
    if [ "$end" = cancel ]; then
        sleep 1
        check "$name, cancelled: the program still runs" running
        check "$name, cancelled: the brook still plays" heard
    else
        exit_code=
        check "$name: the session's end closes the program" wait_for 10 ended $app_pid
        check "$name: ... with exit code 0" test "$exit_code" = 0
        check "$name: ... and every change kept" \
            bash -c "[ \"\$(tr -d '\r' <'$settings' | sed -n '1p;4p;23p' | tr '\n' ' ')\" = '1 1 0 ' ]"
    fi
done
cat "$work/sm.log" >&2

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
