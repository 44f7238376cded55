#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/frame.h"
#include "core/gray.h"

namespace autoframe {

inline constexpr int signatureWidth = 24;
inline constexpr int signatureHeight = 14;

// A 24 x 14 gray thumbnail of a whole frame, top row first: 336 bytes.
using Signature = std::vector<std::uint8_t>;

// The frame as `gray` renders it at 24 x 14. Never fails: a frame that cannot be rendered, or a
// rendering of any other size, gives 336 zeros.
Signature signature(const Frame& frame, const GrayRenderer& gray);

// How much `current` differs from `previous`, from 0 to 1: the mean absolute difference of the
// values, divided by 255. No previous signature, unequal lengths or empty signatures give 0.
double sceneScore(const std::optional<Signature>& previous, const Signature& current);

}  // namespace autoframe
