# Shared helpers for scripts that drive the real program: a private work folder and runtime
# folder, a PulseAudio server with a null sink, Xvfb with optional window manager and tray host,
# and small probes (sink level, process CPU and memory). Source it from bash; call svc_init first.
# Every daemon started here is recorded by PID and stopped by svc_cleanup on exit.

svc_pids=()
pa_pid=
failures=0
passed=0

svc_init() {  # svc_init NAME [ARTIFACT_DIR]: makes $work and $artifacts (default /tmp) and
    # exports a private runtime folder and home
    artifacts=${2:-/tmp}
    mkdir -p "$artifacts"
    work=$(mktemp -d "/tmp/ombrelin-$1-XXXXXX")
    chmod 755 "$work"
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
    trap svc_cleanup EXIT
    trap "exit 1" TERM INT
}

svc_cleanup() {
    local pid
    for pid in "${svc_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${svc_pids[@]}"; do
        kill -0 "$pid" 2>/dev/null && sleep 0.3 && kill -KILL "$pid" 2>/dev/null
    done
    stop_pulse
    rm -rf "$work"
}

track() { svc_pids+=("$@"); }  # track PID...: stopped at exit

check() {  # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name"
    fi
}

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

ended() {  # ended PID: the process is gone; its exit code is then in $exit_code
    kill -0 "$1" 2>/dev/null && return 1
    wait "$1"
    exit_code=$?
    return 0
}

# A sound server with a null sink "test" as the default output. Extra arguments are passed on
# (e.g. another --load). Sets pa_pid.
start_pulse() {
    pulseaudio -D --exit-idle-time=-1 --disallow-exit --system=false -n \
        --load='module-null-sink sink_name=test' --load=module-native-protocol-unix "$@" \
        --log-target=file:"$XDG_RUNTIME_DIR/pa.log" 2>/dev/null
    wait_for 10 pactl info >/dev/null 2>&1 || return 1
    pa_pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null)
}

need_pulse() {  # need_pulse [ARGS]: start_pulse, or end the test as failed
    start_pulse "$@" || { echo "FAILED: no PulseAudio server"; exit 1; }
}
stop_pulse() {  # stop_pulse [SIGNAL]
    [ -n "$pa_pid" ] || return 0
    kill "-${1:-TERM}" "$pa_pid" 2>/dev/null
    local i
    for i in $(seq 50); do kill -0 "$pa_pid" 2>/dev/null || break; sleep 0.1; done
    pa_pid=
}

# Xvfb at the design density; exports DISPLAY.
start_x() {
    exec 5>"$work/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -dpi 120 -nolisten tcp >/dev/null 2>&1 &
    track $!
    exec 5>&-
    wait_for 10 test -s "$work/display" || return 1
    export DISPLAY=:$(head -1 "$work/display")
    export QT_FONT_DPI=120  # a 120-dpi desktop
}

need_x() {  # start_x, or end the test as failed
    start_x || { echo "FAILED: Xvfb did not start"; exit 1; }
}
start_wm() {  # starts openbox and waits until it manages the screen
    openbox >/dev/null 2>&1 &
    track $!
    # A window mapped while the window manager is still taking over the screen can stay unmapped.
    wait_for 10 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}

start_tray() {  # sets tray_pid
    trayer --edge top --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
    tray_pid=$!
    track $tray_pid
    wait_for 10 xdotool search --class trayer >/dev/null
}

# LXQt's panel with only its StatusNotifier plugin, a real StatusNotifier host; waits until it
# serves the watcher. Docked icons sit from its left edge, the first one at about (14, 13).
start_lxqt_panel() {  # sets panel_pid
    mkdir -p "$XDG_CONFIG_HOME/lxqt"
    printf '%s\n' '[General]' 'panels=panel1' '[panel1]' 'plugins=statusnotifier' \
        'position=Top' 'panelSize=28' '[statusnotifier]' 'type=statusnotifier' \
        >"$XDG_CONFIG_HOME/lxqt/panel.conf"
    lxqt-panel >>"$work/lxqt-panel.log" 2>&1 &
    panel_pid=$!
    track $panel_pid
    wait_for 15 bus_has org.kde.StatusNotifierWatcher
}
sni_items() {  # the items registered with the StatusNotifier watcher, as BUS/PATH
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | tr -d "'"
}

visible_window() { xdotool search --onlyvisible --name "^Ombrelin$" 2>/dev/null | tail -1 | grep .; }
main_window() {  # the main window: the visible one that is not a message box
    local w
    for w in $(xdotool search --onlyvisible --name '^Ombrelin$' 2>/dev/null); do
        [ "$(xdotool getwindowgeometry "$w" | awk '/Geometry/ {print $2}')" = 522x405 ] &&
            echo "$w" && return 0
    done
    return 1
}

# A private session bus; exports DBUS_SESSION_BUS_ADDRESS.
start_session_bus() {
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
    local pid
    pid=$(dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid) || return 1
    track "$pid"
}
need_session_bus() { start_session_bus || { echo "FAILED: no session bus"; exit 1; }; }
bus_owner() {  # bus_owner NAME: the unique name owning NAME on the session bus, or nothing
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetNameOwner string:"$1" 2>/dev/null | awk '/string/ {gsub(/"/, "", $2); print $2}'
}
bus_has() {  # bus_has NAME: the name has an owner on the session bus
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:"$1" 2>/dev/null | grep -q 'boolean true'
}

# GNOME Shell as a headless Wayland session on the session bus (start_session_bus first) with a
# private system bus of its own; exports WAYLAND_DISPLAY, and DISPLAY and XAUTHORITY for its
# XWayland, as a GNOME session does.
start_gnome_shell() {
    cat >"$work/system-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$XDG_RUNTIME_DIR/system_bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/><allow user="*"/>
  </policy>
</busconfig>
CONF
    local pid
    pid=$(dbus-daemon --config-file="$work/system-bus.conf" --fork --print-pid) || return 1
    track "$pid"
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus XDG_SESSION_TYPE=wayland
    env -u DISPLAY -u WAYLAND_DISPLAY gnome-shell --headless --wayland \
        --virtual-monitor 1280x800 >"$work/gnome-shell.log" 2>&1 &
    track $!
    # Its services (media keys, input sessions) answer once the shell says it has started.
    wait_for 60 grep -q "GNOME Shell started" "$work/gnome-shell.log" || return 1
    export WAYLAND_DISPLAY=wayland-0
    DISPLAY=$(sed -nE 's/.*Using public X11 display (:[0-9]+).*/\1/p' "$work/gnome-shell.log" | head -1)
    export DISPLAY
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
    export XAUTHORITY
}

level() { pactl get-sink-volume @DEFAULT_SINK@ | awk '/Volume/ {print $3; exit}'; }
# The tray icon: a small "Ombrelin" window inside the tray host; prints its centre on screen.
tray_icon_centre() {
    xwininfo -root -tree | awk '/"Ombrelin"/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, /[x+]/); w = g[1]; h = g[2] }
        n = split($NF, p, "+")
        if (w >= 8 && w <= 64 && h >= 8 && h <= 64) { print p[2] + int(w / 2), p[3] + int(h / 2); exit }
    }'
}
tray_icon_docked() { [ -n "$(tray_icon_centre)" ]; }
tray_icon_window() {  # the id of that icon's own window, embedded in the tray host
    xwininfo -root -tree | awk '/"Ombrelin"/ {
        for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) { split($i, g, /[x+]/); w = g[1]; h = g[2] }
        if (w >= 8 && w <= 64 && h >= 8 && h <= 64) { print $1; exit }
    }'
}
red_pixels() {  # red_pixels PNG: pixels clearly red, as in the cross of the sound-off picture
    convert "$1" -fx 'r > 0.7 && g < 0.3 && b < 0.3' -format '%[fx:mean*w*h]' info: 2>/dev/null
}
screenshot() { import -window root "$artifacts/$1.png" 2>/dev/null || true; }  # into $artifacts
# Presses Return in the message box on top. The box is focused first and the key typed through
# the server, so press and release both arrive; a key sent to a window that closes on the press
# would leave the release undelivered and the key held down for whatever comes next.
message_box() {  # the program's visible message box: wider than an icon, not the main window
    local w
    for w in $(xdotool search --onlyvisible --class Ombrelin 2>/dev/null); do
        xdotool getwindowgeometry "$w" | awk '/Geometry/ {split($2, g, "x"); exit !(g[1] > 100 && $2 != "522x405")}' &&
            echo "$w"
    done | tail -1 | grep .
}
# A box owned by the given window, or by none: never by a window the window manager does not
# know (Qt's hidden client leader, which a parentless dialog would point at).
transient_ok() {  # transient_ok BOX [OWNER]
    [ -n "$1" ] || return 1
    local owner
    owner=$(xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | awk '/window id/ {print $NF}')
    [ -z "$owner" ] || { [ -n "${2:-}" ] && [ "$((owner))" = "$(($2))" ]; }
}
dismiss_box() {
    local box
    box=$(message_box) || return 1
    xdotool windowactivate --sync "$box" 2>/dev/null
    xdotool key Return
    wait_for 3 bash -c "! xdotool search --onlyvisible --class Ombrelin | grep -qx $box" && return 0
    xdotool key --window "$box" Return  # a window manager that refused the focus
}

rms_of_sink() {  # rms_of_sink [SINK]: RMS of one second of what the sink plays
    timeout 1.5 parec -d "${1:-test}.monitor" --raw --format=s16le --channels=2 --rate=44100 \
        >"$work/rec.raw" 2>/dev/null
    sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/rec.raw" -n stat 2>&1 |
        awk '/RMS +amplitude/ {print $3}'
}
heard_min=0.005  # RMS a test tone at the test levels clears with room to spare
heard() {  # heard [SINK]: the sink plays something above heard_min
    local rms
    rms=$(rms_of_sink "$@")
    awk "BEGIN {exit !(${rms:-0} > $heard_min)}"
}

cpu_ticks() {  # cpu_ticks PID: user + system CPU time in clock ticks
    awk '{sub(/^.*\) /, ""); print $12 + $13}' "/proc/$1/stat" 2>/dev/null
}
cpu_of() {  # cpu_of SECONDS PID: share of one core the process used over that time
    local before after
    before=$(cpu_ticks "$2")
    sleep "$1"
    after=$(cpu_ticks "$2")
    awk -v b="${before:-0}" -v a="${after:-0}" -v s="$1" -v hz="$(getconf CLK_TCK)" \
        'BEGIN {printf "%.3f\n", (a - b) / hz / s}'
}

# A settings file: 23 values, CR LF after each.
# Fills a program folder's samp_povt/ and samp_raz/ with a plain tone under every name the layers
# open: loops of LOOP seconds (stereo), one-shots of SHOT seconds with CHANNELS channels.
fill_with_tones() {  # fill_with_tones DIR LOOP SHOT CHANNELS
    local dir=$1 name
    mkdir -p "$dir/samp_povt" "$dir/samp_raz"
    sox -n -r 44100 -c 2 -t wav "$work/loop.wav" synth "$2" sine 440 vol 0.5
    sox -n -r 44100 -c "$4" -t wav "$work/shot.wav" synth "$3" sine 880 vol 0.5
    for name in ruchey3 ruchey4 pticv1 pticv2 dogd3 dogd_gr; do
        cp "$work/loop.wav" "$dir/samp_povt/$name"
    done
    for name in pticp{1..14} nas{1..8} pticd{1..10} dogd2 dogd_gr3; do
        cp "$work/shot.wav" "$dir/samp_raz/$name"
    done
}
# A portable program folder $work/prog: the program with one brook recording beside it.
one_tone_program() {  # one_tone_program BINARY
    mkdir -p "$work/prog/samp_povt" "$work/prog/samp_raz"
    cp "$1" "$work/prog/Ombrelin"
    sox -n -r 44100 -c 2 -t wav "$work/prog/samp_povt/ruchey3" synth 5 sine 440 vol 0.5
}
write_settings() {  # write_settings FILE VALUE...
    local file=$1
    shift
    printf '%s\r\n' "$@" >"$file"
}
# Every layer on: brook, distant birds, songbirds in duet, insects and extra birds every 2-7 s,
# rain of a set duration with thunder, rain every 30 minutes, master level 50, sound on.
all_layers_on() {  # all_layers_on FILE
    write_settings "$1" 1 10 1 1 10 1 1 10 0 1 10 0 1 10 0 1 10 1 0 0 0 50 1
}
all_layers_off() {
    write_settings "$1" 0 10 1 0 10 1 0 10 0 0 10 0 0 10 0 0 10 1 0 0 0 50 1
}

# Clicks a point of the main window given in design coordinates.
click_in_window() {  # click_in_window WINDOW X Y
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

play_soundscape() {  # play_soundscape DIR LOG: DIR's program with every layer on and rain called in; sets app_pid
    all_layers_on "$1/n_p_d.ini"
    "$1/Ombrelin" >"$2" 2>&1 &
    app_pid=$!
    track $app_pid
    wait_for 15 main_window >/dev/null || { echo "the window did not show" >&2; return 1; }
    click_in_window "$(main_window)" 75 315  # "Дождя!"
}
