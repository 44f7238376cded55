#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "analysis/network_boxes.h"

// How a scaled picture becomes a network's input of float planes, in one pass over its pixels.
namespace autoframe {

// The order of the planes in a network's input.
enum class PlaneOrder {
    // The B, G and R planes of the whole input, each `input` pixels.
    bgr,
    // Twelve planes, each half the input's width and height: the B, G, R planes of the pixels at
    // (even row, even column), then (odd row, even column), (even row, odd column) and (odd row,
    // odd column) of the input. What YOLOX's first step makes of its picture, so that a YOLOX
    // model without that step (scripts/make-unsliced-model.py) reads the same numbers. The input's
    // sides must be even.
    parityBgr,
};

// The shape of an input of `input` pixels in this order (batch, planes, height, width), and the
// floats it holds.
std::array<std::int64_t, 4> inputShape(Size input, PlaneOrder order);
std::size_t inputFloats(Size input);

// Writes the picture (packed 8-bit B, G, R; `pictureSize` pixels, rows `rowBytes` apart) at the
// top-left of an input of `input` pixels, as floats 0 to 255 in `order`, and `pad` everywhere
// else; `into` holds inputFloats(input) floats. The picture must fit into the input.
void fillPlanes(const std::uint8_t* picture, Size pictureSize, std::size_t rowBytes, Size input,
                PlaneOrder order, float pad, std::span<float> into);

}  // namespace autoframe
