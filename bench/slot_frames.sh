#!/usr/bin/env bash
# Feeds a tool the frames of a people-in-video benchmark video (made by make_video.py) the way the
# helper sees them: ffmpeg decodes the frame nearest each slot's middle, upright, reduced to fit
# 960 x 960, as packed BGR on the tool's stdin. The tool is run as
#
#   <tool> <width> <height> [argument ...]
#
#   bench/slot_frames.sh <video.mp4> <tool> [argument ...]
set -euo pipefail
video=$1
tool=$2
shift 2

# Display size (rotation applied), reduced to fit 960 x 960 with the aspect kept, even sides.
read -r w h < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height:stream_side_data=rotation \
  -of default=nw=1 "$video" | awk -F= '/^width/{w=$2} /^height/{h=$2} /^rotation/{r=$2}
    END { if (r == 90 || r == -90 || r == 270 || r == -270) { t=w; w=h; h=t }
          s = 960 / (w > h ? w : h); if (s > 1) s = 1
          printf "%d %d\n", int(w*s/2+0.5)*2, int(h*s/2+0.5)*2 }')

# Slots are 1 s at 25 fps: frame 25 i + 12 (at i + 0.48 s) is the one nearest slot i's middle.
ffmpeg -v error -i "$video" -vf "select='eq(mod(n\,25)\,12)',scale=$w:$h:flags=area" -fps_mode passthrough \
  -f rawvideo -pix_fmt bgr24 - | "$tool" "$w" "$h" "$@"
