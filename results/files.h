#pragma once

// Reading a file whole and writing one whole, for the programs' input and result files. The
// error is the description: "cannot read 'x': No such file or directory".

#include <expected>
#include <string>
#include <vector>

#include "results/records.h"

namespace autoframe {

// The whole file; a pipe is read to its end (a run of the helper may come straight from it).
std::expected<std::string, std::string> readWholeFile(const std::string& path);

// Writes a file beside `path` and renames it into place, so that `path` is whole or untouched.
std::expected<void, std::string> writeWholeFile(const std::string& path, const std::string& bytes);

// The samples a run of the helper printed, saved in a file: "cannot read 'x': …", or
// "'x' is not a list of samples: " and what decodeSamples found.
std::expected<std::vector<Sample>, std::string> readSamplesFile(const std::string& path);

}  // namespace autoframe
