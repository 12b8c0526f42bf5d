#!/usr/bin/env bash
# Builds a disc image of about ten minutes of real music for the pipeline benchmark: the songs of
# Debian's hyperrogue-music package (freely licensed game music, Ogg Vorbis), decoded to 44.1 kHz
# stereo 16-bit PCM, one track per song, each padded to whole CD sectors, in one BIN with a CUE
# sheet. Usage: make-music-disc.sh [OUTPUT_DIR]   (default build/bench-music)
set -euo pipefail
out=${1:-build/bench-music}
minimum_seconds=${MUSIC_SECONDS:-600}

need=()
for p in hyperrogue-music sox libsox-fmt-all; do
  [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" == "install ok installed" ]] || need+=("$p")
done
if ((${#need[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

mkdir -p "$out"
bin="$out/disc.bin"
cue="$out/disc.cue"
: > "$bin"
echo "FILE \"disc.bin\" BINARY" > "$cue"
total=0
track=0
for song in $(dpkg -L hyperrogue-music | grep -E '\.ogg$' | sort); do
  raw="$out/song.raw"
  sox -q "$song" -t raw -r 44100 -c 2 -b 16 -e signed-integer -L "$raw"
  bytes=$(stat -c %s "$raw")
  pad=$(( (2352 - bytes % 2352) % 2352 ))
  start=$(( $(stat -c %s "$bin") / 2352 ))
  cat "$raw" >> "$bin"
  head -c "$pad" /dev/zero >> "$bin"
  rm -f "$raw"
  track=$((track + 1))
  printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n' "$track" \
    $((start / 4500)) $((start / 75 % 60)) $((start % 75)) >> "$cue"
  total=$(( $(stat -c %s "$bin") / 176400 ))
  (( total >= minimum_seconds || track >= 99 )) && break
done
echo "music disc: $track tracks, $total s in $cue"
