#include "results/json_value.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "core/error_codes.h"

namespace autoframe {

std::string describeJson(const JsonValue& value) {
    switch (value.kind) {
        case JsonValue::Kind::null: return "null";
        case JsonValue::Kind::boolean: return value.boolean ? "true" : "false";
        case JsonValue::Kind::number: return "a number";
        case JsonValue::Kind::string: return "a string";
        case JsonValue::Kind::array: return "an array";
        case JsonValue::Kind::object: return "an object";
    }
    return "a value";
}

namespace {

std::string at(std::size_t offset) { return "byte " + std::to_string(offset); }

// Recursive descent over the whole text; the first fault stops it.
class Parser {
public:
    Parser(std::string_view text, std::string_view whole) : text_(text), whole_(whole) {}

    Expected<JsonValue> document() {
        auto value = parseJsonValue(0);
        if (!value) return value;
        skipSpace();
        if (position_ != text_.size()) {
            return expected("the end of the text after the " + std::string(whole_));
        }
        return value;
    }

private:
    // Deeper nesting than this is none of our files; refusing it keeps the stack small.
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

    Expected<JsonValue> parseJsonValue(int depth) {
        skipSpace();
        JsonValue value;
        value.offset = position_;
        if (atChar('[') || atChar('{')) {
            if (depth == maximumDepth) {
                return problem(position_,
                               "nested deeper than " + std::to_string(maximumDepth) + " levels");
            }
            if (atChar('[')) return parseArray(std::move(value), depth + 1);
            return parseObject(std::move(value), depth + 1);
        }
        if (atChar('"')) {
            value.kind = JsonValue::Kind::string;
            auto text = parseString();
            if (!text) return std::unexpected(std::move(text.error()));
            value.text = std::move(*text);
            return value;
        }
        if (atChar('-') || isDigit()) return parseNumber(std::move(value));
        if (literal("true") || literal("false")) {
            value.kind = JsonValue::Kind::boolean;
            value.boolean = text_[value.offset] == 't';
            return value;
        }
        if (literal("null")) return value;
        return expected("a value");
    }

    Expected<JsonValue> parseArray(JsonValue value, int depth) {
        value.kind = JsonValue::Kind::array;
        ++position_;  // '['
        skipSpace();
        if (atChar(']')) {
            ++position_;
            return value;
        }
        while (true) {
            auto item = parseJsonValue(depth);
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

    Expected<JsonValue> parseObject(JsonValue value, int depth) {
        value.kind = JsonValue::Kind::object;
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
            auto member = parseJsonValue(depth);
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
        const auto [end, ec] =
            std::from_chars(text_.data() + position_, text_.data() + position_ + 4, code, 16);
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
    Expected<JsonValue> parseNumber(JsonValue value) {
        value.kind = JsonValue::Kind::number;
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
    std::string_view whole_;
    std::size_t position_ = 0;
};

}  // namespace

Expected<JsonValue> parseJson(std::string_view text, std::string_view whole) {
    return Parser(text, whole).document();
}

std::unexpected<Error> jsonShapeError(const std::string& where, const JsonValue& value,
                                      const std::string& what) {
    return fail(JsonCode::shape, where + " (" + at(value.offset) + "): " + what);
}

std::string jsonMemberWhere(const std::string& where, std::string_view name) {
    return where + " member \"" + std::string(name) + "\"";
}

Expected<double> jsonNumber(const JsonValue& value, const std::string& where) {
    if (value.kind != JsonValue::Kind::number) {
        return jsonShapeError(where, value, "expected a number, found " + describeJson(value));
    }
    return value.number;
}

Expected<const std::vector<JsonValue>*> jsonArray(const JsonValue& value, const std::string& where,
                                                  std::string_view items) {
    if (value.kind != JsonValue::Kind::array) {
        return jsonShapeError(
            where, value,
            "expected an array of " + std::string(items) + ", found " + describeJson(value));
    }
    return &value.items;
}

Expected<std::vector<const JsonValue*>> jsonMembers(const JsonValue& object,
                                                    std::span<const std::string_view> names,
                                                    const std::string& where) {
    std::vector<const JsonValue*> found(names.size(), nullptr);
    if (object.kind != JsonValue::Kind::object) {
        return jsonShapeError(where, object, "expected an object, found " + describeJson(object));
    }
    for (const auto& [name, member] : object.members) {
        std::size_t i = 0;
        while (i < names.size() && names[i] != name) ++i;
        if (i == names.size()) {
            return jsonShapeError(where, member, "unknown member \"" + name + "\"");
        }
        if (found[i]) return jsonShapeError(where, member, "member \"" + name + "\" given twice");
        found[i] = &member;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!found[i]) {
            return jsonShapeError(where, object,
                                  "missing member \"" + std::string(names[i]) + "\"");
        }
    }
    return found;
}

}  // namespace autoframe
