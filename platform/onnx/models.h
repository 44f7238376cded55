#pragma once

#include <cstddef>
#include <span>

namespace autoframe {

// The detector model files built into the binary (cmake/Models.cmake), as their bytes.
// Inputs of any height and width.
std::span<const std::byte> faceModel();   // YuNet-n face detector, ONNX
std::span<const std::byte> humanModel();  // YOLOX-nano COCO detector, ONNX

}  // namespace autoframe
