#!/usr/bin/env bash
# What the soundscape costs the machine, on a private PulseAudio server and on PipeWire with
# pipewire-pulse (each started here, with a null sink as the default output), side by side with
# what the work really needs:
#   busy:   the program under Xvfb with every layer on and "Дождя!" clicked (rain and thunder),
#           measured twice for as long: from 2 s after the click, while the rain fades in over
#           its 30 one-second steps and the songs fade out, and again as steady rain, from 32 s
#           after the click. Each time: its CPU (user + system) against the decoding floor,
#           libsndfile decoding the six long recordings it plays (ruchey3 pticv1 dogd3 dogd_gr
#           pticp3 pticp10) for as long, the least of three runs in the same run (it moves by
#           15% from one to the next), and the paced floor (bench/decode_floor.cpp --paced: the
#           same decoding half a second at a time, every half second) run beside the program in
#           the same window, like for like; wake-ups per second summed over the program's threads:
#           voluntary + nonvoluntary context switches, the voluntary ones alone (the
#           nonvoluntary ones are preemptions, by other jobs or by PipeWire's real-time thread,
#           and grow with whatever else the machine runs), and, where perf can read the
#           sched:sched_wakeup tracepoint, the wake-ups themselves as the kernel counts them;
#           the sound server's CPU for it against one player's (paplay looping ruchey3); peak
#           memory (VmHWM) at the end;
#   idle:   the program with every layer off: CPU and wake-ups per second;
#   controls: bench/ombrelin_control_delay, the time from a call to its change on the sink
#           monitor (slider turned down, a loop back from volume 0, a recording starting), once
#           the sink has settled to the latency its clients asked for.
# Targets: busy <= 1.3 x floor and <= 30 wake-ups/s; idle <= 0.05 s CPU per 30 s and <= 2
# wake-ups/s; peak RSS <= 80 MB; controls <= 250 ms.
#
# usage: bench/soundscape_bench.sh [BUILD_DIR [PACK_DIR]]
#   BUILD_DIR holds Ombrelin and bench/; PACK_DIR the generated samp_povt/ and samp_raz/
#   (default BUILD_DIR). environment: SOUNDSCAPE_BENCH_SECONDS (default 30),
#   SOUNDSCAPE_BENCH_SERVERS (default "pulseaudio pipewire"), SOUNDSCAPE_BENCH_COMPARE: another
#   build's Ombrelin, measured busy and idle in the same run (before and after a change),
#   SOUNDSCAPE_BENCH_PROFILE: a folder for perf samples of the program in each busy window
#   (SERVER-WINDOW.data, for perf report), summed up by library at the end; the sampling costs
#   the program a little, so take the CPU figures from a run without it
# needs: xvfb xdotool pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon;
#   perf (linux-perf) and root, or a perf_event_paranoid that allows it, for the wake-up count
set -uo pipefail

build=$(realpath "${1:-build}")
pack=$(realpath "${2:-$build}")
seconds=${SOUNDSCAPE_BENCH_SECONDS:-30}
servers=${SOUNDSCAPE_BENCH_SERVERS:-pulseaudio pipewire}
profile=${SOUNDSCAPE_BENCH_PROFILE:-}
if [[ -n $profile ]]; then
    command -v perf >/dev/null || { echo "SOUNDSCAPE_BENCH_PROFILE needs perf" >&2; exit 2; }
    mkdir -p "$profile" && profile=$(realpath "$profile")
fi
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

# Wake-ups of a process's threads as the kernel counts them: perf counting the sched:sched_wakeup
# tracepoint (its pid field is the woken task) for the threads there at the start, switched on
# and off around the window through perf's control FIFO. wakeups_end sets wakeups to the count,
# or to nothing when perf or the tracepoint is missing or not allowed.
perf_pid=
wakeups_begin() {  # wakeups_begin PID
    perf_pid=
    command -v perf >/dev/null || return 0
    local filter
    filter=$(ls "/proc/$1/task" | awk '{printf "%spid == %s", (NR > 1 ? " || " : ""), $1}')
    rm -f "$work/perf.ctl" "$work/perf.ack" "$work/perf.out"
    mkfifo "$work/perf.ctl" "$work/perf.ack" || return 0
    exec {perf_ctl}<>"$work/perf.ctl" {perf_ack}<>"$work/perf.ack"
    perf stat -a -x, -o "$work/perf.out" -e sched:sched_wakeup --filter "$filter" -D -1 \
        --control "fifo:$work/perf.ctl,$work/perf.ack" -- sleep $((seconds + 60)) \
        2>>"$work/perf.log" &
    perf_pid=$!
    track $perf_pid
    perf_command enable || { wakeups_end; perf_pid=; }
}
perf_command() {  # perf_command enable|disable: true once perf has acknowledged it
    local ack i
    echo "$1" >&"$perf_ctl"
    for i in $(seq 50); do  # up to 5 s, less when perf has ended (no tracepoint, no right)
        read -r -t 0.1 -u "$perf_ack" ack && { [[ $ack == ack ]]; return; }
        kill -0 "$perf_pid" 2>/dev/null || return 1
    done
    return 1
}
wakeups_end() {
    wakeups=
    [[ -n $perf_pid ]] || return 0
    local counted=
    perf_command disable && counted=1
    kill $(pgrep -P "$perf_pid") 2>/dev/null  # its sleep; perf then writes the count and ends
    wait_for 5 ended "$perf_pid" || kill "$perf_pid" 2>/dev/null
    exec {perf_ctl}>&- {perf_ack}>&-
    [[ -n $counted ]] &&
        wakeups=$(awk -F, '$3 ~ /sched_wakeup/ && $1 ~ /^[0-9]+$/ {print $1}' "$work/perf.out")
    perf_pid=
}

# window PID NAME: measures the process over $seconds. Sets NAME_cpu, NAME_vol, NAME_all,
# NAME_wake (the tracepoint's count, or nothing), NAME_srv, NAME_threads, and for a busy window
# NAME_paced: the paced floor's CPU, run beside the program over the same window.
window() {
    local c0 s0 w0 w1 paced=
    wakeups_begin "$1"
    c0=$(cpu_ticks "$1"); s0=$(server_ticks); w0=($(switches "$1"))
    threads "$1" >"$work/threads0"
    if [[ $2 != *idle ]]; then
        "$build/bench/ombrelin_decode_floor" --paced "$seconds" "${files[@]}" >"$work/paced" &
        paced=$!
        [[ -n $profile ]] && perf record -q -F 499 -p "$1" -o "$profile/$server-$2.data" \
            -- sleep "$seconds" >/dev/null 2>&1 &
    fi
    sleep "$seconds"
    [[ -n $paced ]] && wait $paced
    printf -v "$2_paced" %s "$([[ -n $paced ]] && cat "$work/paced")"
    printf -v "$2_cpu" %s $(($(cpu_ticks "$1") - c0))
    printf -v "$2_srv" %s $(($(server_ticks) - s0))
    w1=($(switches "$1"))
    threads "$1" >"$work/threads1"
    wakeups_end
    printf -v "$2_wake" %s "$wakeups"
    printf -v "$2_vol" %s $((w1[0] - w0[0]))
    printf -v "$2_all" %s $((w1[1] - w0[1]))
    # Voluntary wake-ups per second of each thread that had any, by name.
    printf -v "$2_threads" %s "$(join "$work/threads0" "$work/threads1" |
        awk -v s="$seconds" '$5 > $3 {printf "%s %.1f, ", $2, ($5 - $3) / s}')"
}
wakeups_line() {  # wakeups_line NAME: that window's wake-ups per second, every count
    local all=${1}_all vol=${1}_vol wake=${1}_wake
    printf '%s/s, voluntary %s/s, sched_wakeup %s' "$(per_s ${!all})" "$(per_s ${!vol})" \
        "$([[ -n ${!wake} ]] && echo "$(per_s ${!wake})/s" || echo "n/a (no perf or tracepoint)")"
}

# measure_program on|off [FOLDER [PREFIX]]: starts the program and stops it. On: sets the
# PREFIXfade_* and PREFIXsteady_* figures of the two busy windows (see window) and PREFIXhwm;
# off: PREFIXidle_*.
measure_program() {
    local prog=${2:-$work/prog} prefix=${3:-} clicked
    if [[ $1 == on ]]; then
        play_soundscape "$prog" "$work/prog.log" || return 1
        clicked=$EPOCHREALTIME
        sleep 2
        window $app_pid "${prefix}fade"
        # The fade-in's last step is 31 s after the click.
        sleep "$(awk -v c="$clicked" -v now="$EPOCHREALTIME" \
            'BEGIN {w = c + 32 - now; print (w > 0 ? w : 0)}')"
        window $app_pid "${prefix}steady"
        printf -v "${prefix}hwm" %s \
            "$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$app_pid/status")"
    else
        all_layers_off "$prog/n_p_d.ini"
        "$prog/Ombrelin" >"$work/prog.log" 2>&1 &
        app_pid=$!
        track $app_pid
        wait_for 15 main_window >/dev/null || { echo "the window did not show" >&2; return 1; }
        sleep 2
        window $app_pid "${prefix}idle"
    fi
    kill -TERM $app_pid
    wait_for 15 ended $app_pid || kill -KILL $app_pid
}
busy_lines() {  # busy_lines NAME LABEL: that busy window's CPU and wake-ups
    local cpu=${1}_cpu threads=${1}_threads paced=${1}_paced s
    s=$(secs ${!cpu})
    printf '  %-17s %s\n' \
        "$2 CPU" "$s s = $(ratio "$s" "$floor") x the decoding floor (target <= 1.3)" \
        "  paced floor" "${!paced} s beside it, in the same window: $(ratio "$s" "${!paced}") x" \
        "$2 wake-ups" "$(wakeups_line "$1") (target <= 30)" "  by thread" "${!threads%, }"
}

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)," \
    "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo); $seconds s per figure"
files=()
for f in samp_povt/ruchey3 samp_povt/pticv1 samp_povt/dogd3 samp_povt/dogd_gr samp_raz/pticp3 \
    samp_raz/pticp10; do files+=("$pack/$f"); done
for server in $servers; do
    start_server "$server" || { echo "$server: did not start" >&2; stop_server "$server"; continue; }
    measure_program on || continue
    measure_program off || continue
    if [[ -n $compare ]]; then
        measure_program on "$work/compare" cmp_ || continue
        measure_program off "$work/compare" cmp_ || continue
    fi
    floors=()
    for i in 1 2 3; do
        floors+=("$("$build/bench/ombrelin_decode_floor" "$seconds" "${files[@]}")")
    done
    floor=$(printf '%s\n' "${floors[@]}" | sort -g | head -1)
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

    echo
    echo "$server:"
    echo "  decoding floor    $floor s, the least of ${floors[*]}"
    echo "  busy: from 2 s after \"Дождя!\" (the rain fading in); steady: from 32 s after it"
    busy_lines fade busy
    busy_lines steady steady
    idle_target=$(awk -v s=$seconds 'BEGIN {printf "%.2f", 0.05 * s / 30}')
    echo "  idle CPU          $(secs $idle_cpu) s over $seconds s (target <= $idle_target)"
    echo "  idle wake-ups     $(wakeups_line idle) (target <= 2)"
    echo "    by thread       ${idle_threads%, }"
    echo "  peak RSS          $hwm MB (target <= 80)"
    echo "  server CPU        busy $(secs $fade_srv) s, steady $(secs $steady_srv) s for the" \
        "program; $(secs $player_srv) s for one player ($(ratio $fade_srv $player_srv) x," \
        "$(ratio $steady_srv $player_srv) x)"
    if [[ -n $compare ]]; then
        for w in fade steady; do
            cpu=cmp_${w}_cpu srv=cmp_${w}_srv paced=cmp_${w}_paced
            echo "  compared build, $([[ $w == fade ]] && echo busy || echo steady):" \
                "$(secs ${!cpu}) s CPU ($(ratio "$(secs ${!cpu})" "$floor") x; paced floor" \
                "${!paced} s beside it: $(ratio "$(secs ${!cpu})" "${!paced}") x)," \
                "wake-ups $(wakeups_line cmp_$w), server $(secs ${!srv}) s"
        done
        echo "  compared build, peak RSS $cmp_hwm MB; idle: $(secs $cmp_idle_cpu) s CPU," \
            "wake-ups $(wakeups_line cmp_idle)"
    fi
    echo "  controls          ${controls%;} (ms, in the order measured; target <= 250)"
    for data in "$profile"/"$server"-*.data; do
        [[ -n $profile && -f $data ]] || continue
        echo "  samples of $(basename "$data" .data), by library:"
        perf report -q -i "$data" --no-children --sort dso 2>/dev/null | awk 'NF && $1 + 0 >= 1 \
            {printf "    %-8s %s\n", $1, $2}' | head -8
    done
done
