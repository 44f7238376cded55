#!/usr/bin/env bash
# Puts ONNX Runtime's CPU library into .deps/onnxruntime/ (git-ignored), idempotently: the
# `onnxruntime-node` package is fetched from the npm registry with `npm pack` (only the tarball:
# its install script, which would download GPU files, never runs), and both the tarball and the
# library in it are checked against their pinned sha256 before the library is kept.
#   scripts/fetch-onnxruntime.sh [folder, default .deps/onnxruntime]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/.deps/onnxruntime}
version=1.29.0
tarball_sha256=cfdfb45ec4044b1fdca43e5d2e180fb6817e649ff8ad1e0dfc90e18e51b67037
library_sha256=89688f5cf51c7e31befbb7b9101bc027799009b18d1baa9a5b1146a72e69538d
member=package/bin/napi-v6/linux/x64/libonnxruntime.so.1
library=$dir/libonnxruntime.so.1

if [[ -f $library ]] && echo "$library_sha256  $library" | sha256sum -c --quiet - 2>/dev/null; then
  exit 0
fi
mkdir -p "$dir"
work=$(mktemp -d "$dir/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

(cd "$work" && npm pack --silent "onnxruntime-node@$version" >/dev/null)
tarball=$work/onnxruntime-node-$version.tgz
if ! echo "$tarball_sha256  $tarball" | sha256sum -c --quiet -; then
  echo "fetch-onnxruntime: onnxruntime-node-$version.tgz does not have sha256 $tarball_sha256" >&2
  exit 1
fi
tar -xzf "$tarball" -C "$work" "$member"
if ! echo "$library_sha256  $work/$member" | sha256sum -c --quiet -; then
  echo "fetch-onnxruntime: $member does not have sha256 $library_sha256" >&2
  exit 1
fi
mv "$work/$member" "$library"
echo "fetch-onnxruntime: ONNX Runtime $version in $dir" >&2
