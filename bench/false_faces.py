#!/usr/bin/python3
"""Counts the faces found on the pictures without any person of a people-in-video benchmark video.

    bench/false_faces.py <gt.json> <output.json> [<output2.json> ...]

Every face box in a slot of the group "coco:nopeople" whose faces are labelled (as zero boxes) is
false. Prints, per output, the boxes per such picture, their number, the highest confidence and
the slots they are in. The sample scored per slot is the one evaluate.py scores.
"""
import argparse
import os
import sys

sys.path.insert(0, os.environ.get('BENCH_DIR', os.path.join(os.path.dirname(__file__), '../../shared/bench')))
import evaluate  # noqa: E402

GROUP = 'coco:nopeople'


def false_faces(gt, chosen):
    """(number of face-free labelled slots, [(slot index, confidence), ...] of the faces in them)."""
    slots = [s for s in gt['slots'] if s.get('group') == GROUP and s['labelled'].get('faces')]
    found = []
    for slot in slots:
        sample = chosen.get(slot['index'])
        for box in (sample['dets']['faces'] if sample else []):
            found.append((slot['index'], box[4]))
    return len(slots), found


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('gt')
    ap.add_argument('outputs', nargs='+')
    a = ap.parse_args()
    gt = evaluate.load_gt(a.gt)
    for path in a.outputs:
        chosen = evaluate.pick_detection_samples(evaluate.load_output(path), gt['slot_seconds'],
                                                 gt['num_slots'], 0.1)
        pictures, found = false_faces(gt, chosen)
        top = max((c for _, c in found), default=None)
        print('%s: %.3f false faces per picture without people (%d on %d pictures), highest confidence %s'
              % (path, len(found) / pictures, len(found), pictures, 'none' if top is None else '%.3f' % top))
        if found:
            print('  slots: ' + ', '.join('%d (%.2f)' % f for f in sorted(found)))


if __name__ == '__main__':
    main()
