#pragma once

#include <optional>
#include <vector>

#include "planning/crop_settings.h"

namespace autoframe {

// What one sample asks of the window's position along one axis (its left or top edge, pixels).
struct AxisGoal {
    double target = 0;  // the position that centres the sample's subjects
    double low = 0;     // the positions keeping them all inside the window: [low, high]
    double high = 0;
    bool seen = false;  // false: nobody in this sample, any position will do
};

// The targets after the dead zone: a held position that moves only when a seen target lies more
// than `deadZone` pixels away, and then to `deadZone` short of it; always kept within [low, high]
// of seen samples, and rounded to whole pixels (so a still target stays exactly still). Starts
// at `start` (the first seen target when none).
std::vector<double> holdTargets(const std::vector<AxisGoal>& goals, double deadZone,
                                std::optional<double> start = std::nullopt);

// The smoothed positions at the samples, `step` seconds apart on average, following `targets`
// (weight 1 where seen, 1e-3 where not): the penalised or polynomial smoother of `settings`,
// solved again with heavier weights where a seen sample's position leaves [low, high].
std::vector<double> smoothPositions(const std::vector<AxisGoal>& goals,
                                    const std::vector<double>& targets, double step,
                                    const CropSettings& settings);

// Monotone cubic interpolation (Fritsch-Carlson) of `values` at strictly increasing `times`,
// read at `at`; before the first and after the last time the end values hold. Never overshoots:
// between two samples the result lies between their values, and equal neighbours give a flat
// piece.
std::vector<double> interpolateMonotone(const std::vector<double>& times,
                                        const std::vector<double>& values,
                                        const std::vector<double>& at);

// Limits every move between consecutive positions to `maxSpeed` times the time between them: the
// mean of the path limited forwards and the path limited backwards (so it neither lags nor leads
// as a whole), which keeps the limit and keeps a monotone path monotone.
void limitSpeed(std::vector<double>& positions, const std::vector<double>& times, double maxSpeed);

// Replaces every position by the mean of the `span` positions centred on it (the ends repeated
// beyond the path), an odd span taken as given and an even one made odd. The moves stay as fast
// as before at most, a monotone path stays monotone, a flat stretch longer than the span stays
// flat, and the change of a move from one position to the next is at most 2 / span of the
// fastest move: after limitSpeed, this bounds the acceleration.
void easeMoves(std::vector<double>& positions, int span);

}  // namespace autoframe
