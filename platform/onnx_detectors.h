#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "analysis/face_checks.h"
#include "analysis/network_boxes.h"
#include "core/detectors.h"
#include "platform/onnx_runtime.h"

namespace autoframe {

// The settings the helper runs with, chosen with the helper itself on the people-in-video
// benchmark (README, "Detection quality"; bench/sweep_thresholds.py): the largest inputs that keep
// both networks near 60 ms a 960 x 540 frame, and the lowest thresholds keeping precision at 0.87
// or more on landscape, portrait and turned video. Faces on the frame enlarged by 1.5 (1440 x 832
// after padding), which finds more of the faces 15 to 36 pixels tall; faces under 13 pixels tall
// are mostly false. Humans on the frame enlarged by 1.1 (1056 x 608), which finds the smaller
// people of portrait video (AP 0.64 -> 0.71 there against the frame's own size); a tighter
// suppression (0.35) leaves fewer second boxes on one person.
inline constexpr NetSettings faceSettings{
    .inputScale = 1.5, .scoreThreshold = 0.52f, .nmsThreshold = 0.25f, .minHeight = 13.0};
// A face's score must also be what its height needs (analysis/face_checks.h): the 0.52 above up to
// 30 pixels tall, rising to 0.75 at 60 pixels and above (no further network pass). The network
// gives most real faces of that size 0.85 to 0.95, and most of its large false boxes (clocks, a
// glass, drawers) 0.6 to 0.75; large real faces lost: 5 of 102 on landscape video. Measured
// with the helper at `0.5 280 1` (bench/false_faces.py, bench/sweep_face_checks.py): false faces
// per picture without people 0.21 -> 0.10 (landscape) and 0.08 -> 0.06 (portrait), faces
// precision 0.876 -> 0.895 and 0.890 -> 0.901, AP 0.862 -> 0.854 and 0.885 -> 0.880. What stays
// false is small (14 to 40 pixels) or face-like to the network, landmarks included (dog faces,
// dolls, fur): neither the landmarks' layout nor a second pass over a crop of the candidate told
// those from small real faces without losing as many real ones.
inline constexpr SizeAwareThreshold faceScoreBySize{.smallScore = faceSettings.scoreThreshold,
                                                    .smallHeight = 30.0,
                                                    .largeScore = 0.75f,
                                                    .largeHeight = 60.0};
inline constexpr NetSettings humanSettings{
    .inputScale = 1.1, .scoreThreshold = 0.46f, .nmsThreshold = 0.35f, .minHeight = 0.0};

// How each network's operators run, measured by bench/pipeline_bench.cpp on two cores with the
// next frame decoded ahead: two threads that wait, not spin, between operators. Each network has
// its own pool, so a spinning thread of one takes a core from the other network and from the
// decoding (60 s 1080p clip at fps 4: 6.2 s waiting, 11.3 s spinning, 8.3 s on one thread).
inline constexpr onnx::Threads detectorThreads{.count = 2, .spin = false};

// Faces (YuNet) and whole human bodies (YOLOX, person class) with ONNX Runtime, on the models
// built into the binary. Models load at the first detection; a load failure is that detection's
// error, and the next detection tries again.
std::unique_ptr<Detectors> makeOnnxDetectors();

// The same on the given model bytes (which must outlive the detectors) and settings.
// The face model is a YuNet ONNX graph, the human model a YOLOX ONNX graph of the 80 COCO classes,
// both with inputs of any height and width.
std::unique_ptr<Detectors> makeOnnxDetectors(
    std::span<const std::byte> faceModel, std::span<const std::byte> humanModel,
    const NetSettings& faces = faceSettings, const NetSettings& humans = humanSettings,
    const onnx::Threads& threads = detectorThreads,
    const SizeAwareThreshold& facesBySize = faceScoreBySize);

// One network alone: detections with only faces, or only humans.
std::unique_ptr<Detectors> makeOnnxFaceDetector(std::span<const std::byte> model,
                                                const NetSettings& settings = faceSettings,
                                                const onnx::Threads& threads = detectorThreads,
                                                const SizeAwareThreshold& bySize = faceScoreBySize);
std::unique_ptr<Detectors> makeOnnxHumanDetector(std::span<const std::byte> model,
                                                 const NetSettings& settings = humanSettings,
                                                 const onnx::Threads& threads = detectorThreads);

// The face network alone, before the face checks (the score needed by size) and the suppression
// of overlaps: every face scoring at least settings.scoreThreshold, in frame pixels with its
// landmarks. For looking at the network's candidates and choosing those checks
// (bench/face_candidates.cpp).
class FaceCandidateFinder {
public:
    virtual ~FaceCandidateFinder() = default;
    virtual Expected<std::vector<FaceCandidate>> find(const Frame& frame) = 0;
};

std::unique_ptr<FaceCandidateFinder> makeOnnxFaceCandidateFinder(
    std::span<const std::byte> model, const NetSettings& settings = faceSettings,
    const onnx::Threads& threads = detectorThreads);

}  // namespace autoframe
