#pragma once

#include <charconv>
#include <optional>
#include <string>

namespace autoframe {

// `value` as text, whatever the locale: the shortest text that reads back as the same double
// ("0.5", "1e+300"), or with exactly `decimals` digits after the point ("0.120"). "?" when that
// takes more than 64 characters.
inline std::string numberText(double value, std::optional<int> decimals = std::nullopt) {
    char buffer[64];
    const auto [end, ec] = decimals ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                    std::chars_format::fixed, *decimals)
                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

}  // namespace autoframe
