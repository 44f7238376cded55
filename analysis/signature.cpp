#include "analysis/signature.h"

#include <cmath>
#include <cstddef>

namespace autoframe {

Signature signature(const Frame& frame, const GrayRenderer& gray) {
    auto rendered = gray.render(frame, signatureWidth, signatureHeight);
    if (!rendered || rendered->size() != std::size_t{signatureWidth * signatureHeight}) {
        return Signature(signatureWidth * signatureHeight, 0);
    }
    return std::move(*rendered);
}

double sceneScore(const std::optional<Signature>& previous, const Signature& current) {
    if (!previous) return 0.0;
    const std::size_t n = current.size();
    if (previous->size() != n || n == 0) return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += std::fabs(static_cast<double>((*previous)[i]) - static_cast<double>(current[i]));
    }
    // Two roundings, in this order: the last bit of the printed score depends on it.
    return sum / static_cast<double>(n) / 255.0;
}

}  // namespace autoframe
