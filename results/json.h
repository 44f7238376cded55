#pragma once

#include <string>
#include <vector>

#include "core/error.h"
#include "results/records.h"

namespace autoframe {

// The sample list as one JSON array (no white space, numbers in their shortest round-trip form).
// A NaN or an infinity has no JSON form: the encoding fails with an error naming the member.
Expected<std::string> encodeSamples(const std::vector<Sample>& samples);

}  // namespace autoframe
