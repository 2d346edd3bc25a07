#!/usr/bin/env bash
# Does the soundscape play without a gap while every core is busy? The program runs under Xvfb
# with every layer on and "Дождя!" clicked, on a private PulseAudio server (or PipeWire with
# pipewire-pulse), while stress-ng keeps the CPUs busy; the sink's monitor is recorded all along.
# Two detectors:
#   - the monitor: the brook loops without a pause, so any stretch of 5 ms or more where every
#     sample is silent is a dropout (a server that runs out of data plays zeros);
#     bench/ombrelin_gap_finder counts them;
#   - PulseAudio's own count: its log (debug level) reports every underrun of the program's
#     stream (PulseAudio only).
# Prints the figures: seconds analysed, gaps and the longest, underruns, the program's CPU and
# the machine's load meanwhile.
#
# usage: bench/dropout_bench.sh [BUILD_DIR [PACK_DIR]]
#   environment: DROPOUT_BENCH_SECONDS (default 600), DROPOUT_BENCH_LOAD (stress-ng CPU workers,
#   default: one per core), DROPOUT_BENCH_SERVER (pulseaudio or pipewire, default pulseaudio),
#   DROPOUT_BENCH_STOP_AT (seconds into the run: the program is stopped for half a second there,
#   to see that a real gap is caught), DROPOUT_BENCH_PLAYER=paplay (instead of the program, one
#   plain client of the same server plays the twelve-minute rain samp_raz/dogd2 through the same
#   detectors: what it shows is the server's and the machine's, not the program's)
# needs: xvfb xdotool pulseaudio pulseaudio-utils stress-ng (pipewire pipewire-pulse wireplumber
#   dbus-daemon for PipeWire)
set -uo pipefail

build=$(realpath "${1:-build}")
pack=$(realpath "${2:-$build}")
seconds=${DROPOUT_BENCH_SECONDS:-600}
load=${DROPOUT_BENCH_LOAD:-$(nproc)}
server=${DROPOUT_BENCH_SERVER:-pulseaudio}
stop_at=${DROPOUT_BENCH_STOP_AT:-}
player=${DROPOUT_BENCH_PLAYER:-}
rate=48000
[[ -x $build/Ombrelin && -x $build/bench/ombrelin_gap_finder && -d $pack/samp_povt ]] ||
    { echo "need $build/Ombrelin, $build/bench/ombrelin_gap_finder and a sound pack in $pack" >&2; exit 2; }
command -v stress-ng >/dev/null || { echo "need stress-ng" >&2; exit 2; }

source "$(dirname "$(realpath "$0")")/../tests/e2e/services.sh"
svc_init dropout-bench

if [[ $server == pulseaudio ]]; then
    start_pulse --log-level=debug || { echo "no PulseAudio" >&2; exit 1; }
    log=$XDG_RUNTIME_DIR/pa.log
else
    start_session_bus || exit 1
    for name in pipewire wireplumber pipewire-pulse; do
        "$name" >"$work/$name.log" 2>&1 &
        track $!
        sleep 0.5
    done
    wait_for 15 pactl info >/dev/null 2>&1 || { echo "no PipeWire" >&2; exit 1; }
    pactl load-module module-null-sink sink_name=test >/dev/null || exit 1
    wait_for 5 pactl set-default-sink test 2>/dev/null
    log=
fi
start_x || { echo "no Xvfb" >&2; exit 1; }

if [[ $player == paplay ]]; then
    paplay "$pack/samp_raz/dogd2" &
    app_pid=$!
    track $app_pid
else
    mkdir -p "$work/prog"
    cp "$build/Ombrelin" "$work/prog/"
    ln -s "$pack/samp_povt" "$pack/samp_raz" "$work/prog/"
    play_soundscape "$work/prog" "$work/prog.log" || exit 1
fi
sleep 3
# The program left the system output level where its master slider was.
pactl set-sink-mute test 0
pactl set-sink-volume test 100%

mkfifo "$work/monitor"
"$build/bench/ombrelin_gap_finder" $rate 1 <"$work/monitor" >"$work/gaps" &
finder=$!
parec -d test.monitor --raw --format=float32le --rate=$rate --channels=2 --latency-msec=200 \
    >"$work/monitor" &
recorder=$!
track $recorder
sleep 1
underruns0=$([[ -n $log ]] && grep -ciE "underrun (of|on) '" "$log")
cpu0=$(cpu_ticks $app_pid)
stress-ng --cpu "$load" --timeout "${seconds}s" --quiet &
stress=$!
track $stress
started=$SECONDS
if [[ -n $stop_at ]]; then
    sleep "$stop_at"
    kill -STOP $app_pid; sleep 0.5; kill -CONT $app_pid
fi
loads=()
while ((SECONDS - started < seconds)); do
    sleep 10
    loads+=("$(awk '{print $1}' /proc/loadavg)")
done
cpu=$(($(cpu_ticks $app_pid) - cpu0))
underruns=$([[ -n $log ]] && echo $(($(grep -ciE "underrun (of|on) '" "$log") - underruns0)) || echo n/a)
kill -0 $app_pid 2>/dev/null && alive=yes || alive=no
wait $stress 2>/dev/null
kill $recorder 2>/dev/null  # the finder reports once the recording ends
wait $finder 2>/dev/null
kill -TERM $app_pid 2>/dev/null
wait_for 15 ended $app_pid

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)," \
    "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo); server: $server;" \
    "stress-ng --cpu $load for $seconds s; playing: ${player:-the program}"
echo "load average    $(printf '%s\n' "${loads[@]}" | sort -n | awk '{a[NR] = $1} END {printf "%s to %s", a[1], a[NR]}')"
echo "monitor         $(cat "$work/gaps") (silent stretches of 5 ms or more)"
echo "underruns       $underruns (the server's count for the program's stream)"
echo "program CPU     $(awk -v t=$cpu -v hz="$(getconf CLK_TCK)" -v s=$seconds 'BEGIN {printf "%.2f s (%.1f%% of a core)", t / hz, 100 * t / hz / s}'), still running: $alive"
