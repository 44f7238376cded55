#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "platform/detectors.h"

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

// The settings the helper runs with, chosen on the people-in-video benchmark (bench/
// evaluate_detection.sh, bench/sweep_detection.py): faces on the frame enlarged by 4/3 (1280 x 736
// for 960 x 540), which finds more of the faces 15 to 36 pixels tall (AP 0.844 -> 0.854);
// humans on the frame reduced to 0.8 (768 x 448), as good as the whole frame on landscape video
// at three quarters of its cost. Thresholds are the lowest keeping precision at 0.85 or more on
// landscape, portrait and rotated video; faces under 13 pixels tall are mostly false.
inline constexpr NetSettings faceSettings{4.0 / 3.0, 0.5f, 0.3f, 13.0};
inline constexpr NetSettings humanSettings{0.8, 0.4f, 0.45f, 0.0};

// Faces and whole human bodies with OpenCV's dnn module, on the models built into the binary.
// Models load at the first detection; a load failure is that detection's error.
std::unique_ptr<Detectors> makeOpenCvDetectors();

// The same on the given model bytes (which must outlive the detectors) and settings.
// The face model is a YuNet ONNX graph, the human model a YOLOX ONNX graph of the 80 COCO classes.
std::unique_ptr<Detectors> makeOpenCvDetectors(std::span<const std::byte> faceModel,
                                               std::span<const std::byte> humanModel,
                                               const NetSettings& faces = faceSettings,
                                               const NetSettings& humans = humanSettings);

// One network alone: detections with only faces, or only humans.
std::unique_ptr<Detectors> makeOpenCvFaceDetector(std::span<const std::byte> model,
                                                  const NetSettings& settings = faceSettings);
std::unique_ptr<Detectors> makeOpenCvHumanDetector(std::span<const std::byte> model,
                                                   const NetSettings& settings = humanSettings);

}  // namespace autoframe
