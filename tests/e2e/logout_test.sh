#!/usr/bin/env bash
# Logout through a real X session manager (session_manager.cpp speaking XSMP) under Xvfb and
# openbox: when the session asks the program to keep its data, the settings file holds what the
# window shows by the time the program answers, and the program goes on playing; a cancelled
# logout leaves it playing, and the session's end closes it with exit code 0. Both kinds of
# logout desktops send are run: a global save (GNOME) and a local plus global one (KDE, xsm).
# Usage: logout_test.sh PATH/TO/Ombrelin PATH/TO/session_manager
set -uo pipefail
binary=$1
manager=$2

source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init logout

need_pulse
need_x
start_wm
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
saved_on() { [ "$(sed -n "${1}p" "$settings" | tr -d '\r')" = 1 ]; }  # saved_on LINE: a switch
running() { kill -0 "$app_pid" 2>/dev/null; }
window_shown() { main_window >/dev/null; }

"$work/prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "window shown" wait_for 10 window_shown
win=$(main_window)
check "the program joins the session" wait_for 5 said 1 registered

# Each logout: a layer switched on through the window (its line in the file on disk still says
# off), then the session's save. The first logout is cancelled, the second ends the session.
round=0
for logout in "global brook 19 34 1 cancel" "both distant-birds 19 75 4 die"; do
    read -r type layer x y line end <<<"$logout"
    round=$((round + 1))
    click_in_window "$win" "$x" "$y"
    sleep 0.8
    session save "$type" shutdown
    check "$type logout: the program answers" wait_for 10 said $round save-yourself-done
    check "$type logout: ... with success" said $round "save-yourself-done 1"
    check "$type logout: the settings hold the $layer switched on before the answer" \
        saved_on "$line"
    check "$type logout: ... 23 lines" bash -c "[ \$(grep -c \$'\\r\$' '$settings') = 23 ]"
    check "$type logout: the program goes on" running
    session "$end"
    if [ "$end" = cancel ]; then
        sleep 1
        check "cancelled logout: the program still runs" running
        check "cancelled logout: the brook still plays" heard
    else
        exit_code=
        check "the session's end closes the program" wait_for 10 ended $app_pid
        check "... with exit code 0" test "$exit_code" = 0
        check "... and the settings as the window showed them" \
            bash -c "[ \"\$(tr -d '\r' <'$settings' | head -4 | tr '\n' ' ')\" = '1 10 1 1 ' ]"
    fi
done
cat "$work/sm.log" >&2

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
