#!/usr/bin/env bash
# Half an hour of the real program in real time with every layer on, a rain called at once and
# later ones on schedule, to a PulseAudio null sink under Xvfb: it must keep running and keep
# playing, and its resident memory must not creep — after the first minute (buffers, fonts and
# caches settled) what it holds at the end (the least of the last three samples) may be less
# than 2 MB above what it held then. Meanwhile it may hold more for a while: a rain episode's
# recordings stream through buffers of their own (about 1.4 MB each), given back when it ends;
# a peak more than 8 MB above is a runaway. Samples VmRSS every 10 s.
# Usage: endurance_test.sh PATH/TO/Ombrelin
# Environment: ENDURANCE_SECONDS (default 1800) shortens the run for a quick look.
set -uo pipefail
binary=$(realpath "$1")
seconds=${ENDURANCE_SECONDS:-1800}
readonly kSettleSeconds=60 kSampleSeconds=10 kMaxGrowthKb=2048 kMaxPeakKb=8192
source "$(dirname "${BASH_SOURCE[0]}")/services.sh"
svc_init endurance

prog=$work/prog
mkdir -p "$prog"
cp "$binary" "$prog/Ombrelin"
# The sound pack built beside the program when there is one, else a tone for every recording.
pack=$(dirname "$binary")
if [ -d "$pack/samp_povt" ] && [ -d "$pack/samp_raz" ]; then
    ln -s "$pack/samp_povt" "$pack/samp_raz" "$prog/"
    echo "recordings: the sound pack in $pack"
else
    fill_with_tones "$prog" 30 3 2
    echo "recordings: tones (no sound pack beside the program)"
fi

need_pulse
need_x
all_layers_on "$prog/n_p_d.ini"
"$prog/Ombrelin" >"$work/prog.log" 2>&1 &
app_pid=$!
track $app_pid
check "window shown with every layer on" wait_for 15 main_window
click_in_window "$(main_window)" 75 315  # "Дождя!"

rss() { awk '/VmRSS/ {print $2}' "/proc/$app_pid/status" 2>/dev/null; }
sleep $kSettleSeconds
base=$(rss)
peak=$base
last=()
alive=yes
start=$SECONDS
echo "after ${kSettleSeconds} s: VmRSS $base kB; running for $seconds s"
while [ $((SECONDS - start)) -lt $((seconds - kSettleSeconds)) ]; do
    sleep $kSampleSeconds
    now=$(rss)
    [ -z "$now" ] && { alive=no; break; }
    [ "$now" -gt "$peak" ] && peak=$now
    last=("${last[@]: -2}" "$now")
    echo "$((SECONDS - start + kSettleSeconds)) s: VmRSS $now kB"
done

check "still running at the end" [ $alive = yes ]
# The sound pack's rain and brook at half the master level sit near RMS 0.005; silence is 0.
heard_min=0.0005
check "still playing at the end (RMS $(rms_of_sink))" wait_for 5 heard
end=$(printf '%s\n' "${last[@]:-$base}" | sort -n | head -1)
check "VmRSS growth after the first minute, at the end $((end - base)) kB (limit $kMaxGrowthKb)" \
    [ $((end - base)) -lt $kMaxGrowthKb ]
check "VmRSS peak after the first minute $((peak - base)) kB above (limit $kMaxPeakKb)" \
    [ $((peak - base)) -lt $kMaxPeakKb ]
kill -TERM "$app_pid"
exit_code=
check "closes at the end" wait_for 15 ended "$app_pid"
check "exit code 0" [ "$exit_code" = 0 ]
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
