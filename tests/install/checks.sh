# Probes shared by the install tests; source after tests/e2e/services.sh.

# The main window is up and no message box is: every visible Ombrelin window is the main one.
window_without_message() {
    wait_for 15 main_window >/dev/null || return 1
    sleep 1
    [ "$(xdotool search --onlyvisible --name '^Ombrelin$' | wc -l)" = 1 ]
}

# Something plays on the sink: the null sink's silence is exactly 0, and the quiet levels of a
# first start (moderate layers, a master of 30 or 50) stay below the e2e tests' louder threshold.
plays() {
    local rms
    rms=$(rms_of_sink)
    echo "RMS $rms"
    awk "BEGIN {exit !(${rms:-0} > 0.0003)}"
}

closes() {  # SIGTERM runs the close path and the program ends with 0
    kill -TERM "$app_pid"
    exit_code=
    wait_for 15 ended "$app_pid" && [ "$exit_code" = 0 ]
}
