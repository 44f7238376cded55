#!/usr/bin/env bash
# Downloads the two detector models from their upstream repositories at the pinned commits into
# a folder (default ../shared/models next to the checkout) and checks each file's sha256, the same
# values cmake/Models.cmake checks. Needs internet access and curl; it has not been run on the build
# machine, which has no route to these hosts. Usage: scripts/fetch-models.sh [folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/../shared/models}
mkdir -p "$dir"

fetch() {  # file, url, sha256
  local file=$1 url=$2 sum=$3
  if [[ -f $dir/$file ]] && echo "$sum  $dir/$file" | sha256sum -c --quiet - 2>/dev/null; then
    return
  fi
  curl -fsSL -o "$dir/$file.part" "$url"
  if ! echo "$sum  $dir/$file.part" | sha256sum -c --quiet -; then
    echo "fetch-models: $file from $url does not have sha256 $sum" >&2
    rm -f "$dir/$file.part"
    return 1
  fi
  mv "$dir/$file.part" "$dir/$file"
}

fetch yunet_n_640_640.onnx \
  https://raw.githubusercontent.com/ShiqiYu/libfacedetection.train/0047ac24afb1a50a0c6105001c89d1b5b805dbf1/onnx/yunet_n_640_640.onnx \
  25a606a145a5b6d7271ae138fbd00eba91dad8b83222ae3f2c7ecd0f4a7b0e31
fetch yolox_nano.onnx \
  https://raw.githubusercontent.com/Kazuhito00/YOLOX-ONNX-TFLite-Sample/3d4f1119d0694200671c08069ecb847aa0d8495a/model/yolox_nano.onnx \
  695e750a5d5754bb5a8d5325643b59282191a7e7a564e435a415fd3c578eab14
echo "fetch-models: models ready in $dir"
