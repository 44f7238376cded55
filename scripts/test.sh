#!/usr/bin/env bash
# Set-up, build and the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" build
cd "$root/build" && ctest --output-on-failure -j2
