#pragma once

#include <string>

namespace autoframe {

// A file name as error descriptions show it: in single quotes, as given.
inline std::string quoted(const std::string& name) { return "'" + name + "'"; }

}  // namespace autoframe
