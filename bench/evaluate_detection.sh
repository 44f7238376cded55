#!/usr/bin/env bash
# Scores the detectors on a people-in-video benchmark video (made by make_video.py) without the
# helper's frame source: bench/slot_frames.sh decodes the frame nearest each slot's middle
# (upright, at most 960 x 960 like the helper's frames), bench/detect_frames runs the detectors
# and prints the helper's JSON, evaluate.py scores it.
#
#   bench/evaluate_detection.sh <video.mp4> [name=value ...]   (settings: see detect_frames.cpp)
#
# Needs bench/detect_frames built in $BUILD (default build).
# Writes <video>.detect.json next to the video (or to $OUT) and prints evaluate.py's report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/${BUILD:-build}
bench=${BENCH_DIR:-$root/../shared/bench}
video=$1
shift
gt=${video%.mp4}.gt.json
out=${OUT:-${video%.mp4}.detect.json}

tool=$build/bench/detect_frames
if [[ ! -x $tool ]]; then
  echo "evaluate_detection: build $tool first (cmake --build $build --target detect_frames)" >&2
  exit 1
fi

"$root/bench/slot_frames.sh" "$video" "$tool" 0.48 1 "$@" > "$out"
/usr/bin/python3 "$bench/evaluate.py" "$gt" "$out"
