#!/usr/bin/env bash
# Scores the detectors on a people-in-video benchmark video (made by make_video.py) without the
# helper's frame source: ffmpeg decodes the frame nearest each slot's middle (upright, at most
# 960 x 960 like the helper's frames), bench/detect_frames runs the detectors and prints the
# helper's JSON, evaluate.py scores it.
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

# Display size (rotation applied), reduced to fit 960 x 960 with the aspect kept, even sides.
read -r w h < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height:stream_side_data=rotation \
  -of default=nw=1 "$video" | awk -F= '/^width/{w=$2} /^height/{h=$2} /^rotation/{r=$2}
    END { if (r == 90 || r == -90 || r == 270 || r == -270) { t=w; w=h; h=t }
          s = 960 / (w > h ? w : h); if (s > 1) s = 1
          printf "%d %d\n", int(w*s/2+0.5)*2, int(h*s/2+0.5)*2 }')

# Slots are 1 s at 25 fps: frame 25 i + 12 (at i + 0.48 s) is the one nearest slot i's middle.
ffmpeg -v error -i "$video" -vf "select='eq(mod(n\,25)\,12)',scale=$w:$h:flags=area" -fps_mode passthrough \
  -f rawvideo -pix_fmt bgr24 - | "$tool" "$w" "$h" 0.48 1 "$@" > "$out"
/usr/bin/python3 "$bench/evaluate.py" "$gt" "$out"
