#!/usr/bin/env bash
# The real program under faults from outside: damaged or unreadable recordings, the sound server
# killed and restarted or hung, the default sink switched while playing, and two copies started
# at once.
# Usage: faults.sh PATH/TO/Ombrelin CASE
#   CASE: bad-recordings | damaged-headers | server-restart | server-restart-idle |
#         server-hung-close | server-hung-start | sink-change | two-starts | session-ends
set -uo pipefail
binary=$1
case_name=$2
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/services.sh"
svc_init "faults-$case_name"

# CPU share of one core a healthy program stays well under, even while a fault repeats.
readonly kMaxCpu=0.5

# A portable program folder with a recording of every name the layers open: loops of a few
# seconds, one-shots of one second, each a plain tone.
make_program_folder() {
    prog=$work/prog
    mkdir -p "$prog"
    cp "$binary" "$prog/Ombrelin"
    fill_with_tones "$prog" 4 1 1
}

start_program() {  # start_program [COMMAND PREFIX...]: runs the program, sets app_pid
    "$@" "$prog/Ombrelin" >"$work/prog.log" 2>&1 &
    app_pid=$!
    track $app_pid
}

# Starts the program with every layer on, waits for its window and calls the rain at once.
start_with_every_layer() {
    all_layers_on "$prog/n_p_d.ini"
    start_program "$@"
    wait_for 15 main_window >/dev/null || return 1
    click_in_window "$(main_window)" 75 315  # "Дождя!"
}

# Responsive: a click on the brook's switch is taken, and SIGTERM runs the close path, which
# saves that change.
responsive_and_closes() {
    click_in_window "$(main_window)" 19 34
    sleep 0.5
    kill -TERM "$app_pid"
    exit_code=
    wait_for 15 ended "$app_pid" && [ "$exit_code" = 0 ] &&
        [ "$(head -1 "$prog/n_p_d.ini" | tr -d '\r')" = 0 ]
}

below_max_cpu() { awk "BEGIN {exit !($1 < $kMaxCpu)}"; }

# Every stream on the server (the program's is the only one) plays on the sink named $1.
streams_on() {
    local index
    index=$(pactl list sinks short | awk -v n="$1" '$2 == n {print $1}')
    [ -n "$index" ] && pactl list sink-inputs short |
        awk -v i="$index" '{n++; if ($2 != i) off = 1} END {exit off || !n}'
}

# Resident memory a healthy program stays well under with every layer playing, whatever its
# recordings' headers claim (a stream's buffers are a few MB at most).
readonly kMaxRssKb=$((400 * 1024))
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null; }
below_max_rss() { local r; r=$(rss_kb "$app_pid"); [ -n "$r" ] && [ "$r" -lt $kMaxRssKb ]; }

le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255)))"; }
le16() { printf "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)))"; }
patch_at() { dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }  # patch_at FILE OFFSET <BYTES

case $case_name in
bad-recordings)
    make_program_folder
    # Every kind of bad file in place of recordings; the brook's loop and some one-shots stay
    # good, so the layers have something to play between the failures.
    : >"$work/empty"
    head -c 65536 /dev/urandom >"$work/random"
    sox -n -r 44100 -c 2 -t ogg "$work/full.ogg" synth 3 sine 523
    head -c "$(($(stat -c %s "$work/full.ogg") / 2))" "$work/full.ogg" >"$work/truncated.ogg"
    sox -n -r 44100 -c 2 -t flac "$work/full.flac" synth 3 sine 523
    head -c "$(($(stat -c %s "$work/full.flac") / 3))" "$work/full.flac" >"$work/truncated.flac"
    # A WAV whose data runs 200 MB (twenty minutes), most of it a hole of zeros.
    huge=$work/huge.wav
    sox -n -r 44100 -c 2 -b 16 -t wav "$huge" synth 2 sine 330
    truncate -s 200M "$huge"
    size=$(stat -c %s "$huge")
    data_at=$(($(head -c 200 "$huge" | grep -obUaP 'data' | head -1 | cut -d: -f1)))
    le32 $((size - 8)) | dd of="$huge" bs=1 seek=4 conv=notrunc status=none
    le32 $((size - data_at - 8)) | dd of="$huge" bs=1 seek=$((data_at + 4)) conv=notrunc status=none
    put() {  # put KIND FILE: a bad file of that kind at FILE
        rm -rf "$2"
        case $1 in
        missing) ;;
        empty) cp "$work/empty" "$2" ;;
        random) cp "$work/random" "$2" ;;
        truncated-ogg) cp "$work/truncated.ogg" "$2" ;;
        truncated-flac) cp "$work/truncated.flac" "$2" ;;
        huge-wav) cp --sparse=always "$huge" "$2" ;;
        huge-zeros) truncate -s 200M "$2" ;;
        directory) mkdir "$2" ;;
        unreadable) cp "$work/shot.wav" "$2" && chmod 000 "$2" ;;
        esac
    }
    kinds=(missing empty random truncated-ogg truncated-flac huge-wav huge-zeros directory unreadable)
    put missing "$prog/samp_povt/pticv1"    # distant birds
    put huge-wav "$prog/samp_povt/dogd3"    # the rain's loop
    put random "$prog/samp_povt/dogd_gr"    # the thunder's loop
    put directory "$prog/samp_raz/dogd2"
    put empty "$prog/samp_raz/dogd_gr3"
    # Songbirds, insects and extra birds: all but one or two of each are bad, every kind in each.
    for i in "${!kinds[@]}"; do
        put "${kinds[$i]}" "$prog/samp_raz/pticp$((i + 1))"
        put "${kinds[$i]}" "$prog/samp_raz/pticd$((i + 1))"
        [ $i -lt 7 ] && put "${kinds[$i]}" "$prog/samp_raz/nas$((i + 1))"
    done

    # A file mode of 000 stops everyone but root: run the program as nobody when root.
    as_user=()
    run_uid=$(id -u)
    if [ "$(id -u)" = 0 ]; then
        run_uid=65534
        chown 65534 "$prog"  # the close path saves the settings beside the program
        mkdir -p "$work/nobody/runtime" && chown -R 65534:65534 "$work/nobody"
        chmod 700 "$work/nobody/runtime"
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/nobody"
            XDG_RUNTIME_DIR="$work/nobody/runtime" PULSE_SERVER="unix:$work/pulse.sock")
        pulse_extra=(--load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1")
        echo "running the program as nobody, so the file of mode 000 is unreadable to it"
    else
        pulse_extra=()
    fi
    need_pulse "${pulse_extra[@]}"
    need_x

    check "window shown with every layer on and bad recordings" start_with_every_layer "${as_user[@]}"
    sleep 2
    cpu=$(cpu_of 10 "$app_pid")
    check "no busy loop over 10 s while the bad files keep coming up (CPU $cpu)" below_max_cpu "$cpu"
    check "still running" kill -0 "$app_pid"
    check "runs as the user given" [ "$(stat -c %u "/proc/$app_pid")" = "$run_uid" ]
    check "the rain streams its 200 MB recording" bash -c "ls -l /proc/$app_pid/fd | grep -q samp_povt/dogd3"
    check "the good brook heard on the sink (RMS $(rms_of_sink))" heard
    # The twelve-minute rains: with thunder it opens the empty dogd_gr3, without it the folder
    # dogd2. The program's file look-ups are watched to be sure each bad file was reached.
    strace -p "$app_pid" -qq -e trace=%file -o "$work/files.trace" 2>/dev/null &
    strace_pid=$!
    track $strace_pid
    sleep 1
    click_in_window "$(main_window)" 162 313  # "12 мин": ends the running rain
    click_in_window "$(main_window)" 75 315   # "Дождя!", with thunder
    sleep 2
    click_in_window "$(main_window)" 279 272  # "с грозой" off: ends that rain
    click_in_window "$(main_window)" 75 315   # "Дождя!", without thunder
    sleep 2
    kill "$strace_pid" 2>/dev/null
    wait "$strace_pid" 2>/dev/null
    check "twelve-minute rain with thunder tried the empty samp_raz/dogd_gr3" grep -q 'samp_raz/dogd_gr3"' "$work/files.trace"
    check "twelve-minute rain tried the folder samp_raz/dogd2" grep -q 'samp_raz/dogd2"' "$work/files.trace"
    check "still running after the bad twelve-minute rains" kill -0 "$app_pid"
    check "responsive: a click is taken and SIGTERM saves it and ends with 0" responsive_and_closes
    ;;

damaged-headers)
    # Headers that claim what no recording has, and float samples that are not sound, in both
    # folders; the distant birds' loop and a few one-shots stay good, so the mix goes on.
    make_program_folder
    # One second of 16-bit stereo: the 176 kB of the damaged brook that once hung the start-up.
    sox -n -r 44100 -c 2 -b 16 -t wav "$work/pcm.wav" synth 1 sine 330 vol 0.5
    sox -n -r 44100 -c 2 -e floating-point -b 32 -t wav "$work/float.wav" synth 1 sine 330 vol 0.5
    data_of() { echo $(($(head -c 200 "$1" | grep -obUaP 'data' | head -1 | cut -d: -f1) + 8)); }
    damage() {  # damage KIND FILE
        case $1 in
        rate-2g) cp "$work/pcm.wav" "$2" && le32 2147483647 | patch_at "$2" 24 ;;
        rate-1) cp "$work/pcm.wav" "$2" && le32 1 | patch_at "$2" 24 ;;
        byte-rate-2g) cp "$work/pcm.wav" "$2" && le32 2147483647 | patch_at "$2" 28 ;;
        channels-1000) cp "$work/pcm.wav" "$2" && le16 1000 | patch_at "$2" 22 &&
            le16 2000 | patch_at "$2" 32 ;;
        block-64k) cp "$work/pcm.wav" "$2" && le16 65535 | patch_at "$2" 32 ;;
        data-4g) cp "$work/pcm.wav" "$2" && le32 4294967295 | patch_at "$2" $(($(data_of "$2") - 4)) ;;
        float-nan) cp "$work/float.wav" "$2" &&
            head -c 100000 /dev/zero | tr '\0' '\377' | patch_at "$2" "$(data_of "$2")" ;;
        float-huge) cp "$work/float.wav" "$2" &&
            for _ in $(seq 2000); do printf '\xff\xff\x7f\x7f\xff\xff\x7f\xff'; done |
            patch_at "$2" "$(data_of "$2")" ;;
        esac
    }
    kinds=(rate-2g rate-1 byte-rate-2g channels-1000 block-64k data-4g float-nan float-huge)
    damage rate-2g "$prog/samp_povt/ruchey3"  # the brook
    damage float-nan "$prog/samp_povt/ruchey4"
    damage float-huge "$prog/samp_povt/dogd3"
    damage channels-1000 "$prog/samp_povt/dogd_gr"
    for i in "${!kinds[@]}"; do
        damage "${kinds[$i]}" "$prog/samp_raz/pticp$((i + 1))"
        damage "${kinds[$i]}" "$prog/samp_raz/pticd$((i + 1))"
        [ $i -lt 7 ] && damage "${kinds[$i]}" "$prog/samp_raz/nas$((i + 1))"
    done
    need_pulse
    need_x
    check "window shown with every layer on and damaged headers" start_with_every_layer
    sleep 2
    check "memory under $((kMaxRssKb / 1024)) MB ($(($(rss_kb "$app_pid") / 1024)) MB)" below_max_rss
    cpu=$(cpu_of 6 "$app_pid")
    check "no busy loop over the damaged files (CPU $cpu)" below_max_cpu "$cpu"
    check "memory still under $((kMaxRssKb / 1024)) MB ($(($(rss_kb "$app_pid") / 1024)) MB)" below_max_rss
    check "the good distant birds heard on the sink (RMS $(rms_of_sink))" heard
    check "every output sample a number within full scale" bash -c "
        parec --raw --format=float32le --channels=2 -d test.monitor 2>/dev/null |
        head -c 352800 | od -An -v -f -w4 |
        awk '{v = \$1 + 0; if (\$1 !~ /^-?[0-9.e+-]+\$/ || v > 1.0001 || v < -1.0001) bad++}
             END {exit bad > 0}'"
    check "responsive: a click is taken and SIGTERM saves it and ends with 0" responsive_and_closes
    ;;

server-restart)
    make_program_folder
    need_pulse
    need_x
    check "window shown with every layer on" start_with_every_layer
    check "heard before the server goes" wait_for 5 heard
    stop_pulse KILL
    cpu=$(cpu_of 4 "$app_pid")
    check "no busy loop while the server is gone (CPU $cpu)" below_max_cpu "$cpu"
    check "still running without a server" kill -0 "$app_pid"
    need_pulse
    restarted_at=$SECONDS
    check "sound back on the restarted server's sink" wait_for 15 heard
    echo "sound came back $((SECONDS - restarted_at)) s after the server (whole seconds)"
    cpu=$(cpu_of 4 "$app_pid")
    check "CPU low after the server came back (CPU $cpu)" below_max_cpu "$cpu"
    check "responsive afterwards" responsive_and_closes
    ;;

server-restart-idle)
    # With every layer off the output is paused; a server that goes and comes back meanwhile must
    # not keep the first layer switched on afterwards from being heard.
    make_program_folder
    need_pulse
    need_x
    start_wm
    all_layers_off "$prog/n_p_d.ini"
    start_program
    check "window shown with every layer off" wait_for 15 main_window
    sleep 1
    cpu=$(cpu_of 4 "$app_pid")
    check "no busy loop with every layer off (CPU $cpu)" below_max_cpu "$cpu"
    # The pause itself: the program's stream to the server is corked, so nothing is mixed.
    check "the output is paused while nothing plays" bash -c "pactl list sink-inputs | grep -q 'Corked: yes' && ! pactl list sink-inputs | grep -q 'Corked: no'"
    stop_pulse KILL
    sleep 2
    need_pulse
    click_in_window "$(main_window)" 19 34  # "Ручей"
    check "the brook heard after the restart" wait_for 15 heard
    ;;

server-hung-close)
    # The sound server stops answering without going away (SIGSTOP): nothing the audio layer
    # calls into it returns. SIGTERM must still save the settings and end the program.
    make_program_folder
    need_pulse
    need_x
    check "window shown with every layer on" start_with_every_layer
    check "heard before the server hangs" wait_for 5 heard
    click_in_window "$(main_window)" 19 34  # the brook off: a change only the save keeps
    sleep 0.5
    kill -STOP "$pa_pid"
    sleep 2
    kill -TERM "$app_pid"
    exit_code=
    started=$SECONDS
    check "SIGTERM ends the program within 8 s while the server hangs" wait_for 8 ended "$app_pid"
    echo "ended $((SECONDS - started)) s after SIGTERM (whole seconds), exit code $exit_code"
    check "exit code 0" [ "$exit_code" = 0 ]
    check "the settings were saved" [ "$(head -1 "$prog/n_p_d.ini" | tr -d '\r')" = 0 ]
    kill -CONT "$pa_pid"
    ;;

server-hung-start)
    # The sound server is there but has stopped answering (SIGSTOP) before the program starts:
    # the start must not wait on it, and the program runs silent, taking clicks, until SIGTERM
    # saves the settings and ends it, the server still hung.
    make_program_folder
    need_pulse
    need_x
    kill -STOP "$pa_pid"
    started=$SECONDS
    check "window shown with every layer on while the server hangs" start_with_every_layer
    echo "window shown $((SECONDS - started)) s after the start (whole seconds)"
    cpu=$(cpu_of 4 "$app_pid")
    check "no busy loop while the server hangs (CPU $cpu)" below_max_cpu "$cpu"
    started=$SECONDS
    check "responsive: a click is taken and SIGTERM saves it and ends with 0" responsive_and_closes
    echo "ended $((SECONDS - started)) s after the click (whole seconds)"
    kill -CONT "$pa_pid"
    ;;

sink-change)
    make_program_folder
    need_pulse
    need_x
    check "window shown with every layer on" start_with_every_layer
    check "heard on the first sink" wait_for 5 heard
    pactl load-module module-null-sink sink_name=other >/dev/null
    pactl set-default-sink other
    # The server moves a stream with no sink of its own as the default changes. Whether it did
    # is read from the server; whether it is heard there is the probe that a loaded machine
    # slows (each listen of the monitor has to start a recorder), so it gets the longer wait.
    check "the program's stream moved to the new default output" wait_for 10 streams_on other
    on_test=no on_other=no
    wait_for 20 heard other && on_other=yes
    check "still running after the default sink changed" kill -0 "$app_pid"
    heard test && on_test=yes
    echo "after the switch: heard on the first sink: $on_test, on the new default: $on_other"
    check "sound follows the new default output" [ "$on_other" = yes ]
    [ "$on_other" = yes ] || pactl list sink-inputs short
    check "responsive afterwards" responsive_and_closes
    ;;

two-starts)
    # No display and no sound server are needed to decide who runs: the window goes to the
    # offscreen platform and the sound to OpenAL's silent device.
    make_program_folder
    all_layers_off "$prog/n_p_d.ini"
    export QT_QPA_PLATFORM=offscreen ALSOFT_DRIVERS=null PULSE_SERVER=unix:/nonexistent
    one_round() {
        rm -f "$work/go" && mkfifo "$work/go"
        # Both wait on the same pipe and are let go by one write of two lines.
        exec 6<>"$work/go"
        (exec 6>&-; read -r _ <"$work/go"; exec "$prog/Ombrelin") >/dev/null 2>&1 &
        local first=$!
        (exec 6>&-; read -r _ <"$work/go"; exec "$prog/Ombrelin") >/dev/null 2>&1 &
        local second=$!
        track $first $second
        sleep 0.3
        printf 'go\ngo\n' >&6
        exec 6>&-
        local loser= survivor=
        if ! wait_for 15 bash -c "! kill -0 $first 2>/dev/null || ! kill -0 $second 2>/dev/null"; then
            echo "neither copy ended"
            return 1
        fi
        if kill -0 $first 2>/dev/null; then loser=$second survivor=$first; else loser=$first survivor=$second; fi
        ended $loser
        [ "$exit_code" = 0 ] || { echo "the second copy exited with $exit_code"; return 1; }
        sleep 1
        kill -0 $survivor || { echo "no copy survived"; return 1; }
        kill -TERM $survivor
        wait_for 15 ended $survivor && [ "$exit_code" = 0 ]
    }
    for round in 1 2 3 4 5; do
        check "two starts at once, round $round: one runs, the other exits 0" one_round
    done
    ;;

session-ends)
    # Each way a session ends a program runs the close path: the settings are saved and the
    # program exits 0. Offscreen window and silent sound device, as for two-starts.
    make_program_folder
    export QT_QPA_PLATFORM=offscreen ALSOFT_DRIVERS=null PULSE_SERVER=unix:/nonexistent
    ended_by() {  # ended_by SIGNAL [COMMAND PREFIX...]
        local sig=$1
        shift
        all_layers_off "$prog/n_p_d.ini"
        start_program "$@"
        # Started once it holds its single-instance lock; the settings are read right after.
        wait_for 10 bash -c "ls -l /proc/$app_pid/fd 2>/dev/null | grep -q '\.lock'" || return 1
        sleep 1
        rm -f "$prog/n_p_d.ini"
        kill "-$sig" "$app_pid"
        exit_code=
        wait_for 15 ended "$app_pid" && [ "$exit_code" = 0 ] &&
            [ "$(grep -c $'\r$' "$prog/n_p_d.ini" 2>/dev/null)" = 23 ]
    }
    # A user's own OpenAL configuration is left alone: the program writes none of its own then.
    printf '[general]\n' >"$work/user-openal.conf"
    openal_files() { ls "$XDG_RUNTIME_DIR" | grep -qi openal; }
    export -f openal_files
    check "with ALSOFT_CONF set: SIGTERM ends it with 0" ended_by TERM env ALSOFT_CONF="$work/user-openal.conf"
    check "with ALSOFT_CONF set: no configuration of its own written" bash -c "! openal_files"
    check "with ALSOFT_CONF set: the user's file untouched" [ "$(cat "$work/user-openal.conf")" = "[general]" ]
    for sig in TERM INT HUP; do
        check "SIG$sig saves the settings and ends with 0" ended_by $sig
    done
    check "without ALSOFT_CONF its own configuration is written" openal_files
    # Without a runtime folder the configuration goes to a fresh folder in /tmp, and the close
    # removes it. The program gets a /tmp of its own (bind mounts in a private mount namespace,
    # with this run's folder still at its place in it), so what it leaves there is told apart
    # from what other programs do.
    own_tmp=$work/tmp
    mkdir -p "$own_tmp/${work#/tmp/}" && chmod 1777 "$own_tmp"
    userns=()
    [ "$(id -u)" = 0 ] || userns=(-r)
    all_layers_off "$prog/n_p_d.ini"
    start_program unshare "${userns[@]}" -m sh -c 'mount --make-rprivate / &&
        mount --bind "$0" "$1/${0#/tmp/}" && mount --rbind "$1" /tmp && shift &&
        exec env -u XDG_RUNTIME_DIR "$@"' "$work" "$own_tmp"
    check "without a runtime folder: its configuration in a folder of its own in /tmp" \
        wait_for 10 bash -c "ls $own_tmp/ombrelin-openal-*/ombrelin-*-openal.conf >/dev/null 2>&1"
    sleep 1
    kill -TERM "$app_pid"
    exit_code=
    check "without a runtime folder: SIGTERM ends it with 0" wait_for 15 ended "$app_pid"
    check "without a runtime folder: exit code 0 ($exit_code)" [ "$exit_code" = 0 ]
    check "without a runtime folder: that folder removed at the close" \
        bash -c "! ls -d $own_tmp/ombrelin-openal-* 2>/dev/null"
    ;;

*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

[ $failures -eq 0 ] || { echo "--- program output"; tail -20 "$work/prog.log" 2>/dev/null; }
echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
