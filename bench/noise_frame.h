#pragma once

#include <cstdint>
#include <random>

#include "core/frame.h"

namespace autoframe::bench {

// A 960 x 540 frame of fixed random bytes: every pixel differs, so no work is skipped.
inline const Frame& noiseFrame() {
    static const Frame frame = [] {
        Frame f;
        f.width = 960;
        f.height = 540;
        f.bgr.resize(std::size_t(f.width) * std::size_t(f.height) * 3);
        std::mt19937 random(7);
        for (auto& byte : f.bgr) byte = static_cast<std::uint8_t>(random());
        return f;
    }();
    return frame;
}

}  // namespace autoframe::bench
