#pragma once

// Reading a file whole and writing one whole, for the programs' input and result files. The
// error is the description: "cannot read 'x': No such file or directory".

#include <expected>
#include <string>

namespace autoframe {

// The whole file; a pipe is read to its end (a run of the helper may come straight from it).
std::expected<std::string, std::string> readWholeFile(const std::string& path);

// Writes a file beside `path` and renames it into place, so that `path` is whole or untouched.
std::expected<void, std::string> writeWholeFile(const std::string& path, const std::string& bytes);

}  // namespace autoframe
