#!/usr/bin/env bash
# The audio layer's cost against the decoding floor, in instructions counted by callgrind: the
# same on every run, where CPU seconds on a loaded machine are not. Both sides play the six long
# recordings of the busy soundscape for the same seconds of audio:
#   floor: bench/ombrelin_decode_floor, libsndfile decoding each of them, nothing else;
#   layer: bench/ombrelin_loopback_play, the audio layer mixing them on its loopback output,
#          paced like the real output (the loops ruchey3 pticv1 dogd3 dogd_gr, and the one-shots
#          pticp3 pticp10 played again whenever they end).
# Prints the instructions of each and their ratio, the marginal ratio (what one more second of
# audio costs each side: two runs of different lengths, so start-up and the layer's decoding
# ahead of what it plays drop out), the layer's exclusive cost by library, and its top functions
# by exclusive and by inclusive cost. Instructions are not time: one vector instruction does the
# work of four scalar ones, and a rep-prefixed string instruction (libc's memcpy and memset of a
# large block) counts once per byte or word it moves, so those weigh more here than in CPU time.
#
# usage: bench/audio_instructions.sh [BUILD_DIR [PACK_DIR]]
#   BUILD_DIR holds bench/; PACK_DIR the generated samp_povt/ and samp_raz/ (default BUILD_DIR)
# environment: AUDIO_INSTRUCTIONS_SECONDS (default 10; the marginal run adds as many again),
#   AUDIO_INSTRUCTIONS_TOP (default 25): functions listed; AUDIO_INSTRUCTIONS_KEEP: a folder to
#   keep the callgrind files in (for callgrind_annotate or kcachegrind); LOOPBACK_PLAY_RATE
#   (default 44100, PulseAudio's): the output's rate, 48000 for PipeWire's, where the library
#   also resamples each recording of the pack
# needs: valgrind
set -euo pipefail

build=$(realpath "${1:-build}")
pack=$(realpath "${2:-$build}")
seconds=${AUDIO_INSTRUCTIONS_SECONDS:-10}
top=${AUDIO_INSTRUCTIONS_TOP:-25}
floor_bin=$build/bench/ombrelin_decode_floor
layer_bin=$build/bench/ombrelin_loopback_play
for bin in "$floor_bin" "$layer_bin"; do
    [[ -x $bin ]] || { echo "no $bin: build the bench targets" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "missing valgrind" >&2; exit 2; }
loops=() once=()
for f in samp_povt/ruchey3 samp_povt/pticv1 samp_povt/dogd3 samp_povt/dogd_gr; do
    loops+=("$pack/$f")
done
for f in samp_raz/pticp3 samp_raz/pticp10; do once+=("$pack/$f"); done
for f in "${loops[@]}" "${once[@]}"; do
    [[ -f $f ]] || { echo "no $f: generate the sound pack" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"
# The loopback output needs no driver; naming the null one keeps OpenAL from looking for any.
export ALSOFT_DRIVERS=null

# run NAME SECONDS: the side NAME under callgrind; prints its instruction count.
run() {
    local name=$1 secs=$2 out=$work/$1-$2.callgrind
    local cmd=("$floor_bin" "$secs" "${loops[@]}" "${once[@]}")
    [[ $name == layer ]] && cmd=("$layer_bin" "$secs" "${loops[@]}" --once "${once[@]}")
    valgrind --tool=callgrind --callgrind-out-file="$out" "${cmd[@]}" \
        >"$work/$name-$secs.log" 2>&1 || { cat "$work/$name-$secs.log" >&2; exit 1; }
    awk '/^totals:/ { print $2 }' "$out"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
grouped() { printf "%'d" "$1" 2>/dev/null || echo "$1"; }

long=$((2 * seconds))
floor=$(run floor "$seconds")
layer=$(run layer "$seconds")
floor_long=$(run floor "$long")
layer_long=$(run layer "$long")
echo "instructions over $seconds s of audio (6 recordings, output at ${LOOPBACK_PLAY_RATE:-44100} Hz):"
echo "  floor (decoding only)  $(grouped "$floor")"
echo "  audio layer            $(grouped "$layer")"
echo "  ratio                  $(ratio "$layer" "$floor")"
echo "marginal, per $seconds s more ($seconds s -> $long s):"
echo "  floor                  $(grouped $((floor_long - floor)))"
echo "  audio layer            $(grouped $((layer_long - layer)))"
echo "  ratio                  $(ratio $((layer_long - layer)) $((floor_long - floor)))"
grep -h "one-shots" "$work/layer-$long.log" | sed 's/^/  layer over '"$long"' s: /'

profile=$work/layer-$long.callgrind
echo
echo "audio layer over $long s, exclusive cost by library:"
# Every function with its own cost: callgrind_annotate names its object in brackets at its first
# line only, so the lines of a function inlined from other files take the object named there.
callgrind_annotate --auto=no --inclusive=no --threshold=100 "$profile" 2>/dev/null |
    awk -v total="$layer_long" '
        /^ *[0-9,]+ +\(/ && !/PROGRAM TOTALS/ {
            cost = $1; gsub(",", "", cost)
            line = $0; sub(/^ *[0-9,]+ +\( *[0-9.]+%\) +/, "", line)
            object = ""
            if (match(line, / \[[^]]*\]$/)) {
                object = substr(line, RSTART + 2, RLENGTH - 3)
                sub(/.*\//, "", object)
                line = substr(line, 1, RSTART - 1)
            }
            fn = line; sub(/^[^:]*:/, "", fn)
            n++; costs[n] = cost; fns[n] = fn
            if (object != "" && !(fn in objects)) objects[fn] = object
        }
        END {
            for (i = 1; i <= n; i++) {
                o = fns[i] in objects ? objects[fns[i]] : "?"
                by[o] += costs[i]
            }
            for (o in by) {
                if (100 * by[o] / total >= 0.01) printf "%14.0f %6.2f%%  %s\n", by[o], 100 * by[o] / total, o
            }
        }' | sort -rn

for kind in no yes; do
    echo
    [[ $kind == no ]] && echo "top $top functions by exclusive cost:" ||
        echo "top $top functions by inclusive cost:"
    callgrind_annotate --auto=no --inclusive=$kind "$profile" 2>/dev/null |
        awk -v top="$top" '/^ *[0-9,]+ +\(/ && !/PROGRAM TOTALS/ && n++ < top' | cut -c1-150
done

if [[ -n ${AUDIO_INSTRUCTIONS_KEEP:-} ]]; then
    mkdir -p "$AUDIO_INSTRUCTIONS_KEEP"
    cp "$work"/*.callgrind "$AUDIO_INSTRUCTIONS_KEEP"/
    echo
    echo "callgrind files kept in $AUDIO_INSTRUCTIONS_KEEP"
fi
