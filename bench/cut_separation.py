#!/usr/bin/env python3
"""How well the helper's sceneScore separates known hard cuts from the frames within shots.

Reads the helper's samples (its stdout, saved) and the truth of make_pan_video.py (its cut times).
A sample is a cut sample when a cut lies after the previous sample's time and at or before its
own; every other sample but the first is a within-shot sample. Prints the lowest score at a cut,
the highest within shots, the gap between them, and the threshold halfway across the gap in the
logarithm (the same factor of margin on both sides), with those factors.

Standard library only.  Usage: cut_separation.py samples.json truth.gt.json
"""
import json
import math
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: cut_separation.py samples.json truth.gt.json')
    with open(sys.argv[1]) as f:
        samples = json.load(f)
    with open(sys.argv[2]) as f:
        cuts = json.load(f)['cuts']
    at_cuts, within = [], []
    for prev, cur in zip(samples, samples[1:]):
        t0, t1 = prev['timeSeconds'], cur['timeSeconds']
        hit = any(t0 + 1e-6 < c <= t1 + 1e-6 for c in cuts)
        (at_cuts if hit else within).append((cur['sceneScore'], t1))
    if not at_cuts or not within:
        sys.exit('cut_separation.py: need samples both at cuts and within shots')
    low_cut, high_within = min(at_cuts), max(within)
    within.sort(reverse=True)
    print('samples: %d at cuts (of %d cuts), %d within shots' % (len(at_cuts), len(cuts), len(within)))
    print('lowest at a cut:     %.4f (t=%.2f)' % low_cut)
    print('highest within shot: %.4f (t=%.2f); next: %s' % (
        high_within[0], high_within[1], ', '.join('%.4f' % s for s, _ in within[1:5])))
    if low_cut[0] <= high_within[0]:
        print('no threshold separates them')
        return
    threshold = math.sqrt(low_cut[0] * high_within[0]) if high_within[0] > 0 else low_cut[0] / 2
    print('gap: %.4f; threshold %.4f: %.2fx below the lowest cut, %.2fx above the highest within' % (
        low_cut[0] - high_within[0], threshold, low_cut[0] / threshold,
        threshold / high_within[0] if high_within[0] > 0 else float('inf')))


if __name__ == '__main__':
    main()
