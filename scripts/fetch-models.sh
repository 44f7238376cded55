#!/usr/bin/env bash
# Gets the two detector models the build takes into a folder (default ../shared/models next to
# the checkout) and checks each file's sha256, the same values cmake/Models.cmake checks:
# yunet_n_dynamic.onnx from its upstream repository at the pinned commit, and
# yolox_nano_dynamic.onnx made from upstream's fixed-size yolox_nano.onnx by
# scripts/make-dynamic-model.py (python3-onnx), from which the build makes the person model it
# embeds (scripts/make-unsliced-model.py). Files already there with the right sha256 are kept,
# so only the download needs internet access and curl; the build machines have no route to these
# hosts. Usage: scripts/fetch-models.sh [folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/../shared/models}
mkdir -p "$dir"

present() {  # file, sha256
  [[ -f $dir/$1 ]] && echo "$2  $dir/$1" | sha256sum -c --quiet - 2>/dev/null
}

check() {  # file, sha256, where it came from
  if ! echo "$2  $dir/$1.part" | sha256sum -c --quiet -; then
    echo "fetch-models: $1 from $3 does not have sha256 $2" >&2
    rm -f "$dir/$1.part"
    return 1
  fi
  mv "$dir/$1.part" "$dir/$1"
}

fetch() {  # file, url, sha256
  present "$1" "$3" && return
  curl -fsSL -o "$dir/$1.part" "$2"
  check "$1" "$3" "$2"
}

derive() {  # file, from file, sha256
  present "$1" "$3" && return
  /usr/bin/python3 "$root/scripts/make-dynamic-model.py" "$dir/$2" "$dir/$1.part"
  check "$1" "$3" "$2"
}

fetch yunet_n_dynamic.onnx \
  https://raw.githubusercontent.com/ShiqiYu/libfacedetection.train/0047ac24afb1a50a0c6105001c89d1b5b805dbf1/onnx/yunet_n_dynamic.onnx \
  104ee26c71d5c270ce79a6b3dced91c91013260d29a6bf18f9296c5b8c4c2b12
fetch yolox_nano.onnx \
  https://raw.githubusercontent.com/Kazuhito00/YOLOX-ONNX-TFLite-Sample/3d4f1119d0694200671c08069ecb847aa0d8495a/model/yolox_nano.onnx \
  695e750a5d5754bb5a8d5325643b59282191a7e7a564e435a415fd3c578eab14
derive yolox_nano_dynamic.onnx yolox_nano.onnx \
  445e70de1c9b17c53bebdb7c999a9b6a2262e0251b62131e31d2144685072148
echo "fetch-models: models ready in $dir"
