#!/usr/bin/env bash
# Makes docs/review.png, the picture of the review page in the README: the demo's page for the
# bundled clip in headless Chromium, the top 1040 x 1000 pixels, scaled to 820 wide and reduced to
# 128 colours so that the file stays small. Usage: scripts/review-screenshot.sh [out.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/review.png}
bash "$root/scripts/build.sh" build >/dev/null
mkdir -p "$(dirname "$out")"
bash "$root/scripts/demo-run.sh" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No background connections: this machine's network refuses them.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$work/profile" --window-size=1040,1000 \
  --screenshot="$work/page.png" "file://$root/build/review/pedestrians.html" 2>/dev/null
ffmpeg -nostdin -v error -y -i "$work/page.png" -frames:v 1 -vf \
  "scale=820:-1:flags=area,split[a][b];[a]palettegen=max_colors=128[p];[b][p]paletteuse=dither=none" \
  "$out"
echo "review-screenshot: $out ($(stat -c %s "$out") bytes)" >&2
