#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "analysis/network_boxes.h"
#include "core/detectors.h"
#include "platform/onnx_runtime.h"

namespace autoframe {

// The settings the helper runs with (see README, "Detection quality"): faces on the frame
// enlarged by 4/3, humans on the frame reduced to 0.8.
inline constexpr NetSettings faceSettings{
    .inputScale = 4.0 / 3.0, .scoreThreshold = 0.5f, .nmsThreshold = 0.3f, .minHeight = 13.0};
inline constexpr NetSettings humanSettings{
    .inputScale = 0.8, .scoreThreshold = 0.4f, .nmsThreshold = 0.45f, .minHeight = 0.0};

// How each network's operators run (bench/pipeline_bench.cpp measures the choices).
inline constexpr onnx::Threads detectorThreads{.count = 2, .spin = true};

// Faces (YuNet) and whole human bodies (YOLOX, person class) with ONNX Runtime, on the models
// built into the binary. Models load at the first detection; a load failure is that detection's
// error, and the next detection tries again.
std::unique_ptr<Detectors> makeOnnxDetectors();

// The same on the given model bytes (which must outlive the detectors) and settings.
// The face model is a YuNet ONNX graph, the human model a YOLOX ONNX graph of the 80 COCO classes,
// both with inputs of any height and width.
std::unique_ptr<Detectors> makeOnnxDetectors(std::span<const std::byte> faceModel,
                                             std::span<const std::byte> humanModel,
                                             const NetSettings& faces = faceSettings,
                                             const NetSettings& humans = humanSettings,
                                             const onnx::Threads& threads = detectorThreads);

// One network alone: detections with only faces, or only humans.
std::unique_ptr<Detectors> makeOnnxFaceDetector(std::span<const std::byte> model,
                                                const NetSettings& settings = faceSettings,
                                                const onnx::Threads& threads = detectorThreads);
std::unique_ptr<Detectors> makeOnnxHumanDetector(std::span<const std::byte> model,
                                                 const NetSettings& settings = humanSettings,
                                                 const onnx::Threads& threads = detectorThreads);

}  // namespace autoframe
