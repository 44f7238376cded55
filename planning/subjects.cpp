#include "planning/subjects.h"

#include <algorithm>

namespace autoframe {
namespace {

PixelRect inPixels(const Observation& box, Size source) {
    return {box.x() * source.width, box.y() * source.height, (box.x() + box.width()) * source.width,
            (box.y() + box.height()) * source.height};
}

double overlap(const PixelRect& a, const PixelRect& b) {
    const double w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const double h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0.0;
}

// Grows [low, high] by `pad` each side, but not beyond `room` in all (a side already wider than
// the room is left as it is).
void padSide(double& low, double& high, double pad, double room) {
    const double spare = std::max(0.0, room - (high - low)) / 2;
    const double grow = std::min(pad, spare);
    low -= grow;
    high += grow;
}

PixelRect padded(const PixelRect& box, double share, CropWindow window) {
    PixelRect r = box;
    padSide(r.left, r.right, share * r.width(), window.width);
    padSide(r.top, r.bottom, share * r.height(), window.height);
    return r;
}

PixelRect merged(const PixelRect& a, const PixelRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool fits(const PixelRect& r, CropWindow window) {
    return r.width() <= window.width && r.height() <= window.height;
}

double share(const Subject& subject, const CropSettings& settings) {
    return subject.face ? settings.facePadding : settings.humanPadding;
}

// Boxes overlapping at least this much (intersection over union) are taken for the same person:
// detector boxes of a still face overlap by 0.8 or more, boxes a fifth of their width apart 0.67.
constexpr double samePersonOverlap = 0.3;

std::size_t mainIndex(const std::vector<Subject>& subjects,
                      const std::optional<PixelRect>& previousMain, const CropSettings& settings) {
    if (!previousMain) return 0;
    std::size_t best = 0;
    double bestOverlap = 0;
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        const double o = intersectionOverUnion(subjects[i].box, *previousMain);
        if (o > bestOverlap) {
            bestOverlap = o;
            best = i;
        }
    }
    return bestOverlap >= samePersonOverlap &&
                   subjects[best].weight >= settings.keepMainShare * subjects[0].weight
               ? best
               : 0;
}

}  // namespace

double intersectionOverUnion(const PixelRect& a, const PixelRect& b) {
    const double common = overlap(a, b);
    const double all = a.width() * a.height() + b.width() * b.height() - common;
    return all > 0 ? common / all : 0.0;
}

bool samePerson(const PixelRect& a, const PixelRect& b) {
    return intersectionOverUnion(a, b) >= samePersonOverlap;
}

std::vector<Subject> subjectsOf(const Sample& sample, Size source, const CropSettings& settings) {
    std::vector<Subject> subjects;
    for (const auto& face : sample.faces()) {
        if (face.confidence() < settings.minFaceConfidence) continue;
        subjects.push_back({inPixels(face, source),
                            face.width() * face.height() * face.confidence() * settings.faceWeight,
                            true});
    }
    const std::size_t faceCount = subjects.size();
    for (const auto& human : sample.humans()) {
        if (human.confidence() < settings.minHumanConfidence) continue;
        const PixelRect body = inPixels(human, source);
        const bool hasFace = std::any_of(
            subjects.begin(), subjects.begin() + std::ptrdiff_t(faceCount), [&](const Subject& f) {
                const double cx = (f.box.left + f.box.right) / 2;
                const double cy = (f.box.top + f.box.bottom) / 2;
                return cx >= body.left && cx <= body.right && cy >= body.top && cy <= body.bottom;
            });
        if (!hasFace) {
            subjects.push_back({body, human.width() * human.height() * human.confidence(), false});
        }
    }
    std::stable_sort(subjects.begin(), subjects.end(),
                     [](const Subject& a, const Subject& b) { return a.weight > b.weight; });
    return subjects;
}

std::optional<Subject> mainSubject(const std::vector<Subject>& subjects,
                                   const std::optional<PixelRect>& previousMain,
                                   const CropSettings& settings) {
    if (subjects.empty()) return std::nullopt;
    return subjects[mainIndex(subjects, previousMain, settings)];
}

std::optional<Focus> focusOf(const std::vector<Subject>& subjects,
                             const std::optional<PixelRect>& previousMain, CropWindow window,
                             const CropSettings& settings) {
    if (subjects.empty()) return std::nullopt;
    const std::size_t first = mainIndex(subjects, previousMain, settings);
    const Subject& main = subjects[first];
    const PixelRect mainPadded = padded(main.box, share(main, settings), window);
    Focus focus{mainPadded, mainPadded, main.box, main.box};
    for (std::size_t i = 0; i < subjects.size(); ++i) {
        if (i == first) continue;
        const PixelRect withIt =
            merged(focus.region, padded(subjects[i].box, share(subjects[i], settings), window));
        if (!fits(withIt, window)) continue;
        focus.region = withIt;
        focus.regionTight = merged(focus.regionTight, subjects[i].box);
    }
    return focus;
}

}  // namespace autoframe
