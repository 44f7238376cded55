#pragma once

#include <cstddef>
#include <vector>

#include "planning/crop_settings.h"

namespace autoframe {

// The indices of the samples that open a shot, from their scene scores (each against the sample
// before): 0 first when there is any sample, then every sample whose score passes the cut rule of
// `settings` (cutMinScore, cutSpikeRatio, cutNoiseFloor). The last sample is judged against the
// one before only.
std::vector<std::size_t> shotStarts(const std::vector<double>& sceneScores,
                                    const CropSettings& settings);

}  // namespace autoframe
