#include "driver/command_line.h"

#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "core/error_codes.h"

namespace autoframe {
namespace {

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

bool startsWithSpaceOrIsEmpty(const std::string& text) {
    if (text.empty()) return true;
    switch (text.front()) {
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
        case ' ': return true;
        default: return false;
    }
}

}  // namespace

Error usageError() { return errorOf(UsageCode::usage, std::string(usageText)); }

std::optional<double> parseNumber(const std::string& text) {
    if (startsWithSpaceOrIsEmpty(text)) return std::nullopt;
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale());
    // An argument cannot hold a NUL byte, so the terminator is at size().
    if (end != begin + text.size()) return std::nullopt;
    return value;
}

Expected<RunParameters> parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.size() != 5) return std::unexpected(usageError());
    const auto from = parseNumber(arguments[2]);
    const auto to = parseNumber(arguments[3]);
    const auto fps = parseNumber(arguments[4]);
    if (!from || !to || !fps) return std::unexpected(usageError());
    if (!(*from < *to)) return std::unexpected(usageError());
    if (!(*fps > 0)) return std::unexpected(usageError());
    // An endless span or rate would give a schedule without end.
    if (!std::isfinite(*from) || !std::isfinite(*to) || !std::isfinite(*fps)) {
        return std::unexpected(usageError());
    }
    return RunParameters{arguments[1], *from, *to, *fps};
}

}  // namespace autoframe
