#!/usr/bin/env bash
# Client CPU of the audio layer against GStreamer, on the same eight 60 s stereo recordings
# played together for the same time to a PulseAudio null sink:
#   ours: one ombrelin_audio_bench process playing all eight, looping;
#   GStreamer: eight gst-launch-1.0 playbin processes, one per file (the files outlast the run).
# Prints the CPU seconds (user + system) of each side, their ratio (the aim is <= 0.5), and the
# sound server's CPU during each side.
#
# usage: bench/audio_cpu.sh [BUILD_DIR]   (BUILD_DIR holds bench/ombrelin_audio_bench)
# environment: AUDIO_BENCH_SECONDS (default 20)
# needs: pulseaudio, pulseaudio-utils (parec), sox, gstreamer1.0-tools, gstreamer1.0-plugins-base,
#        gstreamer1.0-plugins-good
set -euo pipefail

build=${1:-build}
seconds=${AUDIO_BENCH_SECONDS:-20}
player=$(realpath "$build/bench/ombrelin_audio_bench")
[[ -x $player ]] || { echo "no $player: build the ombrelin_audio_bench target" >&2; exit 2; }
for tool in pulseaudio pactl sox gst-launch-1.0 gst-inspect-1.0; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native
pa_pid=
client_pids=()
declare -A logs  # each player's output, by PID

cleanup() {
    for pid in "${client_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${client_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [[ -n $pa_pid ]]; then
        kill "$pa_pid" 2>/dev/null || true
        for _ in $(seq 200); do kill -0 "$pa_pid" 2>/dev/null || break; sleep 0.05; done
    fi
    rm -rf "$work"
}
trap cleanup EXIT

ticks_per_second=$(getconf CLK_TCK)
# user + system clock ticks of one process so far (fields 14 and 15 of /proc/PID/stat).
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
seconds_of() { awk -v t="$1" -v hz="$ticks_per_second" 'BEGIN { printf "%.2f", t / hz }'; }

echo "generating 8 recordings of 60 s (44.1 kHz stereo, 4 OGG Vorbis + 4 FLAC)..."
files=()
noises=(pinknoise brownnoise whitenoise pinknoise brownnoise whitenoise pinknoise brownnoise)
for i in $(seq 0 7); do
    ext=$([[ $((i % 2)) == 0 ]] && echo ogg || echo flac)
    file=$work/rec$i.$ext
    # Distinct content per file: a noise colour shaped by a slow tremolo at its own rate.
    sox -q -n -r 44100 -c 2 "$file" synth 60 "${noises[$i]}" tremolo "0.$((i + 1))" 60 \
        gain -12
    files+=("$file")
done

pulseaudio -D --exit-idle-time=-1 --disallow-exit --system=false -n \
    --load='module-null-sink sink_name=bench' --load=module-native-protocol-unix \
    --log-target="file:$XDG_RUNTIME_DIR/pa.log" 2>/dev/null
for _ in $(seq 100); do [[ -s $XDG_RUNTIME_DIR/pulse/pid ]] && break; sleep 0.05; done
pa_pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
pactl set-default-sink bench
gst-inspect-1.0 >/dev/null 2>&1  # build GStreamer's plugin cache outside the measurement

# RMS of one second of what the bench sink plays.
monitor_rms() {
    timeout 1.5 parec -d bench.monitor --raw --format=s16le --channels=2 --rate=44100 \
        >"$work/monitor.raw" 2>/dev/null || true
    sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/monitor.raw" -n stat 2>&1 |
        awk '/RMS +amplitude/ { print $3 }'
}

# Measures the processes in client_pids over $seconds, then stops them; sets client_ticks and
# server_ticks.
measure() {
    local server_before pid
    server_before=$(cpu_ticks "$pa_pid")
    sleep "$seconds"
    # A player that failed would measure as next to no CPU and pass for a win: every player must
    # still be running and the sink must carry sound.
    for pid in "${client_pids[@]}"; do
        if ! kill -0 "$pid" 2>/dev/null; then
            local status=0
            wait "$pid" || status=$?
            echo "a player (PID $pid) ended early with exit status $status; its output:" >&2
            cat "${logs[$pid]}" >&2 2>/dev/null || true
            exit 1
        fi
    done
    local rms
    rms=$(monitor_rms)
    if ! awk -v r="${rms:-0}" 'BEGIN { exit !(r > 0.005) }'; then
        echo "the sink is silent (RMS ${rms:-none}) while the players run: nothing measured" >&2
        exit 1
    fi
    echo "sink RMS while playing: $rms"
    client_ticks=0
    for pid in "${client_pids[@]}"; do
        client_ticks=$((client_ticks + $(cpu_ticks "$pid")))
    done
    server_ticks=$(($(cpu_ticks "$pa_pid") - server_before))
    for pid in "${client_pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
    for pid in "${client_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    client_pids=()
}

echo "playing for $seconds s each..."
ALSOFT_DRIVERS=pulse "$player" $((seconds + 60)) "${files[@]}" >"$work/ours.log" 2>&1 &
client_pids=($!)
logs[$!]=$work/ours.log
measure
ours=$client_ticks ours_server=$server_ticks

for file in "${files[@]}"; do
    gst-launch-1.0 -q playbin "uri=file://$file" audio-sink=pulsesink \
        >"$work/gst-${file##*/}.log" 2>&1 &
    client_pids+=($!)
    logs[$!]=$work/gst-${file##*/}.log
done
measure
gst=$client_ticks gst_server=$server_ticks

echo
printf "%-44s %8s s\n" "audio layer, 1 process, 8 streams:" "$(seconds_of "$ours")"
printf "%-44s %8s s\n" "GStreamer playbin, 8 processes:" "$(seconds_of "$gst")"
printf "%-44s %8s\n" "ratio (audio layer / GStreamer, aim <= 0.5):" \
    "$(awk -v a="$ours" -v b="$gst" 'BEGIN { printf (b > 0 ? "%.2f" : "n/a"), a / b }')"
printf "%-44s %8s s\n" "sound server during the audio layer:" "$(seconds_of "$ours_server")"
printf "%-44s %8s s\n" "sound server during GStreamer:" "$(seconds_of "$gst_server")"
