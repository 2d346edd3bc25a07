#!/usr/bin/env bash
# Writes the fuzz targets' seed inputs (kept in seeds/, rerun only to change them):
#   sound_file/  short recordings of each kind a user may drop in, pack-like Ogg Vorbis among
#                them, and the damaged headers the fault runs use, shrunk to a few kilobytes;
#   settings/    the starting settings, the window's initial state, every line-break kind, hex
#                values, a value out of range, a 24th line and an empty file.
# Needs sox. Usage: make_seeds.sh [OUT]   (OUT defaults to the seeds/ folder beside this script)
set -euo pipefail
out=${1:-$(dirname "$0")/seeds}
snd=$out/sound_file
ini=$out/settings
rm -rf "$snd" "$ini"
mkdir -p "$snd" "$ini"

sox -R -n -r 44100 -c 2 -b 16 -t wav "$snd/pcm16-stereo.wav" synth 0.02 sine 440 vol 0.5
sox -R -n -r 44100 -c 2 -e floating-point -b 32 -t wav "$snd/float-stereo.wav" synth 0.01 sine 330
sox -R -n -r 8000 -c 1 -b 8 -t wav "$snd/u8-mono.wav" synth 0.05 sine 300
sox -R -n -r 48000 -c 6 -b 24 -t wav "$snd/pcm24-6ch.wav" synth 0.004 sine 440
sox -R -n -r 22050 -c 1 -b 16 -t aiff "$snd/pcm16-mono.aiff" synth 0.02 sine 660
sox -R -n -r 44100 -c 2 -b 16 -t flac "$snd/tone.flac" synth 0.05 sine 523
# As the pack's files are: stereo Ogg Vorbis at 44.1 kHz, quality about 0.4.
sox -R -n -r 44100 -c 2 -C 4 -t ogg "$snd/rain-like.ogg" synth 0.1 pinknoise vol 0.3
sox -R -n -r 44100 -c 1 -C 4 -t ogg "$snd/call-like.ogg" synth 0.1 sine 2000-4000

# Damaged WAV headers (offsets in sox's 44-byte PCM header).
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) \
    $((($1 >> 16) & 255)) $((($1 >> 24) & 255)))"; }
le16() { printf "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)))"; }
patch_at() { dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
damaged() { cp "$snd/pcm16-stereo.wav" "$snd/$1.wav"; }
damaged rate-2g && le32 2147483647 | patch_at "$snd/rate-2g.wav" 24
damaged byte-rate-2g && le32 2147483647 | patch_at "$snd/byte-rate-2g.wav" 28
damaged channels-1000 && le16 1000 | patch_at "$snd/channels-1000.wav" 22 &&
    le16 2000 | patch_at "$snd/channels-1000.wav" 32
damaged block-64k && le16 65535 | patch_at "$snd/block-64k.wav" 32
damaged data-4g && le32 4294967295 | patch_at "$snd/data-4g.wav" 40
# Not-a-number and infinity over the first samples (the float header is longer: find its data).
data_of() { echo $(($(head -c 200 "$1" | grep -obUaP 'data' | head -1 | cut -d: -f1) + 8)); }
cp "$snd/float-stereo.wav" "$snd/float-nan.wav"
for _ in $(seq 100); do printf '\x00\x00\xc0\x7f\x00\x00\x80\x7f'; done |
    patch_at "$snd/float-nan.wav" "$(data_of "$snd/float-nan.wav")"
head -c 1500 "$snd/rain-like.ogg" >"$snd/truncated.ogg"

lines() { local eol=$1; shift; for v in "$@"; do printf "%s$eol" "$v"; done; }
lines '\r\n' 1 8 1 1 6 1 1 8 1 0 8 2 0 8 2 0 10 0 0 1 0 50 1 >"$ini/starting.ini"
lines '\r\n' 0 5 1 0 5 1 0 5 1 0 5 2 0 5 2 0 5 0 0 1 0 0 1 >"$ini/initial.ini"
lines '\n' 1 10 2 1 10 2 1 10 2 1 10 4 1 10 4 1 10 1 1 3 2 100 1 >"$ini/all-on-lf.ini"
lines '\r' 1 0 1 1 0 1 1 0 1 1 0 0 1 0 0 1 0 1 1 0 3 0 0 >"$ini/all-low-cr.ini"
lines '\r\n' 1 '$A' 1 1 x5 2 ' 1' 0X0a 1 0 +3 2 0 5 2 0 5 0 0 1 0 -0 1 >"$ini/hex-and-signs.ini"
lines '\r\n' 1 8 1 1 6 1 1 8 1 0 8 9 0 8 2 0 10 0 0 1 0 50 1 >"$ini/out-of-range.ini"
lines '\r\n' 1 8 1 1 6 1 1 8 1 0 8 2 0 8 2 0 10 0 0 1 0 50 1 7 >"$ini/24-lines.ini"
lines '\r\n' 1 8 1 1 6 >"$ini/short.ini"
: >"$ini/empty.ini"
