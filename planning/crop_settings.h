#pragma once

namespace autoframe {

// How a following window's path is smoothed from the per-sample targets.
enum class Smoother {
    // Least squares with penalties on the path's steps and bends (one banded solve per shot).
    penalised,
    // One least-squares polynomial in time per shot.
    polynomial,
};

// Every setting of the crop planner. Sizes are fractions of the window's side along the axis in
// question (so a setting means the same on screen for every source and target shape); times are
// seconds. The defaults were chosen on the moving-people benchmark of ../shared/bench (its pan
// video, 1920 x 1080, analysed at 5 samples a second, planned by bench/plan_path, scored by
// evaluate_path.py); the figures quoted were measured with the other settings as they stood then.
struct CropSettings {
    // --- Shots ---------------------------------------------------------------------------------
    // A sample opens a new shot when its scene score stands out: at least `cutMinScore`, and at
    // least `cutSpikeRatio` times the calmer of its two neighbours' scores (each counted as at
    // least `cutNoiseFloor`). A fixed threshold alone cannot work: a picture gliding a screen
    // width in two seconds scores up to 0.30 between samples 0.2 s apart, a hard cut as little as
    // 0.16. Motion raises the scores of the samples around it smoothly, a cut raises one sample:
    // measured, cuts stand 16 or more times above their calmer neighbour, motion 3.1 at most;
    // 7 sits about halfway (by factor) between. 0.08 is half the weakest cut measured.
    double cutMinScore = 0.08;
    double cutSpikeRatio = 7.0;
    double cutNoiseFloor = 0.01;

    // --- Subjects ------------------------------------------------------------------------------
    // Boxes below these confidences are not followed. The helper already drops faces below 0.52
    // and bodies below 0.46 (its precision near 0.87); the planner asks a little more, because a
    // followed false box moves the picture where a missed true one only leaves it still.
    double minFaceConfidence = 0.6;
    double minHumanConfidence = 0.5;
    // A face's weight (its area times its confidence) is multiplied by this before it is
    // compared with a body's: a face box covers about a tenth of its person's body box, so a face
    // ranks with a body about as large as its person's, and a much larger body (someone nearer,
    // whose face was not found) outranks a small face. (Lending a face the area of the body
    // holding it was tried: kept fell from 0.91 to 0.81 at 9:16, larger bodies with smaller
    // faces taking the window from the largest face.)
    double faceWeight = 10.0;
    // Room kept around a face (of the face's width, each side, and of its height above and
    // below), so a face is not framed touching the edge and the detector's loose fit is covered.
    double facePadding = 0.3;
    // Room kept around a whole body (of its width and height, each side).
    double humanPadding = 0.05;
    // The main subject of the previous sample stays the main one while its weight (area times
    // confidence) is at least this share of the heaviest: two people of about the same size do
    // not make the window swing between them sample by sample.
    double keepMainShare = 0.6;

    // --- Path ----------------------------------------------------------------------------------
    // Dead zone: the target moves only when the subjects' centre leaves a band this wide (of the
    // window's side, each way) around it, and then only to the band's edge. Detector jitter on a
    // still face is a few pixels; this is 18 px on a 608 px window. (Still shots are still
    // whatever the zone: they get one window. Measured 0.03 / 0.05 / 0.08 at 9:16: kept 0.92 /
    // 0.91 / 0.89, the same 3.1 reversals a minute.)
    double deadZone = 0.03;
    Smoother smoother = Smoother::penalised;
    // Penalised smoother: the time over which the path is stiff against bending (its weight on
    // second differences is (bendSeconds / sample step)^4) and against moving at all (weight on
    // first differences (stepSeconds / sample step)^2). Measured 0.2 / 0.4 / 0.8 s: reversals a
    // minute (9:16 + 1:1) 5.6 / 5.0 / 4.4, kept at 9:16 0.945 / 0.922 / 0.923. The polynomial
    // smoother (degree 2 / 3 / 4) kept 0.80 / 0.85 / 0.87 at 9:16: one curve cannot follow a
    // subject going out and back within a shot without swinging elsewhere.
    double bendSeconds = 0.4;
    double stepSeconds = 0.0;
    // Polynomial smoother: the highest degree (lowered for shots with few samples).
    int polynomialDegree = 3;
    // Where the smoothed path would leave a subject out of the window at a sample, that sample's
    // weight is multiplied by `constraintBoost` and the shot solved again, up to this many times.
    int constraintPasses = 8;
    double constraintBoost = 8.0;
    // The fastest the window moves, in window sides per second (24 px a frame for 608 px at 30
    // frames a second). The benchmark's fastest glide moves 1.5 window widths a second at its
    // peak, briefly: the window's slack around the subject absorbs it. 1.2 kept as many frames as
    // 1.6 (0.921 against 0.922 at 9:16) with fewer reversals (2.5 against 3.1 a minute).
    double maxSpeed = 1.2;
    // After the speed limit, each frame's window is the mean of the windows over this time
    // around it: the window then changes speed by at most 2 * maxSpeed / easeSeconds (window
    // sides per second, per second) where the speed limit alone let it start and stop at once.
    // 0 / 0.3 / 0.5 / 0.8 s measured at 9:16: the hardest change of speed 49 / 12 / 5.9 / 5.9
    // window widths per second per second, reversals 5.6 / 5.6 / 3.1 / 3.8 a minute, kept 0.91
    // at 0.5 s and 0.90 at 0.8 s.
    double easeSeconds = 0.5;
};

}  // namespace autoframe
