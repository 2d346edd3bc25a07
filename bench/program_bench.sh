#!/usr/bin/env bash
# The whole program against what a Linux user would otherwise run: one GStreamer playbin per
# sound, on the same recordings, to the same private PulseAudio null sink under Xvfb.
#
#   program:  Ombrelin with every layer on (brook, distant birds, songbirds in duet, insects and
#             extra birds every 2-7 s, rain of a set duration with thunder, rain every 30 minutes),
#             "Дождя!" clicked right after start so a rain episode plays through the measurement;
#   baseline: eight gst-launch-1.0 playbin processes, one per stream the program can have live:
#             brook loop ruchey3, distant birds loop pticv1, rain loop dogd3, thunder loop
#             dogd_gr (each restarted at its end, like a loop); songs pticp3 and pticp10 back to
#             back (duet: one of species 1-7, one of 8-14); insect nas1 and extra bird pticd1,
#             each restarted after a random 2-7 s wait, as the program's layers do.
#
# Prints, for each half over the same time: client CPU seconds (user + system, every process of
# the half, restarted players included) and the PulseAudio server's CPU; then the program's peak
# resident memory (VmHWM), its start-up time (exec to the window mapped, median of 5 starts), its
# idle CPU with every layer off, and the ratios against the targets
# (CPU <= 0.4 x baseline, peak RSS <= 80 MB, start-up <= 300 ms).
#
# usage: bench/program_bench.sh [BUILD_DIR]   (BUILD_DIR holds Ombrelin, samp_povt/, samp_raz/)
# environment: PROGRAM_BENCH_SECONDS (default 60): length of each measurement
# needs: xvfb xdotool pulseaudio pulseaudio-utils sox gstreamer1.0-tools
#        gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio
#        (installed with apt-get when missing and run as root)
set -uo pipefail

build=$(realpath "${1:-build}")
seconds=${PROGRAM_BENCH_SECONDS:-60}
[[ -x $build/Ombrelin && -d $build/samp_povt && -d $build/samp_raz ]] ||
    { echo "no $build/Ombrelin with its sound pack: build first" >&2; exit 2; }

gst_packages=(gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-pulseaudio)
if ! dpkg -s "${gst_packages[@]}" >/dev/null 2>&1; then
    if [[ $(id -u) == 0 ]]; then
        apt-get install -y "${gst_packages[@]}" >/dev/null || exit 2
    else
        echo "missing GStreamer packages: apt-get install ${gst_packages[*]}" >&2
        exit 2
    fi
fi

source "$(dirname "$(realpath "$0")")/../tests/e2e/services.sh"
svc_init bench
hz=$(getconf CLK_TCK)
secs() { awk -v t="$1" -v hz="$hz" 'BEGIN {printf "%.2f", t / hz}'; }
# Every clock tick a process and the children it has waited for have used.
ticks_with_children() { awk '{sub(/^.*\) /, ""); print $12 + $13 + $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
# A process and, recursively, its live children.
tree_ticks() {
    local total child
    total=$(ticks_with_children "$1")
    for child in $(pgrep -P "$1"); do total=$((total + $(tree_ticks "$child"))); done
    echo "$total"
}

start_pulse || { echo "no PulseAudio server" >&2; exit 1; }
start_x || { echo "no Xvfb" >&2; exit 1; }
gst-inspect-1.0 >/dev/null 2>&1  # GStreamer's plugin cache, built outside the measurement

prog=$work/prog
mkdir -p "$prog"
cp "$build/Ombrelin" "$prog/"
ln -s "$build/samp_povt" "$build/samp_raz" "$prog/"

stop_program() {  # closes the program as a session end would; says so when it does not end well
    kill -TERM "$app_pid" 2>/dev/null
    exit_code=
    wait_for 15 ended "$app_pid" || { kill -KILL "$app_pid" 2>/dev/null; exit_code=hung; }
    if [[ $exit_code != 0 ]]; then
        echo "note: the program ($1) ended with $exit_code; its output:"
        tail -5 "$work/prog.log"
    fi
}

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)"
echo "measuring each half for $seconds s"

# --- Program half ---
play_soundscape "$prog" "$work/prog.log" || exit 1
sleep 1
server_before=$(cpu_ticks "$pa_pid")
program_before=$(cpu_ticks "$app_pid")
sleep $((seconds / 2))
program_rms=$(rms_of_sink)
rain_open=no
ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q samp_povt/dogd3 && rain_open=yes
sleep $((seconds - seconds / 2 - 1))
program_ticks=$(($(cpu_ticks "$app_pid") - program_before))
program_server=$(($(cpu_ticks "$pa_pid") - server_before))
program_hwm=$(awk '/VmHWM/ {print $2}' "/proc/$app_pid/status")
program_ran=yes
kill -0 "$app_pid" 2>/dev/null || program_ran=no
stop_program "every layer on"
[[ $exit_code == 0 ]] || program_ran=no

# --- Baseline half ---
player() {  # player FILE MIN_WAIT MAX_WAIT: plays the file again and again, waiting between
    local file=$1 lo=$2 hi=$3
    while :; do
        # A failure, not the stop at the end (a signal), is noted.
        gst-launch-1.0 -q playbin "uri=file://$file" audio-sink=pulsesink >/dev/null 2>&1 ||
            { status=$?; [[ $status -lt 128 ]] && echo "$file: exit status $status" >>"$work/player-failures"; }
        [[ $hi -gt 0 ]] && sleep $((lo + RANDOM % (hi - lo + 1)))
    done
}
players=()
for entry in "samp_povt/ruchey3 0 0" "samp_povt/pticv1 0 0" "samp_povt/dogd3 0 0" \
    "samp_povt/dogd_gr 0 0" "samp_raz/pticp3 0 0" "samp_raz/pticp10 0 0" \
    "samp_raz/nas1 2 7" "samp_raz/pticd1 2 7"; do
    read -r file lo hi <<<"$entry"
    player "$build/$file" "$lo" "$hi" &
    players+=($!)
    track $!
done
sleep 1
server_before=$(cpu_ticks "$pa_pid")
baseline_before=0
for pid in "${players[@]}"; do baseline_before=$((baseline_before + $(tree_ticks "$pid"))); done
sleep $((seconds / 2))
baseline_rms=$(rms_of_sink)
sleep $((seconds - seconds / 2 - 1))
baseline_ticks=0
for pid in "${players[@]}"; do baseline_ticks=$((baseline_ticks + $(tree_ticks "$pid"))); done
baseline_ticks=$((baseline_ticks - baseline_before))
baseline_server=$(($(cpu_ticks "$pa_pid") - server_before))
for pid in "${players[@]}"; do
    children=$(pgrep -P "$pid")
    kill "$pid" 2>/dev/null
    [[ -n $children ]] && kill $children 2>/dev/null
done

# --- Start-up: exec to the main window mapped, with a valid settings file ---
startups=()
for run in 1 2 3 4 5; do
    all_layers_on "$prog/n_p_d.ini"
    t0=$(date +%s%N)
    "$prog/Ombrelin" >"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
    until xdotool search --onlyvisible --name '^Ombrelin$' >/dev/null 2>&1; do
        [[ $(($(date +%s%N) - t0)) -gt 15000000000 ]] && break
        sleep 0.005
    done
    startups+=($((($(date +%s%N) - t0) / 1000000)))
    stop_program "start-up run $run"
done
startup_median=$(printf '%s\n' "${startups[@]}" | sort -n | sed -n 3p)

# --- Idle: every layer off ---
all_layers_off "$prog/n_p_d.ini"
"$prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
wait_for 15 main_window >/dev/null
sleep 1
idle_before=$(cpu_ticks "$app_pid")
sleep "$seconds"
idle_ticks=$(($(cpu_ticks "$app_pid") - idle_before))
stop_program "idle"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "n/a"}'; }
# A half that did not really play would measure as next to no CPU and pass for a win.
played=yes
[[ $program_ran == yes ]] || { echo "the program did not run through its half" >&2; played=no; }
for half in program baseline; do
    rms_var=${half}_rms
    awk -v r="${!rms_var:-0}" -v m="$heard_min" 'BEGIN {exit !(r > m)}' ||
        { echo "the sink was silent during the $half half (RMS ${!rms_var:-none})" >&2; played=no; }
done
if [[ -s $work/player-failures ]]; then
    echo "a baseline player failed:" >&2
    sort -u "$work/player-failures" >&2
    played=no
fi
[[ $played == yes ]] || { echo "no ratios: a half did not play" >&2; exit 1; }
echo
echo "program (every layer on, rain playing: $rain_open; sink RMS $program_rms):"
echo "  client CPU        $(secs $program_ticks) s over $seconds s"
echo "  PulseAudio CPU    $(secs $program_server) s"
echo "baseline (8 gst-launch-1.0 playbin players; sink RMS $baseline_rms):"
echo "  client CPU        $(secs $baseline_ticks) s over $seconds s"
echo "  PulseAudio CPU    $(secs $baseline_server) s"
echo "CPU ratio           $(ratio $program_ticks $baseline_ticks) x baseline (target <= 0.4)"
echo "server CPU ratio    $(ratio $program_server $baseline_server) x baseline"
echo "peak RSS (VmHWM)    $(awk -v k="$program_hwm" 'BEGIN {printf "%.1f", k / 1024}') MB (target <= 80)"
echo "start-up            median $startup_median ms of ${startups[*]} ms (target <= 300; polled every ~10 ms)"
echo "idle CPU            $(secs $idle_ticks) s over $seconds s, every layer off"
