#pragma once

#include <cstddef>
#include <span>

namespace autoframe {

// The detector model files built into the binary (cmake/Models.cmake), as their bytes.
// Inputs of any height and width.
std::span<const std::byte> faceModel();  // YuNet-n face detector, ONNX
// YOLOX-nano COCO detector, ONNX, reading the picture as 12 planes by row and column parity
// (scripts/make-unsliced-model.py, PlaneOrder::parityBgr in platform/onnx/input_planes.h).
std::span<const std::byte> humanModel();

}  // namespace autoframe
