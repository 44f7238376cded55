#!/usr/bin/env bash
# `cmake --install` of a build gives a folder that runs on its own: the helper and the review
# program find ONNX Runtime's library beside themselves, with no environment variable set.
#   tests/install_test.sh <build folder> <bundled clip>
set -euo pipefail
build=$1
clip=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$prefix/bin/libonnxruntime.so.1"
for program in autoframe-helper autoframe-review; do
  runpath=$(readelf -d "$prefix/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [[ $runpath == '$ORIGIN' ]] || { echo "$program: RUNPATH is '$runpath', not \$ORIGIN" >&2; exit 1; }
done
env -u LD_LIBRARY_PATH "$prefix/bin/autoframe-helper" "$clip" 0 1 1 > "$prefix/samples.json"
/usr/bin/python3 -c 'import json, sys
samples = json.load(open(sys.argv[1]))
sys.exit(0 if any(s["humans"] for s in samples) else "no humans found by the installed helper")' "$prefix/samples.json"
env -u LD_LIBRARY_PATH "$prefix/bin/autoframe-review" "$clip" "$prefix/samples.json" "$prefix/page.html"
test -s "$prefix/page.html"
