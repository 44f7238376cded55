#!/usr/bin/python3
"""Sweeps the score threshold and minimum box height of one detector output.

usage: sweep_detection.py GT.json[,GT2.json...] OUTPUT.json [OUTPUT2.json ...] [--frame-height PX[,PX2...]]

OUTPUT is a run of the helper (or bench/detect_frames) at a threshold below the ones to try.
Dropping boxes under a threshold afterwards gives what a run at that threshold gives: NMS keeps
boxes best first, so a box below the threshold never suppresses one above it. For each class it
prints AP@0.5, precision and recall per (threshold, minimum height in frame pixels), marks the
rows where precision >= 0.85 on every output, and for several outputs (e.g. landscape and
portrait) shows each one.
"""
import argparse
import os
import sys

sys.path.insert(0, os.environ.get('BENCH_DIR', os.path.join(os.path.dirname(__file__), '../../shared/bench')))
import evaluate  # noqa: E402


def filtered(samples, cls, threshold, min_fraction):
    out = {}
    for slot, s in samples.items():
        dets = dict(s['dets'])
        dets[cls] = [d for d in dets[cls] if d[4] >= threshold and d[3] >= min_fraction]
        out[slot] = dict(s, dets=dets)
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('gt')
    ap.add_argument('outputs', nargs='+')
    ap.add_argument('--frame-height', default='540',
                    help='height of the frames the detectors saw, for the minimum height (default 540;'
                         ' a comma-separated list gives one per output)')
    ap.add_argument('--faces', default='0.4,0.45,0.5,0.55,0.6,0.65,0.7,0.75,0.8')
    ap.add_argument('--humans', default='0.3,0.35,0.4,0.45,0.5,0.55,0.6,0.65,0.7')
    ap.add_argument('--min-px', default='0,8,12,16')
    a = ap.parse_args()
    gts = a.gt.split(',')
    if len(gts) == 1:
        gts = gts * len(a.outputs)
    heights = [float(h) for h in a.frame_height.split(',')]
    if len(heights) == 1:
        heights = heights * len(a.outputs)
    runs = []
    for g, o in zip(gts, a.outputs):
        gt = evaluate.load_gt(g)
        chosen = evaluate.pick_detection_samples(evaluate.load_output(o), gt['slot_seconds'], gt['num_slots'], 0.1)
        runs.append((gt, chosen, heights[len(runs)]))
    edges = {'faces': (48, 128), 'humans': (120, 360)}
    mins = {'faces': 20, 'humans': 40}
    for cls in ('faces', 'humans'):
        print('%s: threshold, min px -> AP / precision / recall per output' % cls)
        for t in [float(x) for x in getattr(a, cls).split(',')]:
            for m in [float(x) for x in a.min_px.split(',')]:
                cells, ok = [], True
                for gt, chosen, height in runs:
                    r = evaluate.evaluate_detection(gt, filtered(chosen, cls, t, m / height), cls, 0.5,
                                                    mins[cls], False, edges[cls])
                    ok = ok and r['precision'] is not None and r['precision'] >= 0.85
                    cells.append('%.3f / %.3f / %.3f' % (r['ap'] or 0, r['precision'] or 0, r['recall'] or 0))
                print('  %s %.2f %3g  %s' % ('*' if ok else ' ', t, m, '   '.join(cells)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
