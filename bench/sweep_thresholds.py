#!/usr/bin/env python3
"""Scores one detection output at several score thresholds without running the detectors again.

Raising a threshold after suppression keeps exactly the boxes a run at that threshold keeps: a box
below the threshold never suppresses a better one. So one run at a low threshold (for instance
bench/evaluate_detection.sh <video> face.threshold=0.3 human.threshold=0.25) gives the scores of
every higher threshold.

    bench/sweep_thresholds.py <gt.json> <output.json> [--faces 0.5,0.55] [--humans 0.4,0.45]
        [--min-face-height PIXELS --frame-height PIXELS]

Prints precision, recall and AP at IoU 0.5 per class and threshold (evaluate.py's figures).
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

BENCH = os.environ.get("BENCH_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "shared", "bench"))


def numbers(text):
    return [float(v) for v in text.split(",") if v]


def score(gt, samples):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "out.json")
        report = os.path.join(folder, "report.json")
        with open(out, "w") as f:
            json.dump(samples, f)
        subprocess.run([sys.executable, os.path.join(BENCH, "evaluate.py"), gt, out, "--json", report],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(report) as f:
            return json.load(f)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("gt")
    parser.add_argument("output")
    parser.add_argument("--faces", type=numbers, default=[0.5])
    parser.add_argument("--humans", type=numbers, default=[0.45])
    parser.add_argument("--min-face-height", type=float, default=0.0, help="frame pixels")
    parser.add_argument("--frame-height", type=float, default=0.0, help="frame height in pixels")
    args = parser.parse_args()
    with open(args.output) as f:
        samples = json.load(f)

    for kind, thresholds in (("faces", args.faces), ("humans", args.humans)):
        for threshold in thresholds:
            def keep(box):
                if box["confidence"] < threshold:
                    return False
                if kind == "faces" and args.frame_height > 0:
                    return box["height"] * args.frame_height >= args.min_face_height
                return True
            kept = [dict(s, **{kind: [b for b in s[kind] if keep(b)]}) for s in samples]
            result = score(args.gt, kept)[kind]
            print(f"{kind:6s} threshold {threshold:.3f}: AP {result['ap']:.4f}  P {result['precision']:.4f}"
                  f"  R {result['recall']:.4f}  dets {result['detections']}")


if __name__ == "__main__":
    main()
