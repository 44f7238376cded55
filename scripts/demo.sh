#!/usr/bin/env bash
# Set-up, build, and one run of the helper on the bundled sample; prints its JSON.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build >/dev/null
"$root/build/autoframe-helper" "$root/README.md" 1 1.0005 4
echo
