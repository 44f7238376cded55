#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <utility>

namespace autoframe {

// An error travels up as a value. Only `description` is ever shown (in the failure line);
// domain and code identify the program's own errors.
struct Error {
    std::string domain;
    std::int64_t code = 0;
    std::string description;
};

template <class T>
using Expected = std::expected<T, Error>;

inline std::unexpected<Error> fail(std::string domain, std::int64_t code, std::string description) {
    return std::unexpected(Error{std::move(domain), code, std::move(description)});
}

}  // namespace autoframe
