#!/usr/bin/env bash
# Set-up, build, and one run of the helper on the bundled clip of pedestrians (samples/README.md):
# one frame a second over its 8 seconds; prints the JSON.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build >/dev/null
"$root/build/autoframe-helper" "$root/samples/pedestrians.mp4" 0 8 1
echo
