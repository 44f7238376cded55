#include "analysis/network_boxes.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace autoframe {
namespace {

int roundUpTo32(int value) { return (value + 31) / 32 * 32; }

std::size_t gridCells(Size input, int stride) {
    return std::size_t(input.width / stride) * std::size_t(input.height / stride);
}

std::string sizeText(Size size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

bool finite(const PixelBox& box) {
    return std::isfinite(box.left) && std::isfinite(box.top) && std::isfinite(box.width) &&
           std::isfinite(box.height);
}

// From pixels of a network's input to pixels of the frame.
struct Scale {
    double x = 1.0;
    double y = 1.0;
    PixelBox operator()(const Candidate& b) const {
        return {b.left * x, b.top * y, b.width * x, b.height * y, b.score};
    }
    Point operator()(const Point& p) const { return {p.x * x, p.y * y}; }
};

Scale scaleBack(Size frame, const InputLayout& layout) {
    return {double(frame.width) / layout.scaled.width, double(frame.height) / layout.scaled.height};
}

}  // namespace

InputLayout inputLayout(Size frame, double inputScale) {
    Size scaled = frame;
    if (inputScale != 1.0) {
        scaled = {std::max(1, int(std::lround(frame.width * inputScale))),
                  std::max(1, int(std::lround(frame.height * inputScale)))};
    }
    return {scaled,
            {std::max(minimumInputSide, roundUpTo32(scaled.width)),
             std::max(minimumInputSide, roundUpTo32(scaled.height))}};
}

Candidate cellBox(int cell, int columns, int stride, const float* offsets, float score) {
    const double cx = (cell % columns + offsets[0]) * stride;
    const double cy = (cell / columns + offsets[1]) * stride;
    const double w = std::exp(offsets[2]) * stride;
    const double h = std::exp(offsets[3]) * stride;
    return {cx - w / 2, cy - h / 2, w, h, score};
}

std::optional<std::string> decodeYuNet(const std::array<YuNetLevel, 3>& levels, Size input,
                                       float threshold, std::vector<FaceCandidate>& into) {
    for (std::size_t level = 0; level < strides.size(); ++level) {
        const int stride = strides[level];
        const int columns = input.width / stride;
        const std::size_t cells = gridCells(input, stride);
        const YuNetLevel& outputs = levels[level];
        if (outputs.cls.size() != cells || outputs.obj.size() != cells ||
            outputs.bbox.size() != cells * 4 || outputs.kps.size() != cells * 10) {
            return "the stride " + std::to_string(stride) + " outputs do not hold " +
                   std::to_string(cells) + " cells for an input of " + sizeText(input);
        }
        for (std::size_t k = 0; k < cells; ++k) {
            const float score = std::sqrt(std::clamp(outputs.cls[k], 0.0f, 1.0f) *
                                          std::clamp(outputs.obj[k], 0.0f, 1.0f));
            if (!(score >= threshold)) continue;
            FaceCandidate face{cellBox(int(k), columns, stride, &outputs.bbox[4 * k], score), {}};
            const double column = double(int(k) % columns);
            const double row = double(int(k) / columns);
            for (std::size_t i = 0; i < face.landmarks.size(); ++i) {
                face.landmarks[i] = {(column + outputs.kps[10 * k + 2 * i]) * stride,
                                     (row + outputs.kps[10 * k + 2 * i + 1]) * stride};
            }
            into.push_back(face);
        }
    }
    return std::nullopt;
}

std::optional<std::string> decodeYoloxPeople(std::span<const float> rows, Size input,
                                             float threshold, std::vector<Candidate>& into) {
    std::size_t cellsInAll = 0;
    for (const int stride : strides) cellsInAll += gridCells(input, stride);
    if (rows.size() != cellsInAll * yoloxRowLength) {
        return "the output does not hold " + std::to_string(cellsInAll) + " rows of " +
               std::to_string(yoloxRowLength) + " values for an input of " + sizeText(input);
    }
    const float* row = rows.data();
    for (const int stride : strides) {
        const int columns = input.width / stride;
        const std::size_t cells = gridCells(input, stride);
        for (std::size_t k = 0; k < cells; ++k, row += yoloxRowLength) {
            const float score = row[4] * row[5];
            if (!(score >= threshold)) continue;
            into.push_back(cellBox(int(k), columns, stride, row, score));
        }
    }
    return std::nullopt;
}

double overlap(const PixelBox& a, const PixelBox& b) {
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0) return 0.0;
    const double w = std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
    const double h = std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
    if (w <= 0 || h <= 0) return 0.0;
    const double common = w * h;
    return common / (a.width * a.height + b.width * b.height - common);
}

std::vector<std::size_t> suppressOverlaps(std::span<const PixelBox> boxes, float nmsThreshold) {
    std::vector<std::size_t> order(boxes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return boxes[a].confidence > boxes[b].confidence;
    });
    std::vector<std::size_t> kept;
    for (const std::size_t i : order) {
        const bool clear = std::none_of(kept.begin(), kept.end(), [&](std::size_t k) {
            return overlap(boxes[i], boxes[k]) > nmsThreshold;
        });
        if (clear) kept.push_back(i);
    }
    return kept;
}

std::vector<PixelBox> keptBoxes(std::span<const PixelBox> boxes, const NetSettings& settings) {
    // Too small boxes go before suppression so that they suppress nothing.
    std::vector<PixelBox> tallEnough;
    tallEnough.reserve(boxes.size());
    for (const PixelBox& box : boxes) {
        if (box.height >= settings.minHeight) tallEnough.push_back(box);
    }
    std::vector<PixelBox> kept;
    for (const std::size_t i : suppressOverlaps(tallEnough, settings.nmsThreshold)) {
        kept.push_back(tallEnough[i]);
    }
    return kept;
}

std::vector<PixelBox> frameBoxes(std::span<const Candidate> candidates, Size frame,
                                 const InputLayout& layout, const NetSettings& settings) {
    const Scale toFrame = scaleBack(frame, layout);
    std::vector<PixelBox> boxes;
    boxes.reserve(candidates.size());
    for (const Candidate& c : candidates) {
        const PixelBox box = toFrame(c);
        // A degenerate input (e.g. one row of pixels) can overflow exp() into infinite sizes.
        if (finite(box)) boxes.push_back(box);
    }
    return keptBoxes(boxes, settings);
}

std::vector<FrameFace> frameFaces(std::span<const FaceCandidate> candidates, Size frame,
                                  const InputLayout& layout) {
    const Scale toFrame = scaleBack(frame, layout);
    std::vector<FrameFace> faces;
    faces.reserve(candidates.size());
    for (const FaceCandidate& c : candidates) {
        FrameFace face{toFrame(c.box), {}};
        bool allFinite = finite(face.box);
        for (std::size_t i = 0; i < face.landmarks.size(); ++i) {
            face.landmarks[i] = toFrame(c.landmarks[i]);
            allFinite = allFinite && std::isfinite(face.landmarks[i].x) &&
                        std::isfinite(face.landmarks[i].y);
        }
        if (allFinite) faces.push_back(face);
    }
    return faces;
}

}  // namespace autoframe
