#!/usr/bin/env bash
# scripts/fetch-models.sh without a network: given the two files it would download, it makes the
# third from one of them (the same bytes as the pinned file) and leaves the folder ready. And the
# person model the build makes from that third file (cmake/Models.cmake) comes out the same bytes,
# with the sha256 pinned there, on every run.
#   tests/fetch_models_test.sh <source folder> <models folder>
set -euo pipefail
source=$1
models=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$models/yunet_n_dynamic.onnx" "$models/yolox_nano.onnx" "$work/"
bash "$source/scripts/fetch-models.sh" "$work" >/dev/null
cmp "$work/yolox_nano_dynamic.onnx" "$models/yolox_nano_dynamic.onnx"

pinned=$(sed -n 's/.*"humanModel|yolox_nano_unsliced\.onnx|\([0-9a-f]\{64\}\)|make-unsliced-model\.py|yolox_nano_dynamic\.onnx".*/\1/p' \
  "$source/cmake/Models.cmake")
[[ -n $pinned ]] || { echo "no pinned sha256 for yolox_nano_unsliced.onnx in cmake/Models.cmake" >&2; exit 1; }
for run in 1 2; do
  /usr/bin/python3 "$source/scripts/make-unsliced-model.py" "$work/yolox_nano_dynamic.onnx" \
    "$work/unsliced-$run.onnx"
  echo "$pinned  $work/unsliced-$run.onnx" | sha256sum -c --quiet -
done
# A model without that slicing (the face model) is refused, not made into something else.
if /usr/bin/python3 "$source/scripts/make-unsliced-model.py" "$work/yunet_n_dynamic.onnx" \
     "$work/refused.onnx" 2>"$work/refused.txt"; then
  echo "make-unsliced-model.py made a model from one without input slicing" >&2
  exit 1
fi
grep -q "expected one Concat of four sliced pictures" "$work/refused.txt"
[[ ! -e $work/refused.onnx ]]
