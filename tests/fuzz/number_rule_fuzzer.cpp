// Differential check of the number rule: a text is accepted exactly when it is one whole strtod
// subject sequence of the "C" locale (checked here by an independent recogniser of that grammar)
// with no leading white space, and its value is what strtod gives in the "C" locale. The rule
// runs under a German locale, whose decimal separator is ',', to show that it ignores it.
#include <locale.h>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/command_line.h"

namespace {

bool digitsAt(const char*& p, bool hex) {
    const char* start = p;
    while (hex ? std::isxdigit(static_cast<unsigned char>(*p))
               : std::isdigit(static_cast<unsigned char>(*p)))
        ++p;
    return p != start;
}

bool matchWord(const char*& p, const char* word) {
    const char* q = p;
    for (; *word; ++word, ++q) {
        if (std::tolower(static_cast<unsigned char>(*q)) != *word) return false;
    }
    p = q;
    return true;
}

// The whole-text subject sequence of strtod in the "C" locale (C17 7.22.1.3), without white space.
bool isSubjectSequence(const char* p) {
    if (*p == '+' || *p == '-') ++p;
    if (matchWord(p, "infinity") || matchWord(p, "inf")) return *p == '\0';
    if (matchWord(p, "nan")) {
        if (*p == '(') {
            ++p;
            while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
            if (*p != ')') return false;
            ++p;
        }
        return *p == '\0';
    }
    bool hex = false;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (std::isxdigit(static_cast<unsigned char>(p[2])) ||
         (p[2] == '.' && std::isxdigit(static_cast<unsigned char>(p[3]))))) {
        hex = true;
        p += 2;
    }
    const bool whole = digitsAt(p, hex);
    bool fraction = false;
    if (*p == '.') {
        ++p;
        fraction = digitsAt(p, hex);
    }
    if (!whole && !fraction) return false;
    const char exponent = hex ? 'p' : 'e';
    if (std::tolower(static_cast<unsigned char>(*p)) == exponent) {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (digitsAt(q, false)) p = q;  // an incomplete exponent is left unread
    }
    return *p == '\0';
}

locale_t german() {
    static const locale_t l = [] {
        locale_t de = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
        return de ? de : newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    }();
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An argument is a C string: it ends at the first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));

    const locale_t previous = uselocale(german());
    const auto parsed = autoframe::parseNumber(text);
    uselocale(previous);

    const bool leadingSpace = !text.empty() && std::strchr(" \t\n\v\f\r", text[0]) != nullptr;
    const bool expected = !text.empty() && !leadingSpace && isSubjectSequence(text.c_str());
    if (parsed.has_value() != expected) std::abort();
    if (parsed) {
        const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        const double reference = strtod_l(text.c_str(), nullptr, c);
        freelocale(c);
        const bool same =
            std::isnan(reference)
                ? std::isnan(*parsed)
                : (*parsed == reference && std::signbit(*parsed) == std::signbit(reference));
        if (!same) std::abort();
    }
    return 0;
}
