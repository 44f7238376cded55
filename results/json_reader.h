#pragma once

#include <string_view>
#include <vector>

#include "core/error.h"
#include "results/records.h"

namespace autoframe {

// The samples of one JSON array as encodeSamples writes it. Strict: the text must be one JSON
// value (RFC 8259, white space around it allowed), an array of objects with exactly the members
// of Sample, whose boxes have exactly the members of Observation, all numbers where numbers
// belong. The first fault is the error; its description says where it is (a byte offset from 0,
// and the sample and member) and what was expected there.
Expected<std::vector<Sample>> decodeSamples(std::string_view json);

}  // namespace autoframe
