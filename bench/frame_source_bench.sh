#!/usr/bin/env bash
# Frame source and whole-helper timings on a 60 s 1080p30 H.264 clip (2 s keyframe interval) made
# from opencv-doc's vtest.avi, each as a ratio to one full decode of the same clip by the ffmpeg
# command in the same run. Every figure is the best of $RUNS runs (default 3), wall clock.
#
#   bash bench/frame_source_bench.sh [build folder, default build] [work folder, default /tmp/autoframe-bench]
#
# The clip is made once into the work folder (never into the repository).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=${2:-/tmp/autoframe-bench}
runs=${RUNS:-3}
bench=$build/bench/frame_source_bench
helper=$build/autoframe-helper

clip=$(bash "$root/bench/bench_clip.sh" "$work")

min() { awk -v a="$1" -v b="$2" 'BEGIN {print (b == "" || a < b) ? a : b}'; }

# Best wall-clock seconds of $runs runs of the command.
best() {
  local best_time="" t start
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t=$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN {print a - b}')
    best_time=$(min "$t" "$best_time")
  done
  printf '%.3f' "$best_time"
}

# Best of the seconds that `frame_source_bench` itself reports (excludes process start-up).
best_reported() {
  local best_time="" t
  for ((i = 0; i < runs; i++)); do
    t=$("$bench" "$@" | awk '{print $2}')
    best_time=$(min "$t" "$best_time")
  done
  printf '%.3f' "$best_time"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   (2 cores; figures are noisy when others run)"
full=$(best ffmpeg -nostdin -v error -i "$clip" -f null -)
full1=$(best ffmpeg -nostdin -v error -threads 1 -i "$clip" -f null -)
printf '%-58s %8s s\n' "full decode, ffmpeg -i clip -f null - (baseline)" "$full"
printf '%-58s %8s s  %s\n' "full decode, ffmpeg -threads 1" "$full1" "$(ratio "$full1" "$full")"

echo
echo "frame source alone, requests 0, 1/fps, ... below 60 s       seconds  ratio to full decode"
for fps in 1 4; do
  for variant in "1 1 1:as shipped (1 thread, skip, seek)" "0 1 1:decoder threads auto" \
                 "1 0 1:no skipping" "1 1 0:no forward seeks" "1 0 0:decode everything"; do
    settings=${variant%%:*}
    t=$(best_reported source "$clip" 60 "$fps" $settings)
    printf '  fps %s %-50s %8s   %s\n' "$fps" "${variant#*:}" "$t" "$(ratio "$t" "$full")"
    [[ $settings == "1 1 1" ]] && eval "source_$fps=$t"
  done
done

echo
if detect_1=$(best_reported detect "$clip" 60 1 2>/dev/null) &&
   detect_4=$(best_reported detect "$clip" 60 4 2>/dev/null); then
  echo "whole helper: autoframe-helper clip 0 60 <fps>; ratios to the sum of parts and to the full decode"
  for fps in 1 4; do
    d=detect_$fps s=source_$fps
    parts=$(awk -v a="${!d}" -v b="${!s}" 'BEGIN {printf "%.3f", a + b}')
    t=$(best "$helper" "$clip" 0 60 "$fps")
    printf '  fps %s: detectors alone %s s + source alone %s s = %s s; helper %8s   %s   %s\n' \
      "$fps" "${!d}" "${!s}" "$parts" "$t" "$(ratio "$t" "$parts")" "$(ratio "$t" "$full")"
  done
  for fps in 1 4; do
    peak=$(/usr/bin/time -v "$helper" "$clip" 0 60 "$fps" 2>&1 >/dev/null |
           awk -F: '/Maximum resident set size/ {print $2}')
    printf '  peak memory at fps %s: %d MB\n' "$fps" "$((peak / 1024))"
  done
else
  echo "detectors not available in this build: whole-helper figures skipped"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
