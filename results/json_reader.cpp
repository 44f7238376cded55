#include "results/json_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "results/json_value.h"

namespace autoframe {
namespace {

// The members of `object` by key, each exactly once; `where` names the object in errors.
template <class Keys, std::size_t N>
Expected<std::array<const JsonValue*, N>> membersOf(const JsonValue& object,
                                                    const std::string& where) {
    constexpr auto names = keyTexts<Keys>();
    auto members = jsonMembers(object, names, where);
    if (!members) return std::unexpected(std::move(members.error()));
    std::array<const JsonValue*, N> found{};
    std::copy(members->begin(), members->end(), found.begin());
    return found;
}

template <class Keys>
Expected<double> numberOf(const JsonValue& value, Keys key, const std::string& where) {
    return jsonNumber(value, jsonMemberWhere(where, stringValue(key)));
}

Expected<std::vector<Observation>> decodeBoxes(const JsonValue& list, const std::string& where) {
    using K = Observation::CodingKeys;
    if (auto items = jsonArray(list, where, "boxes"); !items) {
        return std::unexpected(std::move(items.error()));
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

Expected<Sample> decodeSample(const JsonValue& object, std::size_t index) {
    using K = Sample::CodingKeys;
    const std::string where = "sample " + std::to_string(index);
    auto members = membersOf<K, 4>(object, where);
    if (!members) return std::unexpected(std::move(members.error()));
    const auto member = [&](K key) -> const JsonValue& { return *(*members)[std::size_t(key)]; };
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
    auto document = parseJson(json, "array");
    if (!document) return std::unexpected(std::move(document.error()));
    if (auto items = jsonArray(*document, "the text", "samples"); !items) {
        return std::unexpected(std::move(items.error()));
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
