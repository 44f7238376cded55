#!/usr/bin/env bash
# The demo's run on a built tree: the helper on the bundled clip of pedestrians
# (samples/README.md), one frame a second over its 8 seconds, its JSON printed and kept in
# build/review/pedestrians.json, the review page of the run in build/review/pedestrians.html, and
# the clip reframed to 9:16 in build/review/pedestrians-9x16.mp4 (its crop path beside it).
# Paths are relative to the repository, so that the page's command line reads as the README's.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build/review
build/autoframe-helper samples/pedestrians.mp4 0 8 1 | tee build/review/pedestrians.json
build/autoframe-review samples/pedestrians.mp4 build/review/pedestrians.json \
  build/review/pedestrians.html
# The clip in 9:16 (README, "Reframing"), with its crop path.
build/autoframe-reframe --quiet --path build/review/pedestrians-9x16.path.json \
  samples/pedestrians.mp4 build/review/pedestrians-9x16.mp4
