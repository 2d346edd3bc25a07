#!/usr/bin/env bash
# The test suite again in checked builds, each in a folder of its own beside build/:
#   asan  build-asan: everything with AddressSanitizer (leaks included) and
#         UndefinedBehaviorSanitizer, and the whole suite run in it
#   tsan  build-tsan: the audio backends with ThreadSanitizer, and their tests
#   fuzz  build-fuzz: the libFuzzer targets (clang-14), each run for FUZZ_SECONDS (default 60)
#         from its seeds and kept regressions
# Any finding fails the run. Usage: scripts/sanitize.sh [asan|tsan|fuzz]...  (default: all);
# ASAN_TESTS=REGEX runs only the matching tests in the asan stage.
# A fuzzer's crash is left in build-fuzz/crashes/; kept as a regression it becomes part of the
# ordinary fuzz.NAME test:  cp build-fuzz/crashes/NAME-crash-* tests/fuzz/regressions/NAME/
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(asan fuzz tsan)

# Findings stop the process with a report; the suppressions cover system libraries only (each
# entry says why).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:exitcode=86:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/sanitizers/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:exitcode=86:second_deadlock_stack=1:suppressions=$root/scripts/sanitizers/tsan.supp"

configure() {  # configure DIR CMAKE-ARGS...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRELIN_BUILD_TESTS=ON \
        -DOMBRELIN_BUILD_SOUNDPACK=OFF "$@" >/dev/null
}

stage() { echo "== sanitize: $1 ($(date -u +%H:%M:%S))"; }

for s in "${stages[@]}"; do
    case $s in
    asan)
        stage "AddressSanitizer + UndefinedBehaviorSanitizer, the whole suite"
        configure build-asan -DOMBRELIN_SANITIZE=address,undefined
        cmake --build build-asan
        # The source checks (format, layering) read files only; the sound pack is not built here.
        # Every report goes to a file of its own, so that one from a program an end-to-end script
        # started is shown too. A test that failed is run once more (the end-to-end waits are
        # tight for a program this much slower), but any report at all fails the stage.
        reports=$root/build-asan/sanitizer-reports
        rm -rf "$reports" && mkdir -p "$reports"
        status=0
        # On Wayland, Qt sets up EGL, which loads Mesa's software driver (swrast_dri.so) and
        # unloads it again at exit: the 128 bytes it leaks then belong to no module any more, so
        # no suppression can name them. The window draws through shared memory either way, so
        # here the program on Wayland is given no driver to load (the compositors that need one,
        # and the plain test run, keep it).
        WAYLAND_TEST_PROGRAM_ENV=LIBGL_DRIVERS_PATH=/nonexistent \
            ASAN_OPTIONS="$ASAN_OPTIONS:log_path=$reports/asan" \
            UBSAN_OPTIONS="$UBSAN_OPTIONS:log_path=$reports/ubsan" \
            ctest --test-dir build-asan --output-on-failure -j2 -LE endurance -R "${ASAN_TESTS:-.}" \
            -E '^(format|layering)$' --repeat until-pass:2 || status=$?
        if [ -n "$(ls -A "$reports")" ]; then
            for f in "$reports"/*; do echo "--- $f"; head -n 100 "$f"; done
            echo "sanitize: findings under AddressSanitizer or UndefinedBehaviorSanitizer"
            exit 1
        fi
        [ $status -eq 0 ] || exit $status
        ;;
    tsan)
        stage "ThreadSanitizer, the audio backends"
        configure build-tsan -DOMBRELIN_SANITIZE=thread
        cmake --build build-tsan --target audio_tests volume_tests
        ctest --test-dir build-tsan --output-on-failure -j2 -R '^(audio\.|PulseVolume)'
        ;;
    fuzz)
        stage "libFuzzer, ${FUZZ_SECONDS:-60} s a target"
        configure build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DOMBRELIN_BUILD_FUZZERS=ON \
            -DOMBRELIN_SANITIZE=address,undefined,fuzzer-no-link
        cmake --build build-fuzz --target sound_file_fuzzer settings_fuzzer
        mkdir -p build-fuzz/crashes
        for target in sound_file settings; do
            # New inputs go to a corpus of the build's own; the seeds in the tree stay as they are.
            corpus=build-fuzz/corpus/$target
            mkdir -p "$corpus"
            inputs=("$corpus" tests/fuzz/seeds/$target)
            [ -d tests/fuzz/regressions/$target ] && inputs+=(tests/fuzz/regressions/$target)
            dict=()
            [ -f tests/fuzz/$target.dict ] && dict=(-dict=tests/fuzz/$target.dict)
            log=build-fuzz/$target-fuzz.log
            if ! build-fuzz/tests/fuzz/${target}_fuzzer -max_total_time="${FUZZ_SECONDS:-60}" \
                -timeout=30 -rss_limit_mb=1024 -malloc_limit_mb=512 -print_final_stats=1 \
                -artifact_prefix=build-fuzz/crashes/$target- "${dict[@]}" "${inputs[@]}" >"$log" 2>&1; then
                tail -n 80 "$log"
                echo "sanitize: the $target fuzzer stopped on a finding: build-fuzz/crashes/$target-*"
                exit 1
            fi
            grep -E '^(INFO: seed corpus|#[0-9]+.*DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb|new_units_added))' "$log" |
                sed "s/^/$target: /"
        done
        ;;
    *)
        echo "usage: $0 [asan|tsan|fuzz]..." >&2
        exit 2
        ;;
    esac
done
stage done
