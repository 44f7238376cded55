#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/pixel_box.h"

// From the raw outputs of the two detector networks to boxes in frame pixels: where a network's
// input comes from in the frame, how its grid cells read as boxes, and which boxes are kept.
// Plain arithmetic over float spans; the engine that runs the networks is elsewhere.
namespace autoframe {

// How one network is run over a frame and which of its boxes are kept.
struct NetSettings {
    // The frame is resized by this factor, then padded on the right and bottom to multiples of 32
    // and run in one pass.
    double inputScale = 1.0;
    float scoreThreshold = 0.5f;  // boxes scoring below are dropped
    float nmsThreshold = 0.3f;    // of two boxes overlapping by more IoU, the lower-scoring goes
    double minHeight = 0.0;       // boxes less tall, in frame pixels, are dropped
};

// Where a frame goes in a network's input: resized to `scaled` at the top-left corner of an input
// of `input` (sides multiples of 32, at least minimumInputSide), the rest padding.
struct InputLayout {
    Size scaled;
    Size input;
};

// Inputs narrower than this give the networks' deepest layers feature maps of a few cells only;
// small frames are padded up to it.
inline constexpr int minimumInputSide = 128;

// The layout of a frame of the given (positive) size at this input scale.
InputLayout inputLayout(Size frame, double inputScale);

// The three grids of both networks, finest first: one cell per `stride` input pixels.
inline constexpr std::array<int, 3> strides = {8, 16, 32};

// A box found in a network's input, in pixels of that input, with its score.
struct Candidate {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
    float score = 0.0f;
};

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A face the face network found in its input: its box and five landmarks in the network's order
// (FaceLandmark), in pixels of that input.
struct FaceCandidate {
    Candidate box;
    std::array<Point, 5> landmarks;
};

// A face candidate in pixels of the frame: its box (score as confidence) and landmarks.
struct FrameFace {
    PixelBox box;
    std::array<Point, 5> landmarks;
};

// Where each landmark is in FaceCandidate::landmarks and FrameFace::landmarks. Left and right as
// the picture shows them: the person's right eye is the picture's left one.
enum FaceLandmark : std::size_t { leftEye, rightEye, noseTip, leftMouth, rightMouth };

// The box that cell `cell` of a grid `columns` wide at `stride` predicts from its first four
// numbers: the centre's offset from the cell's corner and the log of the size, both in cells.
Candidate cellBox(int cell, int columns, int stride, const float* offsets, float score);

// YuNet's outputs for one stride, one value (cls, obj), four (bbox) or ten (kps) per cell of the
// grid in row-major order. The ten are the five landmarks' (x, y), each read like the box's
// centre: an offset from the cell's corner, in cells.
struct YuNetLevel {
    std::span<const float> cls;
    std::span<const float> obj;
    std::span<const float> bbox;
    std::span<const float> kps;
};

// Appends the faces scoring at least `threshold` (score = sqrt(cls * obj), both clamped to
// [0, 1]) with their landmarks, strides in order; the problem if a level does not hold one grid
// for this input.
std::optional<std::string> decodeYuNet(const std::array<YuNetLevel, 3>& levels, Size input,
                                       float threshold, std::vector<FaceCandidate>& into);

// YOLOX's one output: rows of 85 values for the grids of strides 8, 16 and 32 in turn, each in
// row-major order: box (as cellBox reads it), objectness, then 80 class probabilities of which
// the first is "person".
inline constexpr std::size_t yoloxRowLength = 85;

// Appends the people scoring at least `threshold` (score = objectness * person); the problem if
// the output does not hold one row per cell for this input.
std::optional<std::string> decodeYoloxPeople(std::span<const float> rows, Size input,
                                             float threshold, std::vector<Candidate>& into);

// Intersection over union of two boxes; 0 where either is empty.
double overlap(const PixelBox& a, const PixelBox& b);

// Greedy non-maximum suppression: the boxes best first (ties in their given order), each kept
// unless it overlaps a box kept before it by more than `nmsThreshold`. Returns the indices of the
// kept boxes, best first.
std::vector<std::size_t> suppressOverlaps(std::span<const PixelBox> boxes, float nmsThreshold);

// The boxes in frame pixels, best first: those less tall than settings.minHeight dropped, then
// overlaps suppressed.
std::vector<PixelBox> keptBoxes(std::span<const PixelBox> boxes, const NetSettings& settings);

// The candidates of a network's input in frame pixels: scaled back by frame size / scaled size,
// boxes of non-finite size dropped, then kept as keptBoxes keeps them. Best first.
std::vector<PixelBox> frameBoxes(std::span<const Candidate> candidates, Size frame,
                                 const InputLayout& layout, const NetSettings& settings);

// The face candidates of a network's input in frame pixels (boxes and landmarks scaled back as
// frameBoxes scales), in their order; those with a non-finite box or landmark dropped.
std::vector<FrameFace> frameFaces(std::span<const FaceCandidate> candidates, Size frame,
                                  const InputLayout& layout);

}  // namespace autoframe
