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
// seconds. The defaults were chosen on the moving-people benchmark (bench/plan_path, measured at
// 4 and 5 samples a second, 9:16 and 1:1 windows on 1920 x 1080).
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
    // still face is a few pixels; this is 30 px on a 608 px window.
    double deadZone = 0.05;
    Smoother smoother = Smoother::penalised;
    // Penalised smoother: the time over which the path is stiff against bending (its weight on
    // second differences is (bendSeconds / sample step)^4) and against moving at all (weight on
    // first differences (stepSeconds / sample step)^2). Bending only, no ringing seen at 0.4 s.
    double bendSeconds = 0.4;
    double stepSeconds = 0.0;
    // Polynomial smoother: the highest degree (lowered for shots with few samples).
    int polynomialDegree = 3;
    // Where the smoothed path would leave a subject out of the window at a sample, that sample's
    // weight is multiplied by `constraintBoost` and the shot solved again, up to this many times.
    int constraintPasses = 8;
    double constraintBoost = 8.0;
    // The fastest the window moves, in window sides per second: enough for a subject crossing a
    // 9:16 window's width in 0.6 s (the benchmark's fastest glide is 0.5 window widths in 0.33 s
    // at its peak, which the window's slack around the subject absorbs).
    double maxSpeed = 1.6;
};

}  // namespace autoframe
