#!/usr/bin/env bash
# scripts/fetch-models.sh without a network: given the two files it would download, it makes the
# third from one of them (the same bytes as the pinned file) and leaves the folder ready.
#   tests/fetch_models_test.sh <source folder> <models folder>
set -euo pipefail
source=$1
models=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$models/yunet_n_dynamic.onnx" "$models/yolox_nano.onnx" "$work/"
bash "$source/scripts/fetch-models.sh" "$work" >/dev/null
cmp "$work/yolox_nano_dynamic.onnx" "$models/yolox_nano_dynamic.onnx"
