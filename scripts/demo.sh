#!/usr/bin/env bash
# Set-up, build, and one run of the helper on the bundled clip of pedestrians (samples/README.md):
# one frame a second over its 8 seconds; prints the JSON and writes the review page of the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build >/dev/null
mkdir -p "$root/build/review"
"$root/build/autoframe-helper" "$root/samples/pedestrians.mp4" 0 8 1 |
  tee "$root/build/review/pedestrians.json"
echo
# The same run as a page to look at (README, "Looking at a run").
"$root/build/autoframe-review" "$root/samples/pedestrians.mp4" \
  "$root/build/review/pedestrians.json" "$root/build/review/pedestrians.html"
echo "demo: review page in $root/build/review/pedestrians.html" >&2
