#include "results/json_reader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "core/error_codes.h"

namespace autoframe {
namespace {

// One parsed JSON value with the offset of its first byte.
struct Value {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    std::size_t offset = 0;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;  // in the order written
};

std::string describe(const Value& value) {
    switch (value.kind) {
        case Value::Kind::null: return "null";
        case Value::Kind::boolean: return value.boolean ? "true" : "false";
        case Value::Kind::number: return "a number";
        case Value::Kind::string: return "a string";
        case Value::Kind::array: return "an array";
        case Value::Kind::object: return "an object";
    }
    return "a value";
}

std::string at(std::size_t offset) { return "byte " + std::to_string(offset); }

// Recursive descent over the whole text; the first fault stops it.
class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Expected<Value> document() {
        auto value = parseValue(0);
        if (!value) return value;
        skipSpace();
        if (position_ != text_.size()) return expected("the end of the text after the array");
        return value;
    }

private:
    // Deeper nesting than this is no sample list; refusing it keeps the stack small.
    static constexpr int maximumDepth = 16;

    std::unexpected<Error> expected(std::string_view what) const {
        std::string found = "the end of the text";
        if (position_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[position_]);
            found = c >= 0x20 && c < 0x7f ? "'" + std::string(1, char(c)) + "'"
                                          : "byte value " + std::to_string(int(c));
        }
        return fail(JsonCode::syntax,
                    at(position_) + ": expected " + std::string(what) + ", found " + found);
    }

    std::unexpected<Error> problem(std::size_t offset, const std::string& what) const {
        return fail(JsonCode::syntax, at(offset) + ": " + what);
    }

    bool atChar(char c) const { return position_ < text_.size() && text_[position_] == c; }
    bool isDigit() const {
        return position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9';
    }

    void skipSpace() {
        while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t' ||
                                            text_[position_] == '\n' || text_[position_] == '\r')) {
            ++position_;
        }
    }

    bool literal(std::string_view word) {
        if (text_.substr(position_, word.size()) != word) return false;
        position_ += word.size();
        return true;
    }

    Expected<Value> parseValue(int depth) {
        skipSpace();
        Value value;
        value.offset = position_;
        if (atChar('[') || atChar('{')) {
            if (depth == maximumDepth) {
                return problem(position_, "nested deeper than " + std::to_string(maximumDepth) +
                                              " levels");
            }
            if (atChar('[')) return parseArray(std::move(value), depth + 1);
            return parseObject(std::move(value), depth + 1);
        }
        if (atChar('"')) {
            value.kind = Value::Kind::string;
            auto text = parseString();
            if (!text) return std::unexpected(std::move(text.error()));
            value.text = std::move(*text);
            return value;
        }
        if (atChar('-') || isDigit()) return parseNumber(std::move(value));
        if (literal("true") || literal("false")) {
            value.kind = Value::Kind::boolean;
            value.boolean = text_[value.offset] == 't';
            return value;
        }
        if (literal("null")) return value;
        return expected("a value");
    }

    Expected<Value> parseArray(Value value, int depth) {
        value.kind = Value::Kind::array;
        ++position_;  // '['
        skipSpace();
        if (atChar(']')) {
            ++position_;
            return value;
        }
        while (true) {
            auto item = parseValue(depth);
            if (!item) return item;
            value.items.push_back(std::move(*item));
            skipSpace();
            if (atChar(']')) {
                ++position_;
                return value;
            }
            if (!atChar(',')) return expected("',' or ']' after an array element");
            ++position_;
        }
    }

    Expected<Value> parseObject(Value value, int depth) {
        value.kind = Value::Kind::object;
        ++position_;  // '{'
        skipSpace();
        if (atChar('}')) {
            ++position_;
            return value;
        }
        while (true) {
            skipSpace();
            if (!atChar('"')) return expected("a member name in double quotes");
            auto name = parseString();
            if (!name) return std::unexpected(std::move(name.error()));
            skipSpace();
            if (!atChar(':')) return expected("':' after the member name");
            ++position_;
            auto member = parseValue(depth);
            if (!member) return member;
            value.members.emplace_back(std::move(*name), std::move(*member));
            skipSpace();
            if (atChar('}')) {
                ++position_;
                return value;
            }
            if (!atChar(',')) return expected("',' or '}' after an object member");
            ++position_;
        }
    }

    std::optional<unsigned> hex4() {
        if (position_ + 4 > text_.size()) return std::nullopt;
        unsigned code = 0;
        const auto [end, ec] = std::from_chars(text_.data() + position_,
                                               text_.data() + position_ + 4, code, 16);
        if (ec != std::errc() || end != text_.data() + position_ + 4) return std::nullopt;
        position_ += 4;
        return code;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    Expected<std::string> parseString() {
        ++position_;  // '"'
        std::string out;
        while (true) {
            if (position_ >= text_.size()) return expected("'\"' closing the string");
            const char c = text_[position_];
            if (c == '"') {
                ++position_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return expected("a character of a string (control characters must be escaped)");
            }
            ++position_;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (position_ >= text_.size()) return expected("an escape after '\\'");
            const char e = text_[position_++];
            constexpr std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
            if (const auto i = from.find(e); i != std::string_view::npos) {
                out += to[i];
                continue;
            }
            if (e != 'u') {
                --position_;
                return expected("one of \" \\ / b f n r t u after '\\'");
            }
            const auto code = hex4();
            if (!code) return expected("four hexadecimal digits after '\\u'");
            unsigned point = *code;
            if (point >= 0xD800 && point < 0xDC00) {
                const std::size_t start = position_;
                const auto low = literal("\\u") ? hex4() : std::nullopt;
                if (!low || *low < 0xDC00 || *low >= 0xE000) {
                    position_ = start;
                    return expected("'\\u' and the low half of a surrogate pair");
                }
                point = 0x10000 + ((point - 0xD800) << 10) + (*low - 0xDC00);
            } else if (point >= 0xDC00 && point < 0xE000) {
                return problem(position_ - 6, "a low surrogate half without a high one");
            }
            appendUtf8(out, point);
        }
    }

    // The JSON number grammar exactly; from_chars then reads the same characters.
    Expected<Value> parseNumber(Value value) {
        value.kind = Value::Kind::number;
        const std::size_t start = position_;
        if (atChar('-')) ++position_;
        if (atChar('0')) {
            ++position_;
        } else if (isDigit()) {
            while (isDigit()) ++position_;
        } else {
            return expected("a digit");
        }
        if (atChar('.')) {
            ++position_;
            if (!isDigit()) return expected("a digit after the decimal point");
            while (isDigit()) ++position_;
        }
        if (atChar('e') || atChar('E')) {
            ++position_;
            if (atChar('+') || atChar('-')) ++position_;
            if (!isDigit()) return expected("a digit of the exponent");
            while (isDigit()) ++position_;
        }
        const auto [end, ec] =
            std::from_chars(text_.data() + start, text_.data() + position_, value.number);
        if (ec != std::errc() || end != text_.data() + position_ || !std::isfinite(value.number)) {
            return problem(start, "the number " +
                                      std::string(text_.substr(start, position_ - start)) +
                                      " is out of the range of a double");
        }
        return value;
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

std::unexpected<Error> shapeError(const std::string& where, const Value& value,
                                  const std::string& what) {
    return fail(JsonCode::shape, where + " (" + at(value.offset) + "): " + what);
}

// The members of `object` by key, each exactly once; `where` names the object in errors.
template <class Keys, std::size_t N>
Expected<std::array<const Value*, N>> membersOf(const Value& object, const std::string& where) {
    std::array<const Value*, N> found{};
    if (object.kind != Value::Kind::object) {
        return shapeError(where, object, "expected an object, found " + describe(object));
    }
    for (const auto& [name, member] : object.members) {
        const auto key = keyFromString<Keys>(name);
        if (!key) return shapeError(where, member, "unknown member \"" + name + "\"");
        const Value*& slot = found[static_cast<std::size_t>(*key)];
        if (slot) return shapeError(where, member, "member \"" + name + "\" given twice");
        slot = &member;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (!found[i]) {
            return shapeError(where, object,
                              "missing member \"" +
                                  std::string(keyTexts<Keys>()[i]) + "\"");
        }
    }
    return found;
}

template <class Keys>
Expected<double> numberOf(const Value& value, Keys key, const std::string& where) {
    if (value.kind != Value::Kind::number) {
        return shapeError(where + " member \"" + std::string(stringValue(key)) + "\"", value,
                          "expected a number, found " + describe(value));
    }
    return value.number;
}

Expected<std::vector<Observation>> decodeBoxes(const Value& list, const std::string& where) {
    using K = Observation::CodingKeys;
    if (list.kind != Value::Kind::array) {
        return shapeError(where, list, "expected an array of boxes, found " + describe(list));
    }
    std::vector<Observation> boxes;
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        const std::string boxWhere = where + "[" + std::to_string(i) + "]";
        auto members = membersOf<K, 5>(list.items[i], boxWhere);
        if (!members) return std::unexpected(std::move(members.error()));
        std::array<double, 5> numbers{};
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            auto number = numberOf(*(*members)[k], static_cast<K>(k), boxWhere);
            if (!number) return std::unexpected(std::move(number.error()));
            numbers[k] = *number;
        }
        boxes.emplace_back(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]);
    }
    return boxes;
}

Expected<Sample> decodeSample(const Value& object, std::size_t index) {
    using K = Sample::CodingKeys;
    const std::string where = "sample " + std::to_string(index);
    auto members = membersOf<K, 4>(object, where);
    if (!members) return std::unexpected(std::move(members.error()));
    const auto member = [&](K key) -> const Value& { return *(*members)[std::size_t(key)]; };
    auto time = numberOf(member(K::timeSeconds), K::timeSeconds, where);
    if (!time) return std::unexpected(std::move(time.error()));
    auto score = numberOf(member(K::sceneScore), K::sceneScore, where);
    if (!score) return std::unexpected(std::move(score.error()));
    auto faces = decodeBoxes(member(K::faces), where + " faces");
    if (!faces) return std::unexpected(std::move(faces.error()));
    auto humans = decodeBoxes(member(K::humans), where + " humans");
    if (!humans) return std::unexpected(std::move(humans.error()));
    return Sample(*time, *score, std::move(*faces), std::move(*humans));
}

}  // namespace

Expected<std::vector<Sample>> decodeSamples(std::string_view json) {
    auto document = Parser(json).document();
    if (!document) return std::unexpected(std::move(document.error()));
    if (document->kind != Value::Kind::array) {
        return shapeError("the text", *document,
                          "expected an array of samples, found " + describe(*document));
    }
    std::vector<Sample> samples;
    samples.reserve(document->items.size());
    for (std::size_t i = 0; i < document->items.size(); ++i) {
        auto sample = decodeSample(document->items[i], i);
        if (!sample) return std::unexpected(std::move(sample.error()));
        samples.push_back(std::move(*sample));
    }
    return samples;
}

}  // namespace autoframe
