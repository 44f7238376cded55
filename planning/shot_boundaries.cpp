#include "planning/shot_boundaries.h"

#include <algorithm>

namespace autoframe {

std::vector<std::size_t> shotStarts(const std::vector<double>& sceneScores,
                                    const CropSettings& settings) {
    std::vector<std::size_t> starts;
    if (sceneScores.empty()) return starts;
    starts.push_back(0);
    for (std::size_t i = 1; i < sceneScores.size(); ++i) {
        const double score = sceneScores[i];
        if (score < settings.cutMinScore) continue;
        // The first sample's score is 0 by definition and says nothing about the picture.
        double calmer = i >= 2 ? sceneScores[i - 1] : 0.0;
        if (i + 1 < sceneScores.size()) {
            calmer = i >= 2 ? std::min(calmer, sceneScores[i + 1]) : sceneScores[i + 1];
        }
        if (score >= settings.cutSpikeRatio * std::max(calmer, settings.cutNoiseFloor)) {
            starts.push_back(i);
        }
    }
    return starts;
}

}  // namespace autoframe
