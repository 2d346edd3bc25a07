#!/usr/bin/env bash
# What the soundscape costs the machine, on a private PulseAudio server and on PipeWire with
# pipewire-pulse (each started here, with a null sink as the default output), side by side with
# what the work really needs:
#   busy:   the program under Xvfb with every layer on and "Дождя!" clicked (rain with thunder);
#           its CPU (user + system) against the decoding floor: libsndfile decoding the six long
#           recordings it plays (ruchey3 pticv1 dogd3 dogd_gr pticp3 pticp10) for as long,
#           measured in the same run; wake-ups per second summed over the program's threads
#           (voluntary + nonvoluntary context switches; the voluntary ones alone too: the
#           nonvoluntary ones are preemptions and grow with whatever else the machine runs);
#           peak memory (VmHWM); the sound server's CPU for it against one player's (paplay
#           looping ruchey3);
#   idle:   the program with every layer off: CPU and wake-ups per second;
#   controls: bench/ombrelin_control_delay, the time from a call to its change on the sink
#           monitor (slider turned down, a loop back from volume 0, a recording starting).
# Targets: busy <= 1.3 x floor and <= 30 wake-ups/s; idle <= 0.05 s CPU per 30 s and <= 2
# wake-ups/s; peak RSS <= 80 MB; controls <= 250 ms.
#
# usage: bench/soundscape_bench.sh [BUILD_DIR [PACK_DIR]]
#   BUILD_DIR holds Ombrelin and bench/; PACK_DIR the generated samp_povt/ and samp_raz/
#   (default BUILD_DIR). environment: SOUNDSCAPE_BENCH_SECONDS (default 30),
#   SOUNDSCAPE_BENCH_SERVERS (default "pulseaudio pipewire"), SOUNDSCAPE_BENCH_COMPARE: another
#   build's Ombrelin, measured busy and idle in the same run (before and after a change)
# needs: xvfb xdotool pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon
set -uo pipefail

build=$(realpath "${1:-build}")
pack=$(realpath "${2:-$build}")
seconds=${SOUNDSCAPE_BENCH_SECONDS:-30}
servers=${SOUNDSCAPE_BENCH_SERVERS:-pulseaudio pipewire}
[[ -x $build/Ombrelin && -x $build/bench/ombrelin_decode_floor &&
    -x $build/bench/ombrelin_control_delay && -d $pack/samp_povt && -d $pack/samp_raz ]] ||
    { echo "need $build/Ombrelin, its bench/ tools and a sound pack in $pack" >&2; exit 2; }

source "$(dirname "$(realpath "$0")")/../tests/e2e/services.sh"
svc_init soundscape-bench
hz=$(getconf CLK_TCK)
secs() { awk -v t="$1" -v hz="$hz" 'BEGIN {printf "%.2f", t / hz}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "n/a"}'; }
per_s() { awk -v n="$1" -v s="$seconds" 'BEGIN {printf "%.1f", n / s}'; }
# Context switches of every thread of a process: voluntary, then voluntary + nonvoluntary.
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^voluntary_ctxt/ {v += $2} /nonvoluntary_ctxt/ {n += $2} END {print v + 0, v + n}'
}
threads() {  # threads PID: "TID NAME VOLUNTARY" per thread, sorted for join
    local d
    for d in /proc/"$1"/task/*; do
        echo "$(basename "$d") $(tr -d ' ' <"$d/comm") $(awk '/^voluntary_ctxt/ {print $2}' "$d/status")"
    done | sort
}
server_pids=()
server_ticks() { local t=0 p; for p in "${server_pids[@]}"; do t=$((t + $(cpu_ticks "$p"))); done; echo $t; }

start_server() {  # start_server pulseaudio|pipewire: sets server_pids
    server_pids=()
    if [[ $1 == pulseaudio ]]; then
        start_pulse || return 1
        server_pids=("$pa_pid")
        return 0
    fi
    start_session_bus || return 1
    local name
    for name in pipewire wireplumber pipewire-pulse; do
        "$name" >"$work/$name.log" 2>&1 &
        server_pids+=($!)
        track $!
        sleep 0.5
    done
    wait_for 15 pactl info >/dev/null 2>&1 || return 1
    pactl load-module module-null-sink sink_name=test >/dev/null || return 1
    wait_for 5 pactl set-default-sink test 2>/dev/null
}
stop_server() {
    if [[ $1 == pulseaudio ]]; then stop_pulse; return; fi
    local p
    for p in "${server_pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${server_pids[@]}"; do wait_for 5 ended "$p"; done
}

program_folder() {  # program_folder DIR BINARY: a portable program folder on the pack
    mkdir -p "$1"
    cp "$2" "$1/Ombrelin"
    ln -s "$pack/samp_povt" "$pack/samp_raz" "$1/"
}
program_folder "$work/prog" "$build/Ombrelin"
compare=${SOUNDSCAPE_BENCH_COMPARE:-}
[[ -n $compare ]] && program_folder "$work/compare" "$compare"
start_x || { echo "no Xvfb" >&2; exit 1; }

# measure_program on|off [FOLDER]: starts the program, measures $seconds, stops it. Sets cpu,
# vol, all, hwm, srv, by_thread.
measure_program() {
    local prog=${2:-$work/prog}
    "all_layers_$1" "$prog/n_p_d.ini"
    "$prog/Ombrelin" >"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
    wait_for 15 main_window >/dev/null || { echo "the window did not show" >&2; return 1; }
    [[ $1 == on ]] && click_in_window "$(main_window)" 75 315  # "Дождя!"
    sleep 2
    local c0 s0 w0 w1
    c0=$(cpu_ticks $app_pid); s0=$(server_ticks); w0=($(switches $app_pid))
    threads $app_pid >"$work/threads0"
    sleep "$seconds"
    cpu=$(($(cpu_ticks $app_pid) - c0)); srv=$(($(server_ticks) - s0)); w1=($(switches $app_pid))
    threads $app_pid >"$work/threads1"
    # Voluntary wake-ups per second of each thread that had any, by name.
    by_thread=$(join "$work/threads0" "$work/threads1" |
        awk -v s="$seconds" '$5 > $3 {printf "%s %.1f, ", $2, ($5 - $3) / s}')
    vol=$((w1[0] - w0[0])); all=$((w1[1] - w0[1]))
    hwm=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$app_pid/status")
    kill -TERM $app_pid
    wait_for 15 ended $app_pid || kill -KILL $app_pid
}

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)," \
    "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo); $seconds s per figure"
files=()
for f in samp_povt/ruchey3 samp_povt/pticv1 samp_povt/dogd3 samp_povt/dogd_gr samp_raz/pticp3 \
    samp_raz/pticp10; do files+=("$pack/$f"); done
for server in $servers; do
    start_server "$server" || { echo "$server: did not start" >&2; stop_server "$server"; continue; }
    measure_program on || continue
    busy_cpu=$cpu busy_vol=$vol busy_all=$all busy_hwm=$hwm busy_srv=$srv busy_threads=$by_thread
    measure_program off || continue
    idle_cpu=$cpu idle_vol=$vol idle_all=$all idle_threads=$by_thread
    if [[ -n $compare ]]; then
        measure_program on "$work/compare" || continue
        cmp_busy="$(secs $cpu) s CPU, wake-ups $(per_s $all)/s (voluntary $(per_s $vol)/s: $by_thread), server $(secs $srv) s, peak RSS $hwm MB"
        measure_program off "$work/compare" || continue
        cmp_idle="$(secs $cpu) s CPU, wake-ups $(per_s $all)/s (voluntary $(per_s $vol)/s)"
    fi
    floor=$("$build/bench/ombrelin_decode_floor" "$seconds" "${files[@]}")
    # The program left the system output level where its master slider was.
    pactl set-sink-mute test 0; pactl set-sink-volume test 100%
    controls=$("$build/bench/ombrelin_control_delay" 5 2>&1 | tr '\n' ';')
    # One player of one recording, for the server's side of the comparison.
    (while :; do paplay "$pack/samp_povt/ruchey3" 2>/dev/null || sleep 1; done) &
    player=$!
    sleep 2
    s0=$(server_ticks); sleep "$seconds"; player_srv=$(($(server_ticks) - s0))
    children=$(pgrep -P $player)
    kill $player $children 2>/dev/null; wait $player 2>/dev/null
    stop_server "$server"

    busy_s=$(secs $busy_cpu)
    echo
    echo "$server:"
    echo "  busy CPU          $busy_s s = $(ratio "$busy_s" "$floor") x the decoding floor ($floor s) (target <= 1.3)"
    echo "  busy wake-ups     $(per_s $busy_all)/s, voluntary $(per_s $busy_vol)/s (target <= 30)"
    echo "    by thread       ${busy_threads%, }"
    echo "  idle CPU          $(secs $idle_cpu) s over $seconds s (target <= $(awk -v s=$seconds 'BEGIN {printf "%.2f", 0.05 * s / 30}'))"
    echo "  idle wake-ups     $(per_s $idle_all)/s, voluntary $(per_s $idle_vol)/s (target <= 2)"
    echo "    by thread       ${idle_threads%, }"
    echo "  peak RSS          $busy_hwm MB (target <= 80)"
    echo "  server CPU        $(secs $busy_srv) s for the program, $(secs $player_srv) s for one player ($(ratio $busy_srv $player_srv) x)"
    if [[ -n $compare ]]; then
        echo "  compared build, busy: $cmp_busy"
        echo "  compared build, idle: $cmp_idle"
    fi
    echo "  controls          ${controls%;} (ms, in the order measured; target <= 250)"
done
