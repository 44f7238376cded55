#!/usr/bin/env python3
"""How well the helper's sceneScore separates known hard cuts from the frames within shots.

Reads the helper's samples (its stdout, saved) and the truth of make_pan_video.py (its cut times).
A sample is a cut sample when a cut lies after the previous sample's time and at or before its
own; every other sample but the first is a within-shot sample. Two rules are measured:
  plain  the score itself: the lowest at a cut, the highest within shots, and where they
         separate, the threshold halfway across the gap in the logarithm (the same factor of
         margin on both sides)
  spike  the planner's: the score over the calmer of its two neighbours' scores (each at least
         --floor; the last sample has one neighbour, the second's first neighbour is the third),
         among samples scoring at least --min-score: the same figures for that ratio

Standard library only.
Usage: cut_separation.py samples.json truth.gt.json [--floor 0.01] [--min-score 0.08]
"""
import argparse
import json
import math
import sys


def report(name, at_cuts, within):
    low_cut, high_within = min(at_cuts), max(within)
    within = sorted(within, reverse=True)
    print('%s: lowest at a cut %.4f (t=%.2f); highest within shots %.4f (t=%.2f), next %s' % (
        name, low_cut[0], low_cut[1], high_within[0], high_within[1],
        ', '.join('%.4f' % s for s, _ in within[1:4])))
    if low_cut[0] <= high_within[0]:
        print('  no threshold separates them')
        return
    threshold = math.sqrt(low_cut[0] * high_within[0]) if high_within[0] > 0 else low_cut[0] / 2
    print('  threshold %.4f: %.2fx below the lowest cut, %.2fx above the highest within' % (
        threshold, low_cut[0] / threshold,
        threshold / high_within[0] if high_within[0] > 0 else float('inf')))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('samples')
    ap.add_argument('truth')
    ap.add_argument('--floor', type=float, default=0.01)
    ap.add_argument('--min-score', type=float, default=0.08)
    a = ap.parse_args()
    with open(a.samples) as f:
        samples = json.load(f)
    with open(a.truth) as f:
        cuts = json.load(f)['cuts']
    scores = [s['sceneScore'] for s in samples]
    plain_cuts, plain_within, spike_cuts, spike_within = [], [], [], []
    for i in range(1, len(samples)):
        t0, t1 = samples[i - 1]['timeSeconds'], samples[i]['timeSeconds']
        hit = any(t0 + 1e-6 < c <= t1 + 1e-6 for c in cuts)
        neighbours = ([scores[i - 1]] if i >= 2 else []) + ([scores[i + 1]] if i + 1 < len(scores) else [])
        ratio = scores[i] / max(min(neighbours) if neighbours else 0.0, a.floor)
        (plain_cuts if hit else plain_within).append((scores[i], t1))
        if hit or scores[i] >= a.min_score:
            (spike_cuts if hit else spike_within).append((ratio, t1))
    if not plain_cuts or not plain_within:
        sys.exit('cut_separation.py: need samples both at cuts and within shots')
    print('samples: %d at cuts (of %d cuts), %d within shots, %d of them scoring %.3g or more' % (
        len(plain_cuts), len(cuts), len(plain_within), len(spike_within), a.min_score))
    report('plain', plain_cuts, plain_within)
    if spike_within:
        report('spike', spike_cuts, spike_within)


if __name__ == '__main__':
    main()
