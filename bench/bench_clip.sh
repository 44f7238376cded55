#!/usr/bin/env bash
# Prints the path of the benchmarks' clip, making it first if it is not there: 60 s of 1080p30
# H.264 (2 s keyframe interval) made from opencv-doc's vtest.avi, in the work folder given
# (never in the repository).   Usage: bench/bench_clip.sh <work folder>
set -euo pipefail
work=$1
clip=$work/clip-1080p30.mp4
source_clip=/usr/share/doc/opencv-doc/examples/data/vtest.avi
mkdir -p "$work"
if [[ ! -f $clip ]]; then
  echo "making $clip from $source_clip" >&2
  ffmpeg -nostdin -v error -y -stream_loop -1 -i "$source_clip" -t 60 -an \
    -vf "scale=1920:1080,fps=30" -c:v libx264 -preset veryfast -crf 20 -g 60 -pix_fmt yuv420p \
    "$work/partial.mp4"
  mv "$work/partial.mp4" "$clip"
fi
echo "$clip"
