#!/usr/bin/env bash
# Makes docs/reframe.png, the picture of reframing in the README: the bundled clip's frame at 4 s
# with the crop window drawn on it (bluish green), beside the same frame of the 9:16 output, made
# by the demo run. Usage: scripts/reframe-still.sh [out.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/reframe.png}
bash "$root/scripts/build.sh" build >/dev/null
bash "$root/scripts/demo-run.sh" >/dev/null
cd "$root/build/review"
# The window of the frame at 4 s, from the crop path.
read -r x y w h < <(/usr/bin/python3 -c '
import json
frames = json.load(open("pedestrians-9x16.path.json"))["frames"]
f = min(frames, key=lambda f: abs(f["time"] - 4.0))
print(f["x"], f["y"], f["width"], f["height"])')
ffmpeg -nostdin -v error -y -ss 4 -i "$root/samples/pedestrians.mp4" -ss 4 -i pedestrians-9x16.mp4 \
  -filter_complex "[0:v]drawbox=x=$x:y=$y:w=$w:h=$h:color=0x009E73:t=5[a];[a]pad=iw+16:ih[p];[p][1:v]hstack,scale=iw*3/4:-1:flags=area,split[s][t];[s]palettegen=max_colors=128[c];[t][c]paletteuse=dither=none" \
  -frames:v 1 "$out"
echo "reframe-still: $out ($(stat -c %s "$out") bytes)" >&2
