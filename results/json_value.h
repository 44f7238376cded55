#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/error.h"

namespace autoframe {

// One parsed JSON value with the offset of its first byte in the text.
struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    std::size_t offset = 0;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in the order written
};

// The text as one JSON value (RFC 8259, white space around it allowed), nested at most 16
// levels. The first fault is the error (JsonCode::syntax): "byte N: expected …, found …".
// `whole` names the value in the fault of text after it ("the end of the text after the array").
Expected<JsonValue> parseJson(std::string_view text, std::string_view whole);

// What a value is, for messages: "a number", "an object", "null", "true" …
std::string describeJson(const JsonValue& value);

// A fault of shape (JsonCode::shape): "<where> (byte N): <what>", N the value's offset.
std::unexpected<Error> jsonShapeError(const std::string& where, const JsonValue& value,
                                      const std::string& what);

// A member of the value `where` names, as errors name it: sample 3 member "faces".
std::string jsonMemberWhere(const std::string& where, std::string_view name);

// The value's number, or a fault of shape: "expected a number, found …".
Expected<double> jsonNumber(const JsonValue& value, const std::string& where);

// The value's items, or a fault of shape: "expected an array of <items>, found …".
Expected<const std::vector<JsonValue>*> jsonArray(const JsonValue& value, const std::string& where,
                                                  std::string_view items);

// The members of `object` named `names`, in that order, each there exactly once and no other;
// `where` names the object in errors.
Expected<std::vector<const JsonValue*>> jsonMembers(const JsonValue& object,
                                                    std::span<const std::string_view> names,
                                                    const std::string& where);

}  // namespace autoframe
