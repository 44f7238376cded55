#!/usr/bin/env bash
# The reframe render against the ffmpeg command cropping the same clip to the same 9:16 window
# with the same encoder settings (libx264 veryfast, crf 20), on the 60 s 1080p30 H.264 clip of
# bench/frame_source_bench.sh. ffmpeg: the fixed window 608x1080 at (656, 0); ffmpeg-pan: the
# window of `pan` as a crop expression (a moving window costs the encoder more). Runs are
# interleaved (each command once, then again) so that the machine's load falls on all alike;
# each figure is the median of $RUNS runs (default 5), wall clock, with its ratio to the ffmpeg
# command's median. Peak memory from one more run each.
#
#   bash bench/reframe_bench.sh [build folder, default build]
#                               [work folder, default /tmp/autoframe-bench]
set -euo pipefail
set -f  # the commands are words of one line: no file names made from their patterns
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=${2:-/tmp/autoframe-bench}
runs=${RUNS:-5}
bench=$build/bench/reframe_bench

clip=$(bash "$root/bench/bench_clip.sh" "$work")

names=(ffmpeg ffmpeg-pan fixed pan zoom)
pan_x="'(iw-608)/2*(1+sin(2*PI*t/10))'"
command_for() {
  case $1 in
    ffmpeg) echo ffmpeg -nostdin -v error -y -i "$clip" -vf crop=608:1080:656:0 -c:v libx264 \
                 -preset veryfast -crf 20 "$work/reframe-ffmpeg.mp4" ;;
    ffmpeg-pan) echo ffmpeg -nostdin -v error -y -i "$clip" -vf "crop=608:1080:$pan_x:0" \
                     -c:v libx264 -preset veryfast -crf 20 "$work/reframe-ffmpeg-pan.mp4" ;;
    *) echo "$bench" "$clip" "$work/reframe-$1.mp4" "$1" ;;
  esac
}

seconds_of() {
  local start
  start=$(date +%s.%N)
  $(command_for "$1") >/dev/null
  awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN {printf "%.3f", a - b}'
}

median() {
  printf '%s\n' "$@" | sort -n |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   (2 cores; figures are noisy when others run)"
declare -A times
for ((i = 0; i < runs; i++)); do
  for name in "${names[@]}"; do times[$name]+="$(seconds_of "$name") "; done
done

base=$(median ${times[ffmpeg]})
for name in "${names[@]}"; do
  m=$(median ${times[$name]})
  rss=$( { /usr/bin/time -v $(command_for "$name") >/dev/null; } 2>&1 |
    awk -F: '/Maximum resident/ {print int($2 / 1024)}')
  printf '%-10s median %7.3f s  ratio %5.2f  peak RSS %4s MB   runs: %s\n' "$name" "$m" \
    "$(awk -v a="$m" -v b="$base" 'BEGIN {print a / b}')" "$rss" "${times[$name]}"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
