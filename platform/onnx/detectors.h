#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "analysis/face_checks.h"
#include "analysis/network_boxes.h"
#include "core/detectors.h"
#include "platform/onnx/runtime.h"

namespace autoframe {

// The settings the helper runs with, chosen with the helper itself on the people-in-video
// benchmark (README, "Detection quality"; bench/sweep_thresholds.py): the largest inputs that keep
// both networks near 60 ms a 960 x 540 frame, and the lowest thresholds keeping precision at 0.87
// or more on landscape, portrait and turned video. Faces on the frame enlarged by 1.5 (1440 x 832
// after padding), which finds more of the faces 15 to 36 pixels tall; faces under 13 pixels tall
// are mostly false. Humans on the frame enlarged by 1.1 (1056 x 608), which finds the smaller
// people of portrait video (AP 0.64 -> 0.71 there against the frame's own size); suppressing
// overlaps from an IoU of 0.35, not the 0.45 usual with this network, leaves fewer second boxes
// on one person.
inline constexpr NetSettings faceSettings{
    .inputScale = 1.5, .scoreThreshold = 0.52f, .nmsThreshold = 0.25f, .minHeight = 13.0};
// The checks of a face beyond that threshold (analysis/face_checks.h), chosen on the same benchmark
// with the helper at `0.5 280 1` (bench/false_faces.py, bench/sweep_face_checks.py). The network
// gives most real faces 40 pixels tall and more 0.85 to 0.95, and its large false boxes (a clock
// face, a glass, drawers, the dark behind a head) 0.55 to 0.75. So a face at least 35 pixels tall
// scoring under 0.8 gets a second look: a crop 2.5 times its size around it, showing it 96 pixels
// tall, goes through the network again, and the face stays if found there again at 0.5 or more.
// Most large false boxes are not; real faces are, so few are lost. At most 8 second looks a frame
// (one costs 2 to 5 % of the frame's pass); past them a face scores what its height needs,
// 0.52 up to 30 pixels rising to 0.75 from 60. Against the threshold alone: false faces on
// pictures without people 0.21 -> 0.10 (landscape) and 0.08 -> 0.06 (portrait) a picture, faces
// precision 0.876 -> 0.898 and 0.890 -> 0.901, AP 0.862 -> 0.858 and 0.885 -> 0.883. The score
// needed by size alone gave the same false faces but AP 0.854 and 0.880. What stays false is
// small (14 to 40 pixels) or face-like to the network at any size, landmarks included (dog
// faces, a doll, fur): the landmarks' layout and second looks at smaller faces did not tell those
// from small real faces without losing more real ones.
inline constexpr FaceChecks faceChecks{.bySize = {.smallScore = faceSettings.scoreThreshold,
                                                  .smallHeight = 30.0,
                                                  .largeScore = 0.75f,
                                                  .largeHeight = 60.0},
                                       .secondLook = {.minHeight = 35.0,
                                                      .sureScore = 0.8f,
                                                      .faceHeight = 96.0,
                                                      .context = 2.5,
                                                      .score = 0.5f,
                                                      .most = 8}};
inline constexpr NetSettings humanSettings{
    .inputScale = 1.1, .scoreThreshold = 0.46f, .nmsThreshold = 0.35f, .minHeight = 0.0};

// How the two networks run: each one's operator threads, and whether they run at the same time
// (faces on the caller's thread, humans on a thread of the detectors' own) or faces first, then
// humans. The threads wait, not spin, between operators: each network has its own pool, so a
// spinning thread of one takes a core from the other network and from the decoding ahead
// (bench/pipeline_bench.cpp, 60 s 1080p clip at fps 4, two threads each one after the other:
// 6.2 s waiting, 11.3 s spinning).
struct DetectorThreads {
    onnx::Threads faces;
    onnx::Threads humans;
    bool sideBySide = false;
};

// The threads the helper runs with: the cores this process may use, shared by shareThreads
// (platform/onnx/thread_shares.h).
DetectorThreads helperDetectorThreads();

// The threads of one network running alone: every core this process may use.
onnx::Threads loneNetworkThreads();

// Faces (YuNet) and whole human bodies (YOLOX, person class) with ONNX Runtime, on the models
// built into the binary and helperDetectorThreads(). Models load at the first detection; a load
// failure is that detection's error, and the next detection tries again.
std::unique_ptr<Detectors> makeOnnxDetectors();

// The same on the given model bytes (which must outlive the detectors), settings and threads.
// The face model is a YuNet ONNX graph, the human model a YOLOX ONNX graph of the 80 COCO classes
// without its input slicing (PlaneOrder::parityBgr, platform/onnx/input_planes.h), both with
// inputs of any height and width. Side by side or not, the detections are the same, and a
// failure of the face network is the one reported when both fail.
std::unique_ptr<Detectors> makeOnnxDetectors(
    std::span<const std::byte> faceModel, std::span<const std::byte> humanModel,
    const NetSettings& faces = faceSettings, const NetSettings& humans = humanSettings,
    const DetectorThreads& threads = helperDetectorThreads(),
    const FaceChecks& checks = faceChecks);

// One network alone: detections with only faces, or only humans.
std::unique_ptr<Detectors> makeOnnxFaceDetector(std::span<const std::byte> model,
                                                const NetSettings& settings = faceSettings,
                                                const onnx::Threads& threads = loneNetworkThreads(),
                                                const FaceChecks& checks = faceChecks);
std::unique_ptr<Detectors> makeOnnxHumanDetector(
    std::span<const std::byte> model, const NetSettings& settings = humanSettings,
    const onnx::Threads& threads = loneNetworkThreads());

// The face network alone, before the face checks (second looks, score by size) and the suppression
// of overlaps: every face scoring at least settings.scoreThreshold, in frame pixels with its
// landmarks. For looking at the network's candidates and choosing those checks
// (bench/face_candidates.cpp).
class FaceCandidateFinder {
public:
    virtual ~FaceCandidateFinder() = default;
    virtual Expected<std::vector<FrameFace>> find(const Frame& frame) = 0;
};

std::unique_ptr<FaceCandidateFinder> makeOnnxFaceCandidateFinder(
    std::span<const std::byte> model, const NetSettings& settings = faceSettings,
    const onnx::Threads& threads = loneNetworkThreads());

}  // namespace autoframe
