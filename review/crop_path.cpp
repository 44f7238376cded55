#include "review/crop_path.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/error_codes.h"
#include "core/frame_source.h"

namespace autoframe::review {
namespace {

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

Expected<Size> sourceSizeOf(const CropPlan& plan, Size decoded) {
    if (plan.frames.empty()) return fail(ReviewCode::cannotRead, "it has no frames");
    const CropWindow& first = plan.frames.front().window;
    for (std::size_t i = 1; i < plan.frames.size(); ++i) {
        const CropWindow& w = plan.frames[i].window;
        if (w.width != first.width || w.height != first.height) {
            return fail(ReviewCode::cannotRead, "frame " + std::to_string(i) + "'s window is " +
                                                    sizeText(w.width, w.height) +
                                                    " pixels, frame 0's " +
                                                    sizeText(first.width, first.height) +
                                                    " (a path keeps one window size)");
        }
    }
    // Narrower than the frame (or the same shape): the source's height; wider: its width.
    const bool narrower =
        double(first.width) * decoded.height <= double(first.height) * decoded.width;
    const Size source =
        narrower ? Size{int(std::lround(double(first.height) * decoded.width / decoded.height)),
                        first.height}
                 : Size{first.width,
                        int(std::lround(double(first.width) * decoded.height / decoded.width))};
    // The frame source's picture of such a source.
    const Size fitted = fittedWithin(source.width, source.height, FrameSource::maximumSide);
    if (source.width < 1 || source.height < 1 || std::abs(fitted.width - decoded.width) > 1 ||
        std::abs(fitted.height - decoded.height) > 1) {
        return fail(ReviewCode::cannotRead,
                    "its windows of " + sizeText(first.width, first.height) + " pixels span the " +
                        (narrower ? "height" : "width") + " of a " +
                        sizeText(source.width, source.height) + " source, which decodes at " +
                        sizeText(fitted.width, fitted.height) + ", not at " +
                        sizeText(decoded.width, decoded.height) + " as the video does");
    }
    // The inferred side is good to a decoded pixel's worth of source pixels.
    const int slack = std::max(1, int(std::ceil(std::max(double(source.width) / decoded.width,
                                                         double(source.height) / decoded.height))));
    for (std::size_t i = 0; i < plan.frames.size(); ++i) {
        const CropWindow& w = plan.frames[i].window;
        if (w.x + w.width > source.width + slack || w.y + w.height > source.height + slack) {
            return fail(ReviewCode::cannotRead,
                        "frame " + std::to_string(i) + "'s window (x " + std::to_string(w.x) +
                            " to " + std::to_string(w.x + w.width) + ", y " + std::to_string(w.y) +
                            " to " + std::to_string(w.y + w.height) + ") reaches past the " +
                            sizeText(source.width, source.height) + " source its size implies");
        }
    }
    return source;
}

const PlannedFrame* nearestFrame(const std::vector<PlannedFrame>& frames, double seconds) {
    if (frames.empty()) return nullptr;
    const auto later = std::lower_bound(frames.begin(), frames.end(), seconds,
                                        [](const PlannedFrame& f, double t) { return f.time < t; });
    if (later == frames.begin()) return &*later;
    const auto earlier = std::prev(later);
    if (later == frames.end() || seconds - earlier->time <= later->time - seconds) return &*earlier;
    return &*later;
}

PixelRect windowOnPicture(const CropWindow& window, Size source, int width, int height) {
    const double sx = double(width) / source.width, sy = double(height) / source.height;
    return {window.x * sx, window.y * sy, window.width * sx, window.height * sy};
}

}  // namespace autoframe::review
