#!/usr/bin/python3
"""Scores face checks offline on the face network's raw candidates of benchmark videos.

    bench/slot_frames.sh <video.mp4> build/bench/face_candidates 0.3 > <video>.faces.txt
    bench/sweep_face_checks.py <gt.json>:<candidates.txt> [...] [--thresholds 0.5,0.52]
        [--rules none,size:30:60:0.75,...]

For each rule (and each score threshold), the candidates go through the rule, then the helper's
minimum height, suppression of overlaps and score threshold, as the face detector applies them, and
are scored like evaluate.py scores the helper, with the false faces per picture without people
(bench/false_faces.py). A candidate below the threshold never suppresses one above it, so one dump
at a low threshold serves every higher one. Rules:

    none                          the score threshold alone
    size:<small>:<large>:<score>  faces taller than <small> frame pixels need more than the
                                  threshold, rising in log(height) to <score> at <large> and above
                                  (analysis/face_checks.h, SizeAwareThreshold)

Second looks run the network again on a crop, so they are not simulated here: try them with the
helper itself (platform/onnx/detectors.h, faceChecks) scored by evaluate.py and false_faces.py.
"""
import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import false_faces  # noqa: E402
evaluate = false_faces.evaluate

MIN_HEIGHT = 13.0
NMS = 0.25


class Face:
    __slots__ = ('left', 'top', 'width', 'height', 'score', 'points')

    def __init__(self, values):
        self.left, self.top, self.width, self.height, self.score = values[:5]
        self.points = [(values[5 + 2 * i], values[6 + 2 * i]) for i in range(5)]


def load_candidates(path):
    frames = {}
    with open(path) as f:
        for line in f:
            v = line.split()
            frames.setdefault(int(v[0]), []).append(Face([float(x) for x in v[1:]]))
    return frames


def iou(a, b):
    w = min(a.left + a.width, b.left + b.width) - max(a.left, b.left)
    h = min(a.top + a.height, b.top + b.height) - max(a.top, b.top)
    if w <= 0 or h <= 0:
        return 0.0
    return w * h / (a.width * a.height + b.width * b.height - w * h)


def kept(faces, keep, threshold):
    boxes = sorted((f for f in faces if f.score >= threshold and f.height >= MIN_HEIGHT and keep(f)),
                   key=lambda f: -f.score)
    out = []
    for f in boxes:
        if all(iou(f, k) <= NMS for k in out):
            out.append(f)
    return out


def samples(frames, slots, width, height, keep, threshold):
    """Samples as evaluate.pick_detection_samples gives them: slot -> sample."""
    chosen = {}
    for slot in range(slots):
        faces = kept(frames.get(slot, []), keep, threshold)
        chosen[slot] = {'t': slot + 0.48, 'scene': 0, 'index': slot, 'dets': {
            'faces': [(f.left / width, f.top / height, f.width / width, f.height / height, f.score)
                      for f in faces],
            'humans': []}}
    return chosen


def score(gt, chosen):
    result = evaluate.evaluate_detection(gt, chosen, 'faces', 0.5, 20, False, (48, 128))
    pictures, found = false_faces.false_faces(gt, chosen)
    return result, len(found) / pictures


def rule(name, threshold):
    """The predicate over a candidate in frame pixels that the rule's name describes."""
    if name == 'none':
        return lambda f: True
    kind, small, large, score = name.split(':')
    if kind != 'size':
        raise SystemExit('unknown rule %s' % name)
    small, large, score = float(small), float(large), float(score)

    def needed(height):
        if not height > small:
            return threshold
        if height >= large:
            return score
        return threshold + (score - threshold) * math.log(height / small) / math.log(large / small)
    return lambda f: f.score >= needed(f.height)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('runs', nargs='+', help='gt.json:candidates.txt')
    ap.add_argument('--thresholds', default='0.52')
    ap.add_argument('--rules', default='none')
    a = ap.parse_args()
    runs = []
    for run in a.runs:
        parts = run.split(':')
        gt = evaluate.load_gt(parts[0])
        canvas = gt['canvas']
        fit = min(1.0, 960 / max(canvas['width'], canvas['height']))
        width = round(canvas['width'] * fit / 2) * 2
        height = round(canvas['height'] * fit / 2) * 2
        runs.append((os.path.basename(parts[0]).split('.')[0], gt, load_candidates(parts[1]), width, height))
    thresholds = [float(t) for t in a.thresholds.split(',')]
    for name in a.rules.split(','):
        for threshold in thresholds:
            cells = []
            for label, gt, frames, width, height in runs:
                result, false_rate = score(gt, samples(frames, gt['num_slots'], width, height,
                                                       rule(name, threshold), threshold))
                cells.append('%s P %.3f R %.3f AP %.3f nopeople %.3f' % (
                    label[:4], result['precision'], result['recall'], result['ap'], false_rate))
            print('%-28s %.2f  %s' % (name, threshold, '  |  '.join(cells)), flush=True)


if __name__ == '__main__':
    main()
