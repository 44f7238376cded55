#pragma once

#include <optional>
#include <vector>

#include "planning/crop_plan.h"
#include "results/records.h"

namespace autoframe {

// A rectangle in source pixels (edges, not clamped to the picture).
struct PixelRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// One person to keep in the picture: a face, or a whole body where no face was found.
struct Subject {
    PixelRect box;  // as detected, in source pixels
    double weight;  // area (fraction of the picture) times confidence, times faceWeight for a face
    bool face;
    friend bool operator==(const Subject&, const Subject&) = default;
};

double intersectionOverUnion(const PixelRect& a, const PixelRect& b);

// Whether two boxes (of consecutive samples, the earlier moved on as predicted) are taken for the
// same person: they overlap by at least 0.3 of their union.
bool samePerson(const PixelRect& a, const PixelRect& b);

// The subjects of one sample, heaviest first. Boxes below the settings' confidences are left out,
// and so is a body holding the centre of a face that is kept (the face stands for that person).
std::vector<Subject> subjectsOf(const Sample& sample, Size source, const CropSettings& settings);

// What one sample asks of the window: keep `region`, and centre it if possible.
struct Focus {
    PixelRect main;         // the main subject's box, padded
    PixelRect region;       // the main subject and every other that fits with it, padded
    PixelRect mainTight;    // `main` without the padding
    PixelRect regionTight;  // `region` without the padding
};

// The focus among `subjects` (as subjectsOf orders them) for a window of `window`'s size: the main
// subject is the first, unless the previous sample's main subject (`previousMain`, unpadded, moved
// on as far as it moved before) is still here (the box overlapping it most, by at least 0.3 of
// their union) with at least keepMainShare of the first one's weight. Then every other subject,
// heaviest first, joins the region where it still fits the window. Padding shrinks where it would
// make a box wider or taller than the window. None without subjects.
std::optional<Focus> focusOf(const std::vector<Subject>& subjects,
                             const std::optional<PixelRect>& previousMain, CropWindow window,
                             const CropSettings& settings);

// The subject that focusOf takes as the main one (the same rule), unpadded; none without subjects.
std::optional<Subject> mainSubject(const std::vector<Subject>& subjects,
                                   const std::optional<PixelRect>& previousMain,
                                   const CropSettings& settings);

}  // namespace autoframe
