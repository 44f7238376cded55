#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "platform/detectors.h"
#include "platform/onnx_detectors.h"

namespace autoframe {

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
