#!/usr/bin/env bash
# Installs what building and testing autoframe needs on Debian 12 (run as root for the Debian
# packages and the locale) and ONNX Runtime's library into .deps/. Idempotent: what is already
# present is not fetched again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  libopencv-dev opencv-doc python3-opencv python3-numpy python3-onnx
  libgtest-dev libbenchmark-dev
  clang-19 libclang-rt-19-dev
  locales time
  chromium
)
# npm fetches ONNX Runtime's library (below); Node.js usually comes with the machine.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The command-line tests run once under a locale whose decimal separator is ','.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# ONNX Runtime's CPU library, from the npm registry, checked by sha256 (scripts/fetch-onnxruntime.sh).
bash "$(dirname "$0")/fetch-onnxruntime.sh"
