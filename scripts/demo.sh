#!/usr/bin/env bash
# Set-up, build, and one run of the helper on the bundled clip of pedestrians (samples/README.md):
# one frame a second over its 8 seconds; prints the JSON and writes the review page of the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build >/dev/null
bash "$root/scripts/demo-run.sh"
echo
echo "demo: review page in $root/build/review/pedestrians.html" >&2
