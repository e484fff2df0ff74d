#!/usr/bin/env bash
# A whole-disc rip through `qomhost rip` against `lame -b 112` on the same
# audio as one WAVE file, alternating (rip, lame, rip, lame, ...), and the
# peak memory of the rip. Goal: CPU ratio rip/lame at most 1.02.
#
#   bench/rip_pipeline.sh BUILD_DIR [MINUTES] [ROUNDS]
#
# MINUTES (default 74) of music-like audio are made with mkdisc as a CUE/BIN
# image of 16 tracks in a temporary folder, offered by cdr.dll as an image
# drive; the rip uses the default format (lame.dll, 112 kbit/s) with no
# lookup. CPU is user + system of the whole process (GNU time); wall clock is
# printed too. The rip's figure includes everything: loading the component,
# the drive poll, the reader thread, the encoder, the tags and the finished
# close (fsync and rename) of each of its 16 files.
set -euo pipefail
build=${1:?usage: bench/rip_pipeline.sh BUILD_DIR [MINUTES] [ROUNDS]}
minutes=${2:-74}
rounds=${3:-2}
bin=$(cd "$build/bin" && pwd)
for tool in lame ffmpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "rip_pipeline: $tool is missing (scripts/setup)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 16 tracks, each chords over a little noise with a quiet passage: content
# that keeps the encoder as busy as music does.
seconds=$((minutes * 60 / 16))
{
  echo '{"artist": "Bench", "album": "Pipeline", "tracks": ['
  for t in $(seq 1 16); do
    base=$((110 + t * 17))
    [ "$t" -gt 1 ] && echo ','
    cat <<JSON
  {"title": "Track $t", "sections": [
    {"kind": "tone", "frequencies": [$base, $((base * 5 / 4)), $((base * 3 / 2)), $((base * 2))], "amplitude": 0.5, "seconds": $((seconds / 2)), "dither": 64},
    {"kind": "noise", "amplitude": 0.05, "seconds": $((seconds / 8))},
    {"kind": "tone", "frequencies": [$((base * 3)), $((base * 4))], "amplitude": 0.3, "seconds": $((seconds - seconds / 2 - seconds / 8)), "dither": 16}]}
JSON
  done
  echo ']}'
} > "$work/disc.json"
"$bin/mkdisc" "$work/disc.json" --out "$work/disc" --name disc >/dev/null
ffmpeg -loglevel error -f s16le -ar 44100 -ac 2 -i "$work/disc/disc.bin" -y "$work/disc.wav"
echo "{\"drives\": [{\"type\": \"image\", \"path\": \"$work/disc/disc.cue\", \"name\": \"Bench\"}]}" \
  > "$work/drives.json"
export CDR_CONFIG=$work/drives.json
qomhost=("$bin/qomhost" --config-dir "$work/config")
"${qomhost[@]}" config set "Use Freedb" 0 >/dev/null
"${qomhost[@]}" config set "Use Output Folder" 0 >/dev/null

# Runs a command under GNU time; prints "cpu wall maxrss_kb".
measure() {
  /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" ||
    { cat "$work/stderr" >&2; exit 1; }
  awk '{printf "%.2f %.2f %d\n", $1 + $2, $3, $4}' "$work/time"
}

rip_cpu=() rip_wall=() lame_cpu=() lame_wall=() peak=0
for round in $(seq 1 "$rounds"); do
  rm -rf "$work/out" && mkdir -p "$work/out"
  read -r cpu wall rss < <(measure "${qomhost[@]}" rip --drive Bench --all --output "$work/out")
  echo "round $round: qomhost rip  cpu ${cpu}s  wall ${wall}s  peak ${rss} KiB"
  rip_cpu+=("$cpu") rip_wall+=("$wall")
  [ "$rss" -gt "$peak" ] && peak=$rss
  read -r cpu wall rss < <(measure lame --quiet -b 112 "$work/disc.wav" "$work/lame.mp3")
  echo "round $round: lame -b 112  cpu ${cpu}s  wall ${wall}s  peak ${rss} KiB"
  lame_cpu+=("$cpu") lame_wall+=("$wall")
done
files=$(find "$work/out" -name '*.mp3' | wc -l)

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
rc=$(median "${rip_cpu[@]}") lc=$(median "${lame_cpu[@]}")
rw=$(median "${rip_wall[@]}") lw=$(median "${lame_wall[@]}")
echo "audio: $minutes min in 16 tracks ($files files written)"
echo "median cpu: rip ${rc}s, lame ${lc}s, ratio $(awk -v a="$rc" -v b="$lc" 'BEGIN {printf "%.3f", a / b}')"
echo "median wall: rip ${rw}s, lame ${lw}s, ratio $(awk -v a="$rw" -v b="$lw" 'BEGIN {printf "%.3f", a / b}')"
echo "peak memory of the rip: $((peak / 1024)) MiB"
