#!/usr/bin/env bash
# Fingerprints of the helper's whole outcome (stdout, stderr, exit status) on many videos and
# spans, one line each, so that two builds can be compared for byte-identical output:
#
#   bench/output_md5s.sh <helper> <video>... > a.txt     (then the same with the other build; diff)
#
# Each video is run at several spans: within its first second, across 4 s, a second apart, three
# a second from an odd start, at 25 and at 60 requests a second over the first 4 seconds (above
# most videos' own rate), and past its end.
set -uo pipefail
helper=$1
shift
spans=("0 0.9 4" "0.1 3.9 7" "0 8 1" "0.3 7.9 3" "0 4 25" "0.02 4 60" "0 30 2")
for video in "$@"; do
  for span in "${spans[@]}"; do
    # shellcheck disable=SC2086
    out=$("$helper" "$video" $span 2>/tmp/output_md5s.err | md5sum | cut -c1-32)
    status=${PIPESTATUS[0]}
    err=$(md5sum < /tmp/output_md5s.err | cut -c1-32)
    printf '%s %s %s %s %s\n' "$out" "$err" "$status" "$span" "$(basename "$video")"
  done
done
